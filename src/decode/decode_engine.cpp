// Python.h goes first: it sets feature macros the system headers read, and
// it must meet no Qt keyword macro (it has a member named "slots").
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "decode/decode_engine.h"

#include "decode/decoder_library.h"
#include "decode/python_error.h"
#include "decode/run_guard.h"

#include <libsigrokdecode/libsigrokdecode.h>
#include "decode/library_calls.h" // after the library's headers

#include <QMetaObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace {

// Samples handed to the library at a time: small enough that progress moves
// and a run stopped between chunks stops within about a millisecond, large
// enough that the hand-over to the decoders' threads costs nothing worth
// measuring. (A decoder busy inside a chunk is interrupted, see RunGuard.)
constexpr int64_t kChunkSamples = 4096;

// How long the engine's owner waits for its worker when it goes.
constexpr auto kWorkerGrace = std::chrono::seconds(1);

// A live run waiting for samples looks at its control this often: a stop
// that comes without a wake-up is seen this late at worst.
constexpr auto kLiveWait = std::chrono::milliseconds(10);
// A live run hands out what it has decoded so far at most this often.
constexpr auto kPartialEvery = std::chrono::milliseconds(40);

GHashTable *NewVariantTable()
{
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free, reinterpret_cast<GDestroyNotify>(g_variant_unref));
}

GVariant *ToVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return g_variant_new_int64(v.toLongLong());
    case QMetaType::Double:
        return g_variant_new_double(v.toDouble());
    default:
        return g_variant_new_string(v.toString().toUtf8().constData());
    }
}

QString LibraryError(int rc) { return QString::fromUtf8(srd_strerror(rc)); }

// Whether `name` occurs in `text` as a whole instance name ("uart-1" is not
// found in "uart-12").
bool MentionsInstance(const QString &text, const QString &name)
{
    for (int at = text.indexOf(name); at >= 0; at = text.indexOf(name, at + 1)) {
        const int after = at + int(name.size());
        if (after >= text.size() || !text.at(after).isDigit())
            return true;
    }
    return false;
}

} // namespace

// Samples handed from the engine, on the UI thread, to a live run on the
// worker.
struct LiveDecodeFeed {
    explicit LiveDecodeFeed(uint64_t rate) : sampleRateHz(rate) {}
    const uint64_t sampleRateHz;
    std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex:
    std::vector<uint8_t> arrived;   // fed and not yet taken by the run
    std::optional<Capture> capture; // the capture that arrived: the run ends

    // Wakes the run, which then looks at what came and at its control.
    void nudge()
    {
        {
            std::lock_guard<std::mutex> guard(mutex); // not between its look and its wait
        }
        wake.notify_all();
    }
};

// Drives the library through one run: one session per stack, so a stack that
// fails to start or whose decoder raises does not stop the others. The steps
// are apart (open the sessions, feed samples, close them) so that a run can
// be fed more samples of a capture that grows before it is closed.
class DecodeRunner {
public:
    using Progress = std::function<void(int percent)>;
    using Partial = std::function<void(std::shared_ptr<const DecodeResult>)>;

    static std::shared_ptr<DecodeResult> run(const Capture &capture, DecodeRequest request, uint64_t generation,
                                             std::shared_ptr<const DecoderCatalog> catalog,
                                             const DecodeLimits &limits, DecodeControl &control,
                                             const Progress &progress)
    {
        auto result = prepare(capture.sampleRateHz(), request, generation, std::move(catalog), limits, control);
        result->sampleCount = capture.sampleCount();
        if (result->stopped() || !result->error.isEmpty())
            return result;
        if (capture.isEmpty() || capture.sampleCount() <= 0 || capture.sampleRateHz() == 0) {
            result->error = QStringLiteral("there is no capture to decode");
            return result;
        }
        DecodeRunner runner(result.get(), request, limits, control);
        runner.decode(capture.expandLogic(), progress);
        finishRows(*result);
        return result;
    }

    // Decodes the samples of a live feed as they come, then the rest of the
    // capture that arrived. When that capture is not the one fed, nothing
    // is returned and `redo` holds it, to be decoded anew.
    static std::shared_ptr<DecodeResult> runLive(LiveDecodeFeed &feed, DecodeRequest request, uint64_t generation,
                                                 const DecodeLimits &limits, DecodeControl &control,
                                                 const Partial &partial, std::optional<Capture> *redo)
    {
        auto result = prepare(feed.sampleRateHz, request, generation, nullptr, limits, control);
        if (!result->stopped() && result->error.isEmpty()) {
            DecodeRunner runner(result.get(), request, limits, control);
            if (!runner.decodeLive(feed, partial)) {
                *redo = std::move(runner.differing_);
                return nullptr;
            }
            finishRows(*result);
        } else {
            // Nothing will be decoded: the capture is waited for all the same,
            // so the run ends where a live run ends.
            std::unique_lock<std::mutex> lock(feed.mutex);
            while (!feed.capture && !control.stopRequested())
                feed.wake.wait_for(lock, kLiveWait);
        }
        return result;
    }

private:
    // A result for the request, checked against the catalogue; it carries
    // why nothing can be decoded, or that the run was stopped meanwhile.
    static std::shared_ptr<DecodeResult> prepare(uint64_t sampleRateHz, DecodeRequest &request, uint64_t generation,
                                                 std::shared_ptr<const DecoderCatalog> catalog,
                                                 const DecodeLimits &limits, DecodeControl &control)
    {
        auto result = std::make_shared<DecodeResult>();
        result->generation = generation;
        result->sampleRateHz = sampleRateHz;
        // The catalogue first: it takes the library lock itself when it loads.
        result->catalog = catalog ? std::move(catalog) : LoadDecoderCatalog(&control);
        if (control.stopRequested()) {
            // Stopped while the catalogue loaded: nothing was decoded.
            result->stopReason = control.reason();
            result->stopText = DecodeStopText(result->stopReason, limits);
            return result;
        }
        if (!result->catalog->error().isEmpty()) {
            result->error = result->catalog->error();
            return result;
        }
        QString error;
        if (!ValidateDecodeRequest(&request, *result->catalog, &error))
            result->error = error;
        return result;
    }

    static void finishRows(DecodeResult &result)
    {
        for (DecodeInstanceResult &instance : result.instances) {
            for (DecodeRow &row : instance.rows)
                row.finish();
        }
    }

    struct Stack {
        DecodeRunner *runner = nullptr;
        int index = 0;
        srd_session *session = nullptr;
        std::vector<srd_decoder_inst *> decoders; // by level
        std::vector<int> instances;               // by level: index into result->instances
        bool running = false;
        // What the library refused and at which level, for when its log
        // says nothing about it.
        QString failure;
        size_t failedLevel = 0;
    };

    DecodeRunner(DecodeResult *result, const DecodeRequest &request, const DecodeLimits &limits,
                 DecodeControl &control)
        : result_(result), request_(request), limits_(limits), control_(control)
    {
        const auto names = DecoderInstanceNames(request);
        for (size_t s = 0; s < request.stacks.size(); ++s) {
            for (size_t level = 0; level < request.stacks[s].decoders.size(); ++level) {
                const DecoderSettings &d = request.stacks[s].decoders[level];
                DecodeInstanceResult instance;
                instance.name = names[s][level];
                instance.decoderId = d.id;
                instance.stack = int(s);
                instance.level = int(level);
                instance.decoder = result->catalog->find(d.id);
                instance.options = d.options;
                for (const DecoderAnnotationRow &r : instance.decoder->rows) {
                    DecodeRow row;
                    row.id = r.id;
                    row.description = r.description;
                    instance.rows.push_back(row);
                }
                result->instances.push_back(std::move(instance));
            }
        }
    }

    void decode(const std::vector<uint8_t> &samples, const Progress &progress)
    {
        const auto library = decode_internal::LockLibrary();
        decode_internal::LogCapture log;
        started_ = std::chrono::steady_clock::now();
        std::optional<decode_internal::RunGuard> guard;
        if (limits_.interruptible)
            guard.emplace(control_, limits_.timeLimitSeconds);
        guard_ = guard ? &*guard : nullptr;

        open(log);
        feed(samples, 0, int64_t(samples.size()), log, progress);
        close(log);
        endRun(log, guard);
    }

    // Decodes the samples of the feed as they come; false (with the capture
    // in differing_) when the capture that arrived is not the one fed.
    bool decodeLive(LiveDecodeFeed &live, const Partial &partial)
    {
        using Clock = std::chrono::steady_clock;
        const auto library = decode_internal::LockLibrary();
        decode_internal::LogCapture log;
        started_ = Clock::now();
        std::optional<decode_internal::RunGuard> guard;
        if (limits_.interruptible)
            guard.emplace(control_, limits_.timeLimitSeconds);
        guard_ = guard ? &*guard : nullptr;

        open(log);
        std::vector<uint8_t> samples;
        samples.reserve(size_t(Capture::kMaxTime) + 1);
        int64_t fed = 0;
        uint32_t shown = 0;
        Clock::time_point lastShown;
        bool same = true;
        for (;;) {
            std::optional<Capture> capture;
            {
                std::unique_lock<std::mutex> lock(live.mutex);
                while (live.arrived.empty() && !live.capture && !control_.stopRequested()) {
                    const auto waitFrom = Clock::now();
                    live.wake.wait_for(lock, kLiveWait);
                    // Waiting for the instrument is not the decoders' time:
                    // the deadline moves on while the run waits.
                    const auto waited = Clock::now() - waitFrom;
                    started_ += waited;
                    if (guard_)
                        guard_->postpone(waited);
                }
                samples.insert(samples.end(), live.arrived.begin(), live.arrived.end());
                live.arrived.clear();
                capture.swap(live.capture);
            }
            if (stopNow())
                break;
            if (capture) {
                const std::vector<uint8_t> all = capture->expandLogic();
                same = capture->sampleRateHz() == result_->sampleRateHz && all.size() >= samples.size()
                       && std::equal(samples.begin(), samples.end(), all.begin());
                if (!same) {
                    differing_ = std::move(capture);
                    break;
                }
                result_->sampleCount = capture->sampleCount();
                feed(all, fed, int64_t(all.size()), log, {});
                break;
            }
            feed(samples, fed, int64_t(samples.size()), log, {});
            fed = int64_t(samples.size());
            if (partial && order_ != shown && Clock::now() - lastShown >= kPartialEvery) {
                partial(snapshot());
                shown = order_;
                lastShown = Clock::now();
            }
        }
        close(log);
        endRun(log, guard);
        return same;
    }

    // What has been decoded so far, as a result of its own.
    std::shared_ptr<const DecodeResult> snapshot() const
    {
        auto copy = std::make_shared<DecodeResult>(*result_);
        copy->sampleCount = result_->decodedSamples;
        finishRows(*copy);
        return copy;
    }

    // After the sessions are closed: why the run stopped and who failed.
    void endRun(decode_internal::LogCapture &log, std::optional<decode_internal::RunGuard> &guard)
    {
        // Which stack the stop caught in the library, before the guard goes.
        int stoppedStack = -1;
        if (guard_) {
            stoppedStack = guard_->stoppedPart();
            if (stoppedStack < 0 && control_.reason() == DecodeStopReason::TimeLimit)
                stoppedStack = guard_->slowestPart();
        }
        guard_ = nullptr;
        guard.reset();

        const auto messages = log.take();
        noteStop(messages, stoppedStack);
        attributeErrors(messages);
    }

    // Runs a library call for a stack under the guard's watch.
    template <typename Call>
    int inLibrary(int stack, Call call)
    {
        if (guard_)
            guard_->enter(stack);
        const int rc = call();
        if (guard_)
            guard_->leave();
        return rc;
    }

    void open(decode_internal::LogCapture &log)
    {
        stacks_.resize(request_.stacks.size());
        int next = 0;
        for (size_t s = 0; s < stacks_.size(); ++s) {
            Stack &stack = stacks_[s];
            stack.runner = this;
            stack.index = int(s);
            for (size_t level = 0; level < request_.stacks[s].decoders.size(); ++level)
                stack.instances.push_back(next++);
            log.setStack(int(s));
            // A decoder's start() and metadata() run on this thread: the
            // guard watches them as it watches decoding.
            bool opened = false;
            inLibrary(int(s), [&] {
                opened = openStack(stack);
                return SRD_OK;
            });
            stack.running = opened && !control_.stopRequested();
        }
    }

    // Hands samples [first, last) of `samples` to every stack still running,
    // chunk by chunk, until they are all sent or the run is stopped.
    void feed(const std::vector<uint8_t> &samples, int64_t first, int64_t last, decode_internal::LogCapture &log,
              const Progress &progress)
    {
        const int64_t total = int64_t(samples.size());
        for (int64_t from = first; from < last; from += kChunkSamples) {
            if (stopNow())
                return;
            const int64_t to = std::min(last, from + kChunkSamples);
            for (Stack &stack : stacks_) {
                if (!stack.running)
                    continue;
                log.setStack(stack.index);
                const int rc = inLibrary(stack.index, [&] {
                    return srd_session_send(stack.session, uint64_t(from), uint64_t(to), samples.data() + from,
                                            uint64_t(to - from), 1);
                });
                if (rc != SRD_OK) {
                    stack.running = false;
                    // Stopped from outside, the error is the stop, not the decoder's.
                    if (!control_.stopRequested())
                        refuse(stack, 0,
                               QStringLiteral("decoding stopped at sample %1 (%2)").arg(from).arg(LibraryError(rc)));
                }
            }
            if (control_.stopRequested())
                return;
            result_->decodedSamples = to;
            if (progress)
                progress(int(to * 100 / total));
        }
    }

    void close(decode_internal::LogCapture &log)
    {
        for (Stack &stack : stacks_) {
            log.setStack(stack.index);
            if (!stack.session)
                continue;
            inLibrary(stack.index, [&] {
                srd_session_terminate_reset(stack.session);
                srd_session_destroy(stack.session);
                return SRD_OK;
            });
            stack.session = nullptr;
        }
    }

    // Whether to stop before the next chunk: stopped from outside, or a limit
    // reached that the guard (when there is none) has not seen.
    bool stopNow()
    {
        if (!guard_ && limits_.timeLimitSeconds > 0
            && std::chrono::steady_clock::now() - started_ >= std::chrono::duration<double>(limits_.timeLimitSeconds))
            control_.stop(DecodeStopReason::TimeLimit);
        return control_.stopRequested();
    }

    // Sets up the stack's session; false (with the reason) when the library
    // refuses something.
    bool openStack(Stack &stack)
    {
        const DecoderStack &wanted = request_.stacks[size_t(stack.index)];
        int rc = srd_session_new(&stack.session);
        if (rc != SRD_OK) {
            stack.session = nullptr;
            stack.failure = QStringLiteral("no decoding session (%1)").arg(LibraryError(rc));
            return false;
        }
        for (size_t level = 0; level < wanted.decoders.size(); ++level) {
            const DecoderSettings &d = wanted.decoders[level];
            const QString &name = result_->instances[size_t(stack.instances[level])].name;
            // The instance takes the name sigrok-cli would give it; the library
            // reads only "id" from this table, as a plain string.
            GHashTable *naming = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
            g_hash_table_insert(naming, g_strdup("id"), g_strdup(name.toUtf8().constData()));
            srd_decoder_inst *di = srd_inst_new(stack.session, d.id.toUtf8().constData(), naming);
            g_hash_table_destroy(naming);
            if (!di)
                return refuse(stack, level, QStringLiteral("the decoder could not be created"));
            stack.decoders.push_back(di);

            if (level == 0) {
                GHashTable *channels = NewVariantTable();
                for (const auto &[channel, input] : d.channels)
                    g_hash_table_insert(channels, g_strdup(channel.toUtf8().constData()),
                                        g_variant_ref_sink(g_variant_new_int32(input)));
                rc = srd_inst_channel_set_all(di, channels);
                g_hash_table_destroy(channels);
                if (rc != SRD_OK)
                    return refuse(stack, level, QStringLiteral("channels refused (%1)").arg(LibraryError(rc)));
            }
            // Always set, even with nothing given: this is what hands the
            // decoder its defaults.
            GHashTable *options = NewVariantTable();
            for (const auto &[option, value] : d.options)
                g_hash_table_insert(options, g_strdup(option.toUtf8().constData()),
                                    g_variant_ref_sink(ToVariant(value)));
            rc = srd_inst_option_set(di, options);
            g_hash_table_destroy(options);
            if (rc != SRD_OK)
                return refuse(stack, level, QStringLiteral("options refused (%1)").arg(LibraryError(rc)));

            if (level > 0) {
                rc = srd_inst_stack(stack.session, stack.decoders[level - 1], di);
                if (rc != SRD_OK)
                    return refuse(stack, level, QStringLiteral("cannot be stacked (%1)").arg(LibraryError(rc)));
            }
        }
        // The sample rate reaches only instances that exist when it is set.
        rc = srd_session_metadata_set(stack.session, SRD_CONF_SAMPLERATE,
                                      g_variant_new_uint64(result_->sampleRateHz));
        if (rc != SRD_OK)
            return refuse(stack, 0, QStringLiteral("sample rate refused (%1)").arg(LibraryError(rc)));
        rc = srd_pd_output_callback_add(stack.session, SRD_OUTPUT_ANN, &DecodeRunner::onAnnotation, &stack);
        if (rc != SRD_OK)
            return refuse(stack, 0, QStringLiteral("annotations cannot be received (%1)").arg(LibraryError(rc)));
        rc = srd_session_start(stack.session);
        if (rc != SRD_OK)
            return refuse(stack, 0, QStringLiteral("decoding could not start (%1)").arg(LibraryError(rc)));
        return true;
    }

    bool refuse(Stack &stack, size_t level, const QString &why)
    {
        if (control_.stopRequested())
            return false; // the stop's doing, not the decoder's
        stack.failure = why;
        stack.failedLevel = level;
        return false;
    }

    // Called by the library on the thread that runs the stack's bottom
    // decoder, while the runner's thread waits in srd_session_send: calls
    // never overlap.
    static void onAnnotation(srd_proto_data *pdata, void *data)
    {
        auto *stack = static_cast<Stack *>(data);
        DecodeRunner *runner = stack->runner;
        size_t level = 0;
        while (level < stack->decoders.size() && stack->decoders[level] != pdata->pdo->di)
            ++level;
        if (level == stack->decoders.size())
            return;
        const int instanceIndex = stack->instances[level];
        DecodeInstanceResult &instance = runner->result_->instances[size_t(instanceIndex)];
        const auto *ann = static_cast<const srd_proto_data_annotation *>(pdata->data);
        const std::vector<int> &rowOfClass = instance.decoder->rowOfClass;
        if (!ann || ann->ann_class < 0 || size_t(ann->ann_class) >= rowOfClass.size())
            return;
        // Past the limit nothing more is kept, and the run is stopped: a
        // decoder that puts out annotations without end cannot take all memory.
        if (runner->limits_.annotationLimit > 0 && int64_t(runner->order_) >= runner->limits_.annotationLimit) {
            if (runner->overLimitInstance_ < 0) {
                runner->overLimitInstance_ = instanceIndex;
                runner->control_.stop(DecodeStopReason::AnnotationLimit);
            }
            return;
        }
        DecodeAnnotation a;
        a.start = int64_t(pdata->start_sample);
        a.end = std::max(a.start, int64_t(pdata->end_sample));
        a.annotationClass = ann->ann_class;
        a.row = rowOfClass[size_t(ann->ann_class)];
        a.order = runner->order_++;
        for (char **t = ann->ann_text; t && *t; ++t)
            a.texts << QString::fromUtf8(*t);
        instance.rows[size_t(a.row)].annotations_.push_back(std::move(a));
    }

    // Marks the result stopped and names the instance that was busy: the
    // one that made the annotation over the limit, or, in the stack the stop
    // caught in the library, the one the interruption's trace names (else
    // that stack's bottom decoder).
    void noteStop(const std::vector<decode_internal::LoggedError> &messages, int stoppedStack)
    {
        const DecodeStopReason reason = control_.reason();
        if (reason == DecodeStopReason::None)
            return;
        result_->stopReason = reason;
        result_->stopText = DecodeStopText(reason, limits_);
        int busy = overLimitInstance_;
        if (busy < 0 && stoppedStack >= 0 && size_t(stoppedStack) < stacks_.size()) {
            const Stack &stack = stacks_[size_t(stoppedStack)];
            for (const decode_internal::LoggedError &m : messages) {
                if (m.stack != stoppedStack || !decode_internal::IsInterruptionMessage(m.text))
                    continue;
                for (int i : stack.instances) {
                    if (MentionsInstance(m.text, result_->instances[size_t(i)].name))
                        busy = i;
                }
            }
            if (busy < 0 && !stack.instances.empty())
                busy = stack.instances.front();
        }
        if (busy >= 0)
            result_->instances[size_t(busy)].stopped = result_->stopText;
    }

    // The library reports a decoder's trouble (its Python exception, a
    // rejected option) only in its log. Each message goes to the instance it
    // names, else to the bottom decoder of the stack that was being driven;
    // a traceback goes with the message before it. The traces of our own
    // interruptions are no decoder's fault and are left out.
    void attributeErrors(const std::vector<decode_internal::LoggedError> &messages)
    {
        DecodeInstanceResult *previous = nullptr;
        for (const decode_internal::LoggedError &m : messages) {
            if (decode_internal::IsInterruptionMessage(m.text)) {
                previous = nullptr;
                continue;
            }
            DecodeInstanceResult *target = nullptr;
            if (m.text.startsWith(QLatin1String("Traceback")) && previous) {
                target = previous;
            } else {
                // The decoders' threads log when they fail, which may be after
                // the driver has gone on to another stack: the instance a
                // message names counts first, the stack being driven after.
                for (DecodeInstanceResult &instance : result_->instances) {
                    if (MentionsInstance(m.text, instance.name))
                        target = &instance;
                }
                if (!target && m.stack >= 0 && size_t(m.stack) < stacks_.size()
                    && !stacks_[size_t(m.stack)].instances.empty())
                    target = &result_->instances[size_t(stacks_[size_t(m.stack)].instances.front())];
            }
            if (!target) {
                if (result_->error.isEmpty())
                    result_->error = m.text.section(QLatin1Char('\n'), 0, 0);
                continue;
            }
            if (target->error.isEmpty() && !m.text.startsWith(QLatin1String("Traceback"))) {
                // The library writes "instance uart-1: : message" when the
                // exception carries no prefix of its own.
                target->error = m.text.section(QLatin1Char('\n'), 0, 0);
                target->error.replace(QLatin1String(": : "), QLatin1String(": "));
            }
            if (!target->errorDetails.isEmpty())
                target->errorDetails += QLatin1Char('\n');
            target->errorDetails += m.text;
            previous = target;
        }
        for (DecodeInstanceResult &instance : result_->instances) {
            if (instance.errorDetails.contains(QLatin1String("Traceback")))
                instance.errorTrace = ParsePythonTraceback(instance.errorDetails).lastLines;
        }
        // A refusal the library did not explain in its log.
        for (const Stack &stack : stacks_) {
            if (stack.failure.isEmpty() || stack.failedLevel >= stack.instances.size())
                continue;
            bool explained = false;
            for (int i : stack.instances)
                explained = explained || !result_->instances[size_t(i)].error.isEmpty();
            if (!explained)
                result_->instances[size_t(stack.instances[stack.failedLevel])].error = stack.failure;
        }
    }

    DecodeResult *result_;
    const DecodeRequest &request_;
    const DecodeLimits limits_;
    DecodeControl &control_;
    decode_internal::RunGuard *guard_ = nullptr;
    std::chrono::steady_clock::time_point started_;
    std::vector<Stack> stacks_;
    uint32_t order_ = 0;        // annotations kept so far
    int overLimitInstance_ = -1; // the instance whose annotation went over the limit
    std::optional<Capture> differing_; // a live run's capture that is not the one fed
};

std::shared_ptr<const DecodeResult> DecodeNow(const Capture &capture, const DecodeRequest &request,
                                              const DecodeLimits &limits, DecodeControl *control,
                                              std::shared_ptr<const DecoderCatalog> catalog)
{
    DecodeControl own;
    return DecodeRunner::run(capture, request, 0, std::move(catalog), limits, control ? *control : own, {});
}

// ------------------------------------------------------------------ engine

struct DecodeEngine::Shared {
    struct Job {
        uint64_t generation = 0;
        Capture capture;
        DecodeRequest request;
        DecodeLimits limits;
        std::shared_ptr<DecodeControl> control;
        std::shared_ptr<LiveDecodeFeed> live; // a live run's samples; null for a whole capture
    };

    std::mutex mutex;
    std::condition_variable wake;  // the worker waits for work
    std::condition_variable ended; // the engine's destructor waits for the worker
    // Guarded by mutex:
    std::optional<Job> pending;
    std::shared_ptr<DecodeControl> latest; // of the latest start(), pending or running
    bool catalogWanted = false;
    bool reloadWanted = false;
    bool stopping = false;
    bool workerEnded = false;
    DecodeEngine *owner = nullptr; // null once the engine is gone

    std::atomic<uint64_t> generation{0};
    std::atomic<bool> busy{false};
    DecodeControl quit; // stopped when the engine goes: ends a catalogue load early

    bool hasWork() const { return stopping || pending || catalogWanted || reloadWanted; }

    // Runs `f` with the engine on its thread, unless the engine is gone.
    template <typename F>
    void post(F f)
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!owner)
            return;
        DecodeEngine *engine = owner;
        // Queued to the engine: dropped by Qt if the engine is deleted before.
        QMetaObject::invokeMethod(engine, [engine, f] { f(engine); }, Qt::QueuedConnection);
    }
};

DecodeEngine::DecodeEngine(QObject *parent)
    : QObject(parent), shared_(std::make_shared<Shared>())
{
    qRegisterMetaType<std::shared_ptr<const DecodeResult>>();
    qRegisterMetaType<std::shared_ptr<const DecoderCatalog>>();
    shared_->owner = this;
}

DecodeEngine::~DecodeEngine()
{
    Shared &s = *shared_;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        s.stopping = true;
        s.owner = nullptr;
        s.pending.reset();
        if (s.latest)
            s.latest->stop(DecodeStopReason::Cancelled);
    }
    s.quit.stop(DecodeStopReason::Cancelled);
    s.wake.notify_all();
    dropLive();
    if (!worker_.joinable())
        return;
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        ended = s.ended.wait_for(lock, kWorkerGrace, [&s] { return s.workerEnded; });
    }
    // A worker still in a decoder after the grace keeps the shared state
    // alive and ends when the decoder lets it.
    if (ended)
        worker_.join();
    else
        worker_.detach();
}

void DecodeEngine::startWorker()
{
    if (!worker_.joinable())
        worker_ = std::thread(&DecodeEngine::work, shared_);
    shared_->wake.notify_all();
}

uint64_t DecodeEngine::start(const Capture &capture, const DecodeRequest &request)
{
    return queue(capture, request, nullptr);
}

uint64_t DecodeEngine::startLive(uint64_t sampleRateHz, const DecodeRequest &request)
{
    auto feed = std::make_shared<LiveDecodeFeed>(sampleRateHz);
    const uint64_t generation = queue(Capture(), request, feed);
    live_ = std::move(feed);
    return generation;
}

uint64_t DecodeEngine::queue(const Capture &capture, const DecodeRequest &request,
                             std::shared_ptr<LiveDecodeFeed> live)
{
    Shared &s = *shared_;
    const uint64_t generation = ++s.generation;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        if (s.latest)
            s.latest->stop(DecodeStopReason::Cancelled);
        s.latest = std::make_shared<DecodeControl>();
        s.pending = Shared::Job{generation, capture, request, limits_, s.latest, std::move(live)};
        s.busy = true;
    }
    dropLive();
    startWorker();
    return generation;
}

void DecodeEngine::feed(const uint8_t *samples, size_t count)
{
    if (!live_ || count == 0)
        return;
    {
        std::lock_guard<std::mutex> guard(live_->mutex);
        live_->arrived.insert(live_->arrived.end(), samples, samples + count);
    }
    live_->wake.notify_all();
}

bool DecodeEngine::finish(const Capture &capture)
{
    if (!live_)
        return false;
    {
        std::lock_guard<std::mutex> guard(live_->mutex);
        live_->capture = capture;
    }
    live_->wake.notify_all();
    live_.reset();
    return true;
}

void DecodeEngine::dropLive()
{
    // The run, stopped or superseded, sees it at once rather than at its
    // next look.
    if (live_)
        live_->nudge();
    live_.reset();
}

void DecodeEngine::cancel()
{
    Shared &s = *shared_;
    ++s.generation;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        s.pending.reset();
        if (s.latest)
            s.latest->stop(DecodeStopReason::Cancelled);
    }
    dropLive();
}

void DecodeEngine::stop()
{
    Shared &s = *shared_;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        // A run not started yet starts stopped and delivers an empty result.
        if (s.latest)
            s.latest->stop(DecodeStopReason::User);
    }
    dropLive();
}

uint64_t DecodeEngine::generation() const { return shared_->generation.load(); }

bool DecodeEngine::isBusy() const { return shared_->busy.load(); }

void DecodeEngine::requestCatalog()
{
    if (IsDecoderCatalogLoaded()) {
        auto catalog = LoadDecoderCatalog();
        QMetaObject::invokeMethod(this, [this, catalog] { emit catalogReady(catalog); }, Qt::QueuedConnection);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(shared_->mutex);
        shared_->catalogWanted = true;
        shared_->busy = true;
    }
    startWorker();
}

void DecodeEngine::reloadCatalog()
{
    Shared &s = *shared_;
    ++s.generation;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        s.pending.reset();
        if (s.latest)
            s.latest->stop(DecodeStopReason::Cancelled);
        s.reloadWanted = true;
        s.busy = true;
    }
    dropLive();
    startWorker();
}

void DecodeEngine::work(std::shared_ptr<Shared> shared)
{
    Shared &s = *shared;
    for (;;) {
        std::optional<Shared::Job> job;
        bool catalogWanted = false, reloadWanted = false;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            if (!s.hasWork())
                s.busy = false;
            s.wake.wait(lock, [&s] { return s.hasWork(); });
            if (s.stopping)
                break;
            catalogWanted = std::exchange(s.catalogWanted, false);
            reloadWanted = std::exchange(s.reloadWanted, false);
            job.swap(s.pending);
        }
        if (reloadWanted) {
            auto catalog = ReloadDecoderCatalog(&s.quit);
            s.post([catalog](DecodeEngine *e) { emit e->catalogReloaded(catalog); });
        }
        if (catalogWanted) {
            auto catalog = LoadDecoderCatalog(&s.quit);
            s.post([catalog](DecodeEngine *e) { emit e->catalogReady(catalog); });
        }
        if (!job)
            continue;
        const uint64_t generation = job->generation;
        int lastPercent = -1;
        const auto report = [&s, generation, &lastPercent](int percent) {
            if (percent == lastPercent)
                return;
            lastPercent = percent;
            s.post([generation, percent](DecodeEngine *e) {
                if (e->generation() == generation)
                    emit e->progress(generation, percent);
            });
        };
        std::shared_ptr<const DecodeResult> result;
        if (job->live) {
            const auto partial = [&s, generation](std::shared_ptr<const DecodeResult> part) {
                s.post([generation, part](DecodeEngine *e) {
                    if (e->generation() == generation)
                        emit e->partial(part);
                });
            };
            std::optional<Capture> redo;
            result = DecodeRunner::runLive(*job->live, job->request, generation, job->limits, *job->control,
                                           partial, &redo);
            // The capture that arrived is not the one that was arriving: it
            // is decoded as any other.
            if (!result && redo)
                result = DecodeRunner::run(*redo, std::move(job->request), generation, nullptr, job->limits,
                                           *job->control, report);
        } else {
            result = DecodeRunner::run(job->capture, std::move(job->request), generation, nullptr, job->limits,
                                       *job->control, report);
        }
        job.reset();
        // Checked again on the UI thread: a start() may have come in meanwhile.
        if (result && !result->cancelled() && s.generation.load() == generation) {
            s.post([result](DecodeEngine *e) {
                if (result->generation == e->generation())
                    emit e->finished(result);
            });
        }
    }
    std::lock_guard<std::mutex> guard(s.mutex);
    s.workerEnded = true;
    s.ended.notify_all();
}

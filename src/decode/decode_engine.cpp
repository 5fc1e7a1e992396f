#include "decode/decode_engine.h"

#include "decode/decoder_library.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <QMetaObject>
#include <functional>
#include <utility>

namespace {

// Samples handed to the library at a time: small enough that a superseded
// run stops within about a millisecond, large enough that the hand-over to
// the decoders' threads costs nothing worth measuring.
constexpr int64_t kChunkSamples = 4096;

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

// Drives the library through one run: one session per stack, so a stack that
// fails to start or whose decoder raises does not stop the others.
class DecodeRunner {
public:
    using Cancelled = std::function<bool()>;
    using Progress = std::function<void(int percent)>;

    static std::shared_ptr<DecodeResult> run(const Capture &capture, DecodeRequest request, uint64_t generation,
                                             const Cancelled &cancelled, const Progress &progress)
    {
        auto result = std::make_shared<DecodeResult>();
        result->generation = generation;
        result->sampleRateHz = capture.sampleRateHz();
        result->sampleCount = capture.sampleCount();
        // The catalogue first: it takes the library lock itself when it loads.
        result->catalog = LoadDecoderCatalog();
        if (!result->catalog->error().isEmpty()) {
            result->error = result->catalog->error();
            return result;
        }
        QString error;
        if (!ValidateDecodeRequest(&request, *result->catalog, &error)) {
            result->error = error;
            return result;
        }
        if (capture.isEmpty() || capture.sampleCount() <= 0 || capture.sampleRateHz() == 0) {
            result->error = QStringLiteral("there is no capture to decode");
            return result;
        }
        DecodeRunner runner(result.get(), request);
        runner.decode(capture.expandLogic(), cancelled, progress);
        for (DecodeInstanceResult &instance : result->instances) {
            for (DecodeRow &row : instance.rows)
                row.finish();
        }
        return result;
    }

private:
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

    DecodeRunner(DecodeResult *result, const DecodeRequest &request)
        : result_(result), request_(request)
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

    void decode(const std::vector<uint8_t> &samples, const Cancelled &cancelled, const Progress &progress)
    {
        const auto library = decode_internal::LockLibrary();
        decode_internal::LogCapture log;
        stacks_.resize(request_.stacks.size());
        int next = 0;
        for (size_t s = 0; s < stacks_.size(); ++s) {
            Stack &stack = stacks_[s];
            stack.runner = this;
            stack.index = int(s);
            for (size_t level = 0; level < request_.stacks[s].decoders.size(); ++level)
                stack.instances.push_back(next++);
            log.setStack(int(s));
            stack.running = open(stack);
        }

        const int64_t total = int64_t(samples.size());
        for (int64_t first = 0; first < total; first += kChunkSamples) {
            if (cancelled && cancelled()) {
                result_->cancelled = true;
                break;
            }
            const int64_t last = std::min(total, first + kChunkSamples);
            for (Stack &stack : stacks_) {
                if (!stack.running)
                    continue;
                log.setStack(stack.index);
                const int rc = srd_session_send(stack.session, uint64_t(first), uint64_t(last), samples.data() + first,
                                                uint64_t(last - first), 1);
                if (rc != SRD_OK) {
                    stack.running = false;
                    refuse(stack, 0,
                           QStringLiteral("decoding stopped at sample %1 (%2)").arg(first).arg(LibraryError(rc)));
                }
            }
            if (progress)
                progress(int(last * 100 / total));
        }

        for (Stack &stack : stacks_) {
            log.setStack(stack.index);
            if (stack.session) {
                srd_session_terminate_reset(stack.session);
                srd_session_destroy(stack.session);
                stack.session = nullptr;
            }
        }
        attributeErrors(log.take());
    }

    // Sets up the stack's session; false (with the reason) when the library
    // refuses something.
    bool open(Stack &stack)
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

    static bool refuse(Stack &stack, size_t level, const QString &why)
    {
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
        DecodeInstanceResult &instance = runner->result_->instances[size_t(stack->instances[level])];
        const auto *ann = static_cast<const srd_proto_data_annotation *>(pdata->data);
        const std::vector<int> &rowOfClass = instance.decoder->rowOfClass;
        if (!ann || ann->ann_class < 0 || size_t(ann->ann_class) >= rowOfClass.size())
            return;
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

    // The library reports a decoder's trouble (its Python exception, a
    // rejected option) only in its log. Each message goes to the instance it
    // names, else to the bottom decoder of the stack that was being driven;
    // a traceback goes with the message before it.
    void attributeErrors(const std::vector<decode_internal::LoggedError> &messages)
    {
        DecodeInstanceResult *previous = nullptr;
        for (const decode_internal::LoggedError &m : messages) {
            DecodeInstanceResult *target = nullptr;
            if (m.text.startsWith(QLatin1String("Traceback")) && previous) {
                target = previous;
            } else if (m.stack >= 0 && size_t(m.stack) < stacks_.size()) {
                const Stack &stack = stacks_[size_t(m.stack)];
                for (int i : stack.instances) {
                    if (MentionsInstance(m.text, result_->instances[size_t(i)].name))
                        target = &result_->instances[size_t(i)];
                }
                if (!target && !stack.instances.empty())
                    target = &result_->instances[size_t(stack.instances.front())];
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
    std::vector<Stack> stacks_;
    uint32_t order_ = 0;
};

std::shared_ptr<const DecodeResult> DecodeNow(const Capture &capture, const DecodeRequest &request)
{
    return DecodeRunner::run(capture, request, 0, {}, {});
}

DecodeEngine::DecodeEngine(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<std::shared_ptr<const DecodeResult>>();
    qRegisterMetaType<std::shared_ptr<const DecoderCatalog>>();
}

DecodeEngine::~DecodeEngine()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    quit_ = true;
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

uint64_t DecodeEngine::start(const Capture &capture, const DecodeRequest &request)
{
    const uint64_t generation = ++latest_;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pending_ = Job{generation, capture, request};
    }
    if (!worker_.joinable())
        worker_ = std::thread(&DecodeEngine::run, this);
    wake_.notify_all();
    return generation;
}

void DecodeEngine::cancel()
{
    ++latest_;
    std::lock_guard<std::mutex> guard(mutex_);
    pending_.reset();
}

void DecodeEngine::requestCatalog()
{
    if (IsDecoderCatalogLoaded()) {
        auto catalog = LoadDecoderCatalog();
        QMetaObject::invokeMethod(this, [this, catalog] { emit catalogReady(catalog); }, Qt::QueuedConnection);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        catalogWanted_ = true;
    }
    if (!worker_.joinable())
        worker_ = std::thread(&DecodeEngine::run, this);
    wake_.notify_all();
}

void DecodeEngine::run()
{
    for (;;) {
        std::optional<Job> job;
        bool catalogWanted = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_ || catalogWanted_; });
            if (stopping_)
                return;
            catalogWanted = std::exchange(catalogWanted_, false);
            job.swap(pending_);
        }
        if (catalogWanted) {
            auto catalog = LoadDecoderCatalog();
            QMetaObject::invokeMethod(this, [this, catalog] { emit catalogReady(catalog); }, Qt::QueuedConnection);
        }
        if (!job)
            continue;
        const uint64_t generation = job->generation;
        const auto superseded = [this, generation] { return quit_.load() || latest_.load() != generation; };
        int lastPercent = -1;
        const auto report = [this, generation, &lastPercent](int percent) {
            if (percent == lastPercent)
                return;
            lastPercent = percent;
            QMetaObject::invokeMethod(
                this,
                [this, generation, percent] {
                    if (latest_.load() == generation)
                        emit progress(generation, percent);
                },
                Qt::QueuedConnection);
        };
        std::shared_ptr<const DecodeResult> result =
            DecodeRunner::run(job->capture, std::move(job->request), generation, superseded, report);
        job.reset();
        if (!result->cancelled && !superseded())
            deliver(std::move(result));
    }
}

void DecodeEngine::deliver(std::shared_ptr<const DecodeResult> result)
{
    // Checked again on the UI thread: a start() may have come in meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            if (result->generation == latest_.load())
                emit finished(result);
        },
        Qt::QueuedConnection);
}

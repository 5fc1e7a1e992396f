#include "decode/decode_command.h"

#include "decode/annotation_list.h"
#include "decode/decode_engine.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

const char *const kPrefix = "logic-analyzer: decode: ";

// The option that sets the limit a stop came from.
QString LimitOption(DecodeStopReason reason)
{
    switch (reason) {
    case DecodeStopReason::TimeLimit: return QStringLiteral("--decode-timeout");
    case DecodeStopReason::AnnotationLimit: return QStringLiteral("--decode-max-annotations");
    default: return {};
    }
}

// The last resort for a decoder that catches every interruption: when the
// run has not ended a while after its stop, the program ends anyway, with
// the stop's status and nothing printed.
class LastResort {
public:
    explicit LastResort(DecodeControl &control) : control_(control), thread_([this] { watch(); }) {}
    ~LastResort()
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_ && !control_.stopRequested())
            changed_.wait_for(lock, std::chrono::milliseconds(100));
        if (done_ || changed_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; }))
            return;
        std::fprintf(stderr, "%sa decoder did not stop when its limit was reached (it catches every "
                             "interruption); nothing is printed\n",
                     kPrefix);
        std::fflush(nullptr);
        std::_Exit(kDecodeStoppedStatus);
    }

    DecodeControl &control_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace

int RunDecodeCommand(const QStringList &decodeArgs, const QString &format, const Capture &capture, QTextStream &out,
                     QTextStream &err, const DecodeLimits &limits)
{
    const auto fail = [&err](int status, const QString &message) {
        err << kPrefix << message << '\n';
        err.flush();
        return status;
    };
    const bool csv = format.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (!format.isEmpty() && !csv)
        return fail(2, QStringLiteral("unknown output format \"%1\" (known: csv)").arg(format));
    // Only the decoders named: the whole catalogue would cost several times
    // the start-up time and memory of decoding a capture.
    const QStringList ids = DecoderIdsOf(decodeArgs);
    const auto catalog = LoadDecoderCatalogFor(ids);
    if (!catalog->error().isEmpty())
        return fail(1, catalog->error());
    DecodeRequest request;
    QString error;
    // A decoder that does not load is refused like an unknown one, with its
    // Python error: either way nothing can be decoded with it, and a command
    // that checks its request first (--capture) stops before capturing.
    if (!ParseDecodeRequest(decodeArgs, *catalog, &request, &error))
        return fail(2, error);

    DecodeControl control;
    std::shared_ptr<const DecodeResult> result;
    {
        LastResort lastResort(control);
        result = DecodeNow(capture, request, limits, &control, catalog);
    }
    if (!result->error.isEmpty())
        return fail(1, result->error);

    if (csv)
        out << AnnotationCsvHeader() << '\n';
    for (const AnnotationLine &line : AnnotationsInEmissionOrder(*result)) {
        if (csv)
            out << AnnotationCsvRow(line) << '\n';
        else
            out << line.instance->name << ": " << line.text() << '\n';
    }
    out.flush();

    const QStringList errors = result->errors();
    for (const QString &e : errors)
        err << kPrefix << e << '\n';
    if (result->stopped()) {
        err << kPrefix << result->stopLine() << " (the limit of " << LimitOption(result->stopReason) << ")\n";
        err.flush();
        return kDecodeStoppedStatus;
    }
    err.flush();
    return errors.isEmpty() ? 0 : 1;
}

DecodeLimits DecodeLimitsFromOptions(double timeoutSeconds, qint64 maxAnnotations)
{
    DecodeLimits limits;
    if (timeoutSeconds >= 0)
        limits.timeLimitSeconds = timeoutSeconds;
    if (maxAnnotations >= 0)
        limits.annotationLimit = maxAnnotations;
    return limits;
}

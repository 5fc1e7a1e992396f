#include "decode/decoder_library.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <QtGlobal>
#include <cstdarg>

namespace decode_internal {
namespace {

std::mutex &LibraryMutex()
{
    static std::mutex m;
    return m;
}

// Where the library's error messages go while a run holds the library lock.
// The library logs from its decoder threads too (a decoder's exception is
// logged on the thread that runs it), so the sink has a lock of its own.
struct LogSink {
    std::mutex mutex;
    bool active = false;
    int stack = -1;
    std::vector<LoggedError> messages;
};

LogSink &Sink()
{
    static LogSink sink;
    return sink;
}

int LogCallback(void *, int level, const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    gchar *text = g_strdup_vprintf(format, copy);
    va_end(copy);
    const QString message = QString::fromUtf8(text).trimmed();
    g_free(text);

    LogSink &sink = Sink();
    {
        std::lock_guard<std::mutex> guard(sink.mutex);
        if (sink.active && level <= SRD_LOG_ERR) {
            sink.messages.push_back({sink.stack, message});
            return SRD_OK;
        }
    }
    // Outside a run (loading the decoders) or below error level: the
    // library's own stderr output would reach the user anyway, keep it.
    if (level <= SRD_LOG_WARN)
        qWarning("libsigrokdecode: %s", qPrintable(message));
    return SRD_OK;
}

} // namespace

std::unique_lock<std::mutex> LockLibrary()
{
    return std::unique_lock<std::mutex>(LibraryMutex());
}

QString EnsureLibraryLocked()
{
    static bool tried = false;
    static QString error;
    if (tried)
        return error;
    tried = true;
    srd_log_callback_set(LogCallback, nullptr);
    srd_log_loglevel_set(SRD_LOG_WARN);
    int rc = srd_init(nullptr);
    if (rc != SRD_OK) {
        error = QStringLiteral("the protocol decoder library could not be initialised (%1)")
                    .arg(QString::fromUtf8(srd_strerror(rc)));
        return error;
    }
    // A decoder that fails to import is left out (and logged); the others load.
    rc = srd_decoder_load_all();
    if (rc != SRD_OK && srd_decoder_list() == nullptr)
        error = QStringLiteral("no protocol decoders could be loaded (%1)").arg(QString::fromUtf8(srd_strerror(rc)));
    // The interpreter is never finalised: decoders keep Python threads and
    // objects that would have to be torn down in order at exit for nothing.
    return error;
}

LogCapture::LogCapture()
{
    LogSink &sink = Sink();
    std::lock_guard<std::mutex> guard(sink.mutex);
    sink.active = true;
    sink.stack = -1;
    sink.messages.clear();
}

LogCapture::~LogCapture()
{
    LogSink &sink = Sink();
    std::lock_guard<std::mutex> guard(sink.mutex);
    sink.active = false;
    sink.stack = -1;
    sink.messages.clear();
}

void LogCapture::setStack(int stack)
{
    LogSink &sink = Sink();
    std::lock_guard<std::mutex> guard(sink.mutex);
    sink.stack = stack;
}

std::vector<LoggedError> LogCapture::take()
{
    LogSink &sink = Sink();
    std::lock_guard<std::mutex> guard(sink.mutex);
    std::vector<LoggedError> out;
    out.swap(sink.messages);
    return out;
}

} // namespace decode_internal

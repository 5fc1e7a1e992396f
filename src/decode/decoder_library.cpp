// Python.h goes first: it sets feature macros the system headers read, and
// it must meet no Qt keyword macro (it has a member named "slots").
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "decode/decoder_library.h"

#include "decode/run_guard.h"

#include <libsigrokdecode/libsigrokdecode.h>
#include "decode/library_calls.h" // after the library's headers

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>
#include <csignal>
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
    if (!LoadDecoderLibrary(&error))
        return error;
    srd_log_callback_set(LogCallback, nullptr);
    srd_log_loglevel_set(SRD_LOG_WARN);
    // The interpreter takes over Ctrl+C to raise KeyboardInterrupt in the
    // main thread, which never runs Python here: Ctrl+C would do nothing.
    // The program keeps what it had.
    const auto interruptHandler = std::signal(SIGINT, SIG_DFL);
    const int rc = srd_init(nullptr);
    std::signal(SIGINT, interruptHandler);
    if (rc != SRD_OK)
        error = QStringLiteral("the protocol decoder library could not be initialised (%1)")
                    .arg(QString::fromUtf8(srd_strerror(rc)));
    // The interpreter is never finalised: decoders keep Python threads and
    // objects that would have to be torn down in order at exit for nothing.
    return error;
}

QStringList UserDecoderFolders()
{
    QStringList out;
    const QString env = qEnvironmentVariable("SIGROKDECODE_DIR");
    if (!env.isEmpty())
        out << QDir::cleanPath(env);
    // The library asks GLib for the data folder, so this does too.
    out << QDir::cleanPath(QString::fromUtf8(g_get_user_data_dir()) + QStringLiteral("/libsigrokdecode/decoders"));
    return out;
}

std::vector<DecoderFolder> DecoderFoldersLocked()
{
    QStringList user;
    for (const QString &u : UserDecoderFolders())
        user << QFileInfo(u).canonicalFilePath();
    std::vector<DecoderFolder> out;
    QStringList seen;
    GSList *paths = srd_searchpaths_get();
    for (GSList *l = paths; l; l = l->next) {
        const QString path = QDir::cleanPath(QString::fromUtf8(static_cast<const char *>(l->data)));
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue; // the installed folder is listed twice
        seen << canonical;
        out.push_back({path, user.contains(canonical)});
    }
    g_slist_free_full(paths, g_free);
    return out;
}

std::vector<DecoderLoadFailure> LoadDecodersLocked(const QStringList *ids, QStringList *unknown,
                                                   DecodeControl *control, double importSeconds)
{
    // Each folder's decoders, an earlier folder's hiding a later one's, as
    // Python's import finds them.
    struct Candidate {
        QString id, folder;
    };
    std::vector<Candidate> candidates;
    QStringList found;
    for (const DecoderFolder &folder : DecoderFoldersLocked()) {
        const QDir dir(folder.path);
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            // "common" holds the decoders' shared helpers; "__pycache__" and
            // hidden folders are Python's and editors' own.
            if (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('_')) || name == QLatin1String("common")
                || found.contains(name) || (ids && !ids->contains(name)))
                continue;
            if (!dir.exists(name + QStringLiteral("/__init__.py")) && !dir.exists(name + QStringLiteral("/pd.py")))
                continue;
            found << name;
            candidates.push_back({name, folder.path});
        }
    }
    if (unknown && ids) {
        for (const QString &id : *ids) {
            if (!found.contains(id) && !unknown->contains(id))
                unknown->append(id);
        }
    }

    std::vector<DecoderLoadFailure> failures;
    DecodeControl own;
    DecodeControl &stop = control ? *control : own;
    LogCapture log;
    for (size_t i = 0; i < candidates.size() && !stop.stopRequested(); ++i) {
        const Candidate &c = candidates[i];
        log.setStack(int(i));
        int rc = SRD_OK;
        bool timedOut = false;
        {
            // An import that loops for ever would hold every later decoding.
            DecodeControl importControl;
            RunGuard guard(importControl, importSeconds);
            guard.enter(int(i));
            rc = srd_decoder_load(c.id.toUtf8().constData());
            guard.leave();
            timedOut = importControl.reason() == DecodeStopReason::TimeLimit;
        }
        QStringList messages;
        for (const LoggedError &m : log.take())
            messages << m.text;
        if (rc == SRD_OK)
            continue;
        if (timedOut)
            messages.prepend(QStringLiteral("loading did not finish within %1 s").arg(importSeconds));
        if (messages.isEmpty())
            messages << QStringLiteral("the decoder could not be loaded (%1)").arg(QString::fromUtf8(srd_strerror(rc)));
        failures.push_back({c.id, c.folder, messages.join(QLatin1Char('\n'))});
    }
    return failures;
}

void UnloadDecodersLocked()
{
    srd_decoder_unload_all();
    // Python keeps imported modules in sys.modules: without this, loading
    // again would find the old code, not the edited file.
    QStringList folders;
    for (const DecoderFolder &f : DecoderFoldersLocked())
        folders << QFileInfo(f.path).canonicalFilePath();
    const PyGILState_STATE gil = PyGILState_Ensure();
    PyObject *globals = PyDict_New();
    PyObject *list = PyList_New(0);
    for (const QString &f : folders) {
        PyObject *item = PyUnicode_FromString(f.toUtf8().constData());
        if (item)
            PyList_Append(list, item);
        Py_XDECREF(item);
    }
    PyDict_SetItemString(globals, "folders", list);
    PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
    static const char *const code =
        "import importlib, os, sys\n"
        "roots = tuple(os.path.join(f, '') for f in folders)\n"
        "def inside(path):\n"
        "    return bool(path) and os.path.realpath(path).startswith(roots)\n"
        "for name, module in list(sys.modules.items()):\n"
        "    paths = [getattr(module, '__file__', None)] + list(getattr(module, '__path__', None) or [])\n"
        "    if any(inside(p) for p in paths if isinstance(p, str)):\n"
        "        del sys.modules[name]\n"
        "importlib.invalidate_caches()\n";
    PyObject *done = PyRun_String(code, Py_file_input, globals, globals);
    if (!done) {
        PyErr_Print();
        PyErr_Clear();
    }
    Py_XDECREF(done);
    Py_DECREF(list);
    Py_DECREF(globals);
    PyGILState_Release(gil);
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

#define LA_DECODER_LIBRARY_CALLS_DEFINED_HERE
#include "decode/library_calls.h"

#include <QLibrary>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

struct LoadedLibrary {
    DecoderLibraryCalls calls{};
    bool loaded = false;
    QString error;
};

template <typename Pointer>
void Resolve(QLibrary &library, const char *name, Pointer &out, QStringList &missing)
{
    out = reinterpret_cast<Pointer>(library.resolve(name));
    if (!out)
        missing << QString::fromLatin1(name);
}

#define LA_RESOLVE(name) Resolve(library, #name, c.name, missing)

LoadedLibrary Load()
{
    LoadedLibrary result;
    QLibrary library;
    // Python's own extension modules, imported by the decoders, look for the
    // interpreter's symbols among those of the whole program.
    library.setLoadHints(QLibrary::ExportExternalSymbolsHint);
    QStringList tried;
    // The file names it has on Debian (libsigrokdecode.so.4) and in the
    // Windows builds of sigrok (libsigrokdecode-4.dll); never the unversioned
    // name, which may be another version of the library.
    for (const auto &[name, version] : {std::pair{QStringLiteral("sigrokdecode"), 4},
                                        std::pair{QStringLiteral("libsigrokdecode-4"), -1}}) {
        if (version >= 0)
            library.setFileNameAndVersion(name, version);
        else
            library.setFileName(name);
        if (library.load())
            break;
        tried << library.errorString();
    }
    if (!library.isLoaded()) {
        result.error = QStringLiteral("the protocol decoder library could not be loaded (%1)").arg(tried.first());
        return result;
    }
    DecoderLibraryCalls &c = result.calls;
    QStringList missing;
    LA_RESOLVE(srd_decoder_list);
    LA_RESOLVE(srd_decoder_load);
    LA_RESOLVE(srd_decoder_unload_all);
    LA_RESOLVE(srd_init);
    LA_RESOLVE(srd_inst_channel_set_all);
    LA_RESOLVE(srd_inst_new);
    LA_RESOLVE(srd_inst_option_set);
    LA_RESOLVE(srd_inst_stack);
    LA_RESOLVE(srd_lib_version_string_get);
    LA_RESOLVE(srd_log_callback_set);
    LA_RESOLVE(srd_log_loglevel_set);
    LA_RESOLVE(srd_pd_output_callback_add);
    LA_RESOLVE(srd_searchpaths_get);
    LA_RESOLVE(srd_session_destroy);
    LA_RESOLVE(srd_session_metadata_set);
    LA_RESOLVE(srd_session_new);
    LA_RESOLVE(srd_session_send);
    LA_RESOLVE(srd_session_start);
    LA_RESOLVE(srd_session_terminate_reset);
    LA_RESOLVE(srd_strerror);
    LA_RESOLVE(PyDict_New);
    LA_RESOLVE(PyDict_SetItemString);
    LA_RESOLVE(PyErr_Clear);
    LA_RESOLVE(PyErr_NewException);
    LA_RESOLVE(PyErr_Print);
    LA_RESOLVE(PyEval_GetBuiltins);
    LA_RESOLVE(PyGILState_Ensure);
    LA_RESOLVE(PyGILState_Release);
    LA_RESOLVE(PyInterpreterState_Main);
    LA_RESOLVE(PyInterpreterState_ThreadHead);
    LA_RESOLVE(PyList_Append);
    LA_RESOLVE(PyList_New);
    LA_RESOLVE(PyObject_GetAttrString);
    LA_RESOLVE(PyRun_StringFlags);
    LA_RESOLVE(PySequence_GetItem);
    LA_RESOLVE(PySequence_Size);
    LA_RESOLVE(PyThreadState_Get);
    LA_RESOLVE(PyThreadState_GetFrame);
    LA_RESOLVE(PyThreadState_Next);
    LA_RESOLVE(PyThreadState_SetAsyncExc);
    LA_RESOLVE(PyThread_get_thread_ident);
    LA_RESOLVE(PyUnicode_AsUTF8);
    LA_RESOLVE(PyUnicode_FromString);
    LA_RESOLVE(Py_DecRef);
    LA_RESOLVE(PyExc_BaseException);
    if (!missing.isEmpty()) {
        result.error = QStringLiteral("the protocol decoder library %1 lacks %2")
                           .arg(library.fileName(), missing.join(QStringLiteral(", ")));
        return result;
    }
    // Never unloaded: the interpreter is never finalised either.
    result.loaded = true;
    return result;
}

#undef LA_RESOLVE

const LoadedLibrary &Library()
{
    static const LoadedLibrary library = Load();
    return library;
}

} // namespace

bool LoadDecoderLibrary(QString *error)
{
    const LoadedLibrary &library = Library();
    if (!library.loaded && error)
        *error = library.error;
    return library.loaded;
}

const DecoderLibraryCalls &LoadedDecoderLibrary()
{
    const LoadedLibrary &library = Library();
    if (!library.loaded) {
        // Every way to the library goes through LoadDecoderLibrary() first.
        std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(library.error));
        std::abort();
    }
    return library.calls;
}

// The decoder library (libsigrokdecode with the Python it embeds) is loaded
// the first time something is decoded, not when the program starts: most
// starts never decode, and binding the interpreter's thousands of symbols
// costs every start about 5 ms and 2.4 MiB.
//
// The files that call the library include this header after <Python.h> and
// <libsigrokdecode/libsigrokdecode.h>: each call below then goes through the
// loaded library, written as it always is (srd_init(...), Py_DECREF(...)).
#pragma once

#ifndef PY_SSIZE_T_CLEAN
#define PY_SSIZE_T_CLEAN
#endif
#include <Python.h>

#include <libsigrokdecode/libsigrokdecode.h>

#include <QString>

struct DecoderLibraryCalls {
    decltype(&::srd_decoder_list) srd_decoder_list;
    decltype(&::srd_decoder_load) srd_decoder_load;
    decltype(&::srd_decoder_unload_all) srd_decoder_unload_all;
    decltype(&::srd_init) srd_init;
    decltype(&::srd_inst_channel_set_all) srd_inst_channel_set_all;
    decltype(&::srd_inst_new) srd_inst_new;
    decltype(&::srd_inst_option_set) srd_inst_option_set;
    decltype(&::srd_inst_stack) srd_inst_stack;
    decltype(&::srd_lib_version_string_get) srd_lib_version_string_get;
    decltype(&::srd_log_callback_set) srd_log_callback_set;
    decltype(&::srd_log_loglevel_set) srd_log_loglevel_set;
    decltype(&::srd_pd_output_callback_add) srd_pd_output_callback_add;
    decltype(&::srd_searchpaths_get) srd_searchpaths_get;
    decltype(&::srd_session_destroy) srd_session_destroy;
    decltype(&::srd_session_metadata_set) srd_session_metadata_set;
    decltype(&::srd_session_new) srd_session_new;
    decltype(&::srd_session_send) srd_session_send;
    decltype(&::srd_session_start) srd_session_start;
    decltype(&::srd_session_terminate_reset) srd_session_terminate_reset;
    decltype(&::srd_strerror) srd_strerror;

    decltype(&::PyDict_New) PyDict_New;
    decltype(&::PyDict_SetItemString) PyDict_SetItemString;
    decltype(&::PyErr_Clear) PyErr_Clear;
    decltype(&::PyErr_NewException) PyErr_NewException;
    decltype(&::PyErr_Print) PyErr_Print;
    decltype(&::PyEval_GetBuiltins) PyEval_GetBuiltins;
    decltype(&::PyGILState_Ensure) PyGILState_Ensure;
    decltype(&::PyGILState_Release) PyGILState_Release;
    decltype(&::PyInterpreterState_Main) PyInterpreterState_Main;
    decltype(&::PyInterpreterState_ThreadHead) PyInterpreterState_ThreadHead;
    decltype(&::PyList_Append) PyList_Append;
    decltype(&::PyList_New) PyList_New;
    decltype(&::PyObject_GetAttrString) PyObject_GetAttrString;
    decltype(&::PyRun_StringFlags) PyRun_StringFlags;
    decltype(&::PySequence_GetItem) PySequence_GetItem;
    decltype(&::PySequence_Size) PySequence_Size;
    decltype(&::PyThreadState_Get) PyThreadState_Get;
    decltype(&::PyThreadState_GetFrame) PyThreadState_GetFrame;
    decltype(&::PyThreadState_Next) PyThreadState_Next;
    decltype(&::PyThreadState_SetAsyncExc) PyThreadState_SetAsyncExc;
    decltype(&::PyThread_get_thread_ident) PyThread_get_thread_ident;
    decltype(&::PyUnicode_AsUTF8) PyUnicode_AsUTF8;
    decltype(&::PyUnicode_FromString) PyUnicode_FromString;
    decltype(&::Py_DecRef) Py_DecRef;
    PyObject **PyExc_BaseException;
};

// Loads the library once, with its symbols visible to the Python modules it
// imports later. False with the reason when it cannot be loaded; a later call
// gives the same answer.
bool LoadDecoderLibrary(QString *error);

// The library's calls, once LoadDecoderLibrary() has succeeded.
const DecoderLibraryCalls &LoadedDecoderLibrary();

#ifndef LA_DECODER_LIBRARY_CALLS_DEFINED_HERE
#define srd_decoder_list (LoadedDecoderLibrary().srd_decoder_list)
#define srd_decoder_load (LoadedDecoderLibrary().srd_decoder_load)
#define srd_decoder_unload_all (LoadedDecoderLibrary().srd_decoder_unload_all)
#define srd_init (LoadedDecoderLibrary().srd_init)
#define srd_inst_channel_set_all (LoadedDecoderLibrary().srd_inst_channel_set_all)
#define srd_inst_new (LoadedDecoderLibrary().srd_inst_new)
#define srd_inst_option_set (LoadedDecoderLibrary().srd_inst_option_set)
#define srd_inst_stack (LoadedDecoderLibrary().srd_inst_stack)
#define srd_lib_version_string_get (LoadedDecoderLibrary().srd_lib_version_string_get)
#define srd_log_callback_set (LoadedDecoderLibrary().srd_log_callback_set)
#define srd_log_loglevel_set (LoadedDecoderLibrary().srd_log_loglevel_set)
#define srd_pd_output_callback_add (LoadedDecoderLibrary().srd_pd_output_callback_add)
#define srd_searchpaths_get (LoadedDecoderLibrary().srd_searchpaths_get)
#define srd_session_destroy (LoadedDecoderLibrary().srd_session_destroy)
#define srd_session_metadata_set (LoadedDecoderLibrary().srd_session_metadata_set)
#define srd_session_new (LoadedDecoderLibrary().srd_session_new)
#define srd_session_send (LoadedDecoderLibrary().srd_session_send)
#define srd_session_start (LoadedDecoderLibrary().srd_session_start)
#define srd_session_terminate_reset (LoadedDecoderLibrary().srd_session_terminate_reset)
#define srd_strerror (LoadedDecoderLibrary().srd_strerror)

#define PyDict_New (LoadedDecoderLibrary().PyDict_New)
#define PyDict_SetItemString (LoadedDecoderLibrary().PyDict_SetItemString)
#define PyErr_Clear (LoadedDecoderLibrary().PyErr_Clear)
#define PyErr_NewException (LoadedDecoderLibrary().PyErr_NewException)
#define PyErr_Print (LoadedDecoderLibrary().PyErr_Print)
#define PyEval_GetBuiltins (LoadedDecoderLibrary().PyEval_GetBuiltins)
#define PyGILState_Ensure (LoadedDecoderLibrary().PyGILState_Ensure)
#define PyGILState_Release (LoadedDecoderLibrary().PyGILState_Release)
#define PyInterpreterState_Main (LoadedDecoderLibrary().PyInterpreterState_Main)
#define PyInterpreterState_ThreadHead (LoadedDecoderLibrary().PyInterpreterState_ThreadHead)
#define PyList_Append (LoadedDecoderLibrary().PyList_Append)
#define PyList_New (LoadedDecoderLibrary().PyList_New)
#define PyObject_GetAttrString (LoadedDecoderLibrary().PyObject_GetAttrString)
#define PyRun_StringFlags (LoadedDecoderLibrary().PyRun_StringFlags)
#define PySequence_GetItem (LoadedDecoderLibrary().PySequence_GetItem)
#define PySequence_Size (LoadedDecoderLibrary().PySequence_Size)
#define PyThreadState_Get (LoadedDecoderLibrary().PyThreadState_Get)
#define PyThreadState_GetFrame (LoadedDecoderLibrary().PyThreadState_GetFrame)
#define PyThreadState_Next (LoadedDecoderLibrary().PyThreadState_Next)
#define PyThreadState_SetAsyncExc (LoadedDecoderLibrary().PyThreadState_SetAsyncExc)
#define PyThread_get_thread_ident (LoadedDecoderLibrary().PyThread_get_thread_ident)
#define PyUnicode_AsUTF8 (LoadedDecoderLibrary().PyUnicode_AsUTF8)
#define PyUnicode_FromString (LoadedDecoderLibrary().PyUnicode_FromString)
#undef PyExc_BaseException
#define PyExc_BaseException (*LoadedDecoderLibrary().PyExc_BaseException)
// The headers' reference counting frees through a symbol of the library;
// its exported twin does the same through the loaded one.
#undef Py_DECREF
#define Py_DECREF(op) (LoadedDecoderLibrary().Py_DecRef(_PyObject_CAST(op)))
#undef Py_XDECREF
#define Py_XDECREF(op) (LoadedDecoderLibrary().Py_DecRef(_PyObject_CAST(op)))
#endif

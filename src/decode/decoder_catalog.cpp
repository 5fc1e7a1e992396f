// Python.h goes first: it sets feature macros the system headers read, and
// it must meet no Qt keyword macro (it has a member named "slots").
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "decode/decoder_catalog.h"

#include "decode/decoder_library.h"
#include "decode/python_error.h"

#include <libsigrokdecode/libsigrokdecode.h>
#include "decode/library_calls.h" // after the library's headers

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString Utf8(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

QStringList StringList(const GSList *list)
{
    QStringList out;
    for (const GSList *l = list; l; l = l->next)
        out << Utf8(static_cast<const char *>(l->data));
    return out;
}

std::vector<DecoderChannelInfo> Channels(const GSList *list)
{
    std::vector<DecoderChannelInfo> out;
    for (const GSList *l = list; l; l = l->next) {
        const auto *c = static_cast<const srd_channel *>(l->data);
        out.push_back({Utf8(c->id), Utf8(c->name), Utf8(c->desc)});
    }
    return out;
}

QVariant FromVariant(GVariant *v)
{
    if (!v)
        return {};
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return QVariant(qint64(g_variant_get_int64(v)));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return QVariant(g_variant_get_double(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return QVariant(Utf8(g_variant_get_string(v, nullptr)));
    return {};
}

std::vector<DecoderOptionInfo> Options(const GSList *list)
{
    std::vector<DecoderOptionInfo> out;
    for (const GSList *l = list; l; l = l->next) {
        const auto *o = static_cast<const srd_decoder_option *>(l->data);
        DecoderOptionInfo info;
        info.id = Utf8(o->id);
        info.description = Utf8(o->desc);
        if (o->def && g_variant_is_of_type(o->def, G_VARIANT_TYPE_INT64))
            info.type = DecoderOptionInfo::Type::Int;
        else if (o->def && g_variant_is_of_type(o->def, G_VARIANT_TYPE_DOUBLE))
            info.type = DecoderOptionInfo::Type::Double;
        info.defaultValue = FromVariant(o->def);
        for (const GSList *v = o->values; v; v = v->next)
            info.values << FromVariant(static_cast<GVariant *>(v->data));
        out.push_back(info);
    }
    return out;
}

// The library of this version has no field for a decoder's tags; they are
// an attribute of its Python class.
QStringList Tags(void *pythonClass)
{
    QStringList out;
    if (!pythonClass)
        return out;
    const PyGILState_STATE gil = PyGILState_Ensure();
    PyObject *tags = PyObject_GetAttrString(static_cast<PyObject *>(pythonClass), "tags");
    if (tags && (PyList_Check(tags) || PyTuple_Check(tags))) {
        const Py_ssize_t n = PySequence_Size(tags);
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject *item = PySequence_GetItem(tags, i);
            if (item && PyUnicode_Check(item)) {
                if (const char *s = PyUnicode_AsUTF8(item))
                    out << QString::fromUtf8(s);
            }
            Py_XDECREF(item);
        }
    }
    Py_XDECREF(tags);
    PyErr_Clear();
    PyGILState_Release(gil);
    return out;
}

// The file a decoder's module was read from (".../uart/__init__.py").
QString ModuleFile(void *pythonModule)
{
    QString out;
    if (!pythonModule)
        return out;
    const PyGILState_STATE gil = PyGILState_Ensure();
    PyObject *file = PyObject_GetAttrString(static_cast<PyObject *>(pythonModule), "__file__");
    if (file && PyUnicode_Check(file)) {
        if (const char *s = PyUnicode_AsUTF8(file))
            out = QString::fromUtf8(s);
    }
    Py_XDECREF(file);
    PyErr_Clear();
    PyGILState_Release(gil);
    return out;
}

// Whether `folder` is one of the user's decoder folders.
bool IsUserFolder(const QString &folder, const QStringList &canonicalUserFolders)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return !canonical.isEmpty() && canonicalUserFolders.contains(canonical);
}

DecoderInfo Describe(const srd_decoder *d, const QStringList &canonicalUserFolders)
{
    DecoderInfo info;
    info.id = Utf8(d->id);
    info.name = Utf8(d->name);
    info.longName = Utf8(d->longname);
    info.description = Utf8(d->desc);
    info.tags = Tags(d->py_dec);
    info.channels = Channels(d->channels);
    info.optionalChannels = Channels(d->opt_channels);
    info.options = Options(d->options);
    for (const GSList *l = d->annotations; l; l = l->next) {
        // Each class is a string vector: id, description.
        const auto *pair = static_cast<char *const *>(l->data);
        info.annotationClasses.push_back({Utf8(pair[0]), Utf8(pair[1])});
    }
    const int classCount = int(info.annotationClasses.size());
    for (const GSList *l = d->annotation_rows; l; l = l->next) {
        const auto *r = static_cast<const srd_decoder_annotation_row *>(l->data);
        DecoderAnnotationRow row{Utf8(r->id), Utf8(r->desc), {}};
        for (const GSList *c = r->ann_classes; c; c = c->next) {
            const int cls = GPOINTER_TO_INT(c->data);
            if (cls >= 0 && cls < classCount)
                row.classes.push_back(cls);
        }
        info.annotationRows.push_back(row);
    }
    info.inputs = StringList(d->inputs);
    info.outputs = StringList(d->outputs);
    const QString file = ModuleFile(d->py_mod);
    if (!file.isEmpty()) {
        // .../decoders/uart/__init__.py: the decoder folder is two up.
        info.folder = QFileInfo(QFileInfo(file).absolutePath()).absolutePath();
        info.fromUserFolder = IsUserFolder(info.folder, canonicalUserFolders);
    }

    info.rows = info.annotationRows;
    info.rowOfClass.assign(size_t(classCount), -1);
    for (size_t r = 0; r < info.rows.size(); ++r) {
        for (int cls : info.rows[r].classes) {
            if (info.rowOfClass[size_t(cls)] < 0)
                info.rowOfClass[size_t(cls)] = int(r);
        }
    }
    for (int cls = 0; cls < classCount; ++cls) {
        if (info.rowOfClass[size_t(cls)] >= 0)
            continue;
        const DecoderAnnotationClass &c = info.annotationClasses[size_t(cls)];
        info.rowOfClass[size_t(cls)] = int(info.rows.size());
        info.rows.push_back({c.id, c.description, {cls}});
    }
    return info;
}

std::mutex &CatalogMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<const DecoderCatalog> &CachedCatalog()
{
    static std::shared_ptr<const DecoderCatalog> catalog;
    return catalog;
}

} // namespace

// A decoder whose import hangs would hold every later decoding; none of the
// installed ones takes a tenth of this.
constexpr double kImportSeconds = 10;

class DecoderCatalogBuilder {
public:
    // Loads the decoders (all, or those of `ids`) and describes them. The
    // caller holds the library lock. `complete` is false when `control` was
    // stopped before every decoder was loaded.
    static std::shared_ptr<const DecoderCatalog> build(const QStringList *ids, DecodeControl *control,
                                                       bool *complete)
    {
        *complete = true;
        auto catalog = std::make_shared<DecoderCatalog>();
        catalog->error_ = decode_internal::EnsureLibraryLocked();
        if (LoadDecoderLibrary(nullptr))
            catalog->version_ = Utf8(srd_lib_version_string_get());
        catalog->userFolders_ = decode_internal::UserDecoderFolders();
        if (!catalog->error_.isEmpty())
            return catalog;
        QStringList canonicalUser;
        for (const QString &f : catalog->userFolders_)
            canonicalUser << QFileInfo(f).canonicalFilePath();
        QStringList unknown;
        const auto failures = decode_internal::LoadDecodersLocked(ids, &unknown, control, kImportSeconds);
        *complete = !control || !control->stopRequested();
        for (const decode_internal::DecoderLoadFailure &f : failures) {
            DecoderFailure failure;
            failure.id = f.id;
            failure.folder = f.folder;
            failure.fromUserFolder = IsUserFolder(f.folder, canonicalUser);
            failure.details = f.log;
            const PythonError python = ParsePythonTraceback(f.log);
            failure.file = python.file;
            failure.line = python.line;
            // The traceback's own last line says it best; without one, the
            // library's first line.
            failure.message = python.file.isEmpty() ? f.log.section(QLatin1Char('\n'), 0, 0) : python.message;
            catalog->failures_.push_back(failure);
        }
        for (const GSList *l = srd_decoder_list(); l; l = l->next) {
            const auto *d = static_cast<const srd_decoder *>(l->data);
            if (!ids || ids->contains(Utf8(d->id)))
                catalog->decoders_.push_back(Describe(d, canonicalUser));
        }
        std::sort(catalog->decoders_.begin(), catalog->decoders_.end(),
                  [](const DecoderInfo &a, const DecoderInfo &b) { return a.id < b.id; });
        std::sort(catalog->failures_.begin(), catalog->failures_.end(),
                  [](const DecoderFailure &a, const DecoderFailure &b) { return a.id < b.id; });
        return catalog;
    }
};

QString DecoderFailure::summary() const
{
    if (file.isEmpty())
        return message;
    return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message);
}

const DecoderOptionInfo *DecoderInfo::option(const QString &optionId) const
{
    for (const DecoderOptionInfo &o : options) {
        if (o.id == optionId)
            return &o;
    }
    return nullptr;
}

const DecoderChannelInfo *DecoderInfo::channel(const QString &channelId) const
{
    for (const auto *list : {&channels, &optionalChannels}) {
        for (const DecoderChannelInfo &c : *list) {
            if (c.id == channelId)
                return &c;
        }
    }
    return nullptr;
}

bool DecoderInfo::isRequiredChannel(const QString &channelId) const
{
    return std::any_of(channels.begin(), channels.end(),
                       [&](const DecoderChannelInfo &c) { return c.id == channelId; });
}

int DecoderInfo::classIndex(const QString &classId) const
{
    for (size_t i = 0; i < annotationClasses.size(); ++i) {
        if (annotationClasses[i].id == classId)
            return int(i);
    }
    return -1;
}

int DecoderInfo::rowIndex(const QString &rowId) const
{
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].id == rowId)
            return int(i);
    }
    return -1;
}

bool DecoderInfo::canStackOn(const DecoderInfo &lower) const
{
    return std::any_of(inputs.begin(), inputs.end(), [&](const QString &in) {
        return in != QLatin1String("logic") && lower.outputs.contains(in);
    });
}

const DecoderInfo *DecoderCatalog::find(const QString &id) const
{
    const auto it = std::lower_bound(decoders_.begin(), decoders_.end(), id,
                                     [](const DecoderInfo &d, const QString &key) { return d.id < key; });
    return it != decoders_.end() && it->id == id ? &*it : nullptr;
}

const DecoderFailure *DecoderCatalog::failure(const QString &id) const
{
    for (const DecoderFailure &f : failures_) {
        if (f.id == id)
            return &f;
    }
    return nullptr;
}

QString DecoderCatalog::whyMissing(const QString &id) const
{
    if (const DecoderFailure *f = failure(id))
        return QStringLiteral("decoder \"%1\" fails to load: %2").arg(id, f->summary());
    return QStringLiteral("unknown decoder \"%1\"").arg(id);
}

std::vector<const DecoderInfo *> DecoderCatalog::stackableOn(const DecoderInfo &lower) const
{
    std::vector<const DecoderInfo *> out;
    for (const DecoderInfo &d : decoders_) {
        if (d.canStackOn(lower))
            out.push_back(&d);
    }
    return out;
}

std::shared_ptr<const DecoderCatalog> LoadDecoderCatalog(DecodeControl *control)
{
    {
        std::lock_guard<std::mutex> guard(CatalogMutex());
        if (CachedCatalog())
            return CachedCatalog();
    }
    // The catalogue lock is never held while waiting for the library lock: a
    // decoding run holds the library lock and may ask for the catalogue.
    const auto library = decode_internal::LockLibrary();
    {
        std::lock_guard<std::mutex> guard(CatalogMutex());
        if (CachedCatalog())
            return CachedCatalog();
    }
    bool complete = true;
    auto catalog = DecoderCatalogBuilder::build(nullptr, control, &complete);
    if (complete) {
        std::lock_guard<std::mutex> guard(CatalogMutex());
        CachedCatalog() = catalog;
    }
    return catalog;
}

std::shared_ptr<const DecoderCatalog> ReloadDecoderCatalog(DecodeControl *control)
{
    const auto library = decode_internal::LockLibrary();
    if (decode_internal::EnsureLibraryLocked().isEmpty())
        decode_internal::UnloadDecodersLocked();
    bool complete = true;
    auto catalog = DecoderCatalogBuilder::build(nullptr, control, &complete);
    std::lock_guard<std::mutex> guard(CatalogMutex());
    // Unfinished, it is still what is loaded now; the next load completes it.
    CachedCatalog() = complete ? catalog : nullptr;
    return catalog;
}

std::shared_ptr<const DecoderCatalog> LoadDecoderCatalogFor(const QStringList &ids)
{
    const auto library = decode_internal::LockLibrary();
    bool complete = true;
    return DecoderCatalogBuilder::build(&ids, nullptr, &complete);
}

bool IsDecoderCatalogLoaded()
{
    std::lock_guard<std::mutex> guard(CatalogMutex());
    return CachedCatalog() != nullptr;
}

QString DecodeChannelName(int index)
{
    return QStringLiteral("CH%1").arg(index + 1);
}

std::map<QString, int> DefaultChannelMap(const DecoderInfo &decoder)
{
    constexpr int kInputs = 8;
    static const QRegularExpression oneBased(QStringLiteral("^(?:ch)?([1-8])$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression zeroBased(QStringLiteral("^d([0-7])$"),
                                              QRegularExpression::CaseInsensitiveOption);
    auto namedInput = [&](const QString &text) {
        QRegularExpressionMatch m = oneBased.match(text);
        if (m.hasMatch())
            return m.captured(1).toInt() - 1;
        m = zeroBased.match(text);
        if (m.hasMatch())
            return m.captured(1).toInt();
        return -1;
    };

    std::vector<const DecoderChannelInfo *> all;
    for (const auto &c : decoder.channels)
        all.push_back(&c);
    for (const auto &c : decoder.optionalChannels)
        all.push_back(&c);

    std::map<QString, int> map;
    bool used[kInputs] = {};
    for (const DecoderChannelInfo *c : all) {
        int input = namedInput(c->id);
        if (input < 0)
            input = namedInput(c->name);
        if (input >= 0 && !used[input]) {
            map[c->id] = input;
            used[input] = true;
        }
    }
    int next = 0;
    for (const DecoderChannelInfo *c : all) {
        if (map.count(c->id))
            continue;
        while (next < kInputs && used[next])
            ++next;
        if (next == kInputs)
            break;
        map[c->id] = next;
        used[next] = true;
    }
    return map;
}

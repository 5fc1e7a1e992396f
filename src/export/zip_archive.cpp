#include "export/zip_archive.h"

#include <zip.h>

#include <algorithm>

namespace {

QString LibzipMessage(zip_error_t *e)
{
    const QString text = QString::fromLocal8Bit(zip_error_strerror(e));
    zip_error_fini(e);
    return text;
}

} // namespace

bool BuildZipArchive(const std::vector<ZipEntry> &entries, QByteArray *archive, QString *error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!buffer) {
        *error = LibzipMessage(&ze);
        return false;
    }
    zip_t *za = zip_open_from_source(buffer, ZIP_TRUNCATE, &ze);
    if (!za) {
        zip_source_free(buffer);
        *error = LibzipMessage(&ze);
        return false;
    }
    // The buffer source has to outlive zip_close, which writes into it.
    zip_source_keep(buffer);
    auto fail = [&](const QString &why) {
        zip_discard(za);
        zip_source_free(buffer);
        *error = why;
        return false;
    };
    for (const ZipEntry &e : entries) {
        zip_source_t *s = zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        if (!s)
            return fail(QString::fromLocal8Bit(zip_strerror(za)));
        if (zip_file_add(za, e.name.constData(), s, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(s);
            return fail(QString::fromLocal8Bit(zip_strerror(za)));
        }
    }
    if (zip_close(za) < 0)
        return fail(QString::fromLocal8Bit(zip_strerror(za)));

    // The finished archive now sits in the buffer source.
    bool ok = zip_source_open(buffer) == 0;
    if (ok && zip_source_seek(buffer, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(buffer);
        ok = size >= 0 && zip_source_seek(buffer, 0, SEEK_SET) == 0;
        if (ok) {
            archive->resize(qsizetype(size));
            ok = zip_source_read(buffer, archive->data(), zip_uint64_t(size)) == size;
        }
    } else {
        ok = false;
    }
    if (!ok)
        *error = QString::fromLocal8Bit(zip_error_strerror(zip_source_error(buffer)));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return ok;
}

ZipArchiveReader::ZipArchiveReader(const QByteArray &archive)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *src = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &ze);
    if (!src) {
        error_ = LibzipMessage(&ze);
        return;
    }
    zip_ = zip_open_from_source(src, ZIP_RDONLY, &ze);
    if (!zip_) {
        zip_source_free(src);
        error_ = LibzipMessage(&ze);
        return;
    }
    zip_error_fini(&ze);
    const zip_int64_t entries = zip_get_num_entries(zip_, 0);
    if (entries < 0 || entries > kMaxEntries) {
        error_ = QStringLiteral("it holds %1 entries, more than %2").arg(entries).arg(kMaxEntries);
        zip_discard(zip_);
        zip_ = nullptr;
        return;
    }
    for (zip_int64_t i = 0; i < entries; ++i) {
        if (const char *name = zip_get_name(zip_, zip_uint64_t(i), ZIP_FL_ENC_RAW))
            index_.insert(QByteArray(name), i); // of a name given twice, the last entry
    }
}

ZipArchiveReader::~ZipArchiveReader()
{
    if (zip_)
        zip_discard(zip_);
}

bool ZipArchiveReader::contains(const QByteArray &name) const
{
    return index_.contains(name);
}

bool ZipArchiveReader::read(const QByteArray &name, qint64 maxBytes, QByteArray *data, bool *more,
                            QString *error) const
{
    data->clear();
    *more = false;
    const qint64 index = index_.value(name, -1);
    if (index < 0) {
        *error = QStringLiteral("it has no entry \"%1\"").arg(QString::fromUtf8(name));
        return false;
    }
    zip_file_t *f = zip_fopen_index(zip_, zip_uint64_t(index), 0);
    if (!f) {
        *error = QStringLiteral("its entry \"%1\" cannot be opened (%2)")
                     .arg(QString::fromUtf8(name), QString::fromLocal8Bit(zip_strerror(zip_)));
        return false;
    }
    // One byte beyond the limit tells whether there is more.
    constexpr qint64 kPiece = 64 * 1024;
    bool ok = true;
    while (data->size() <= maxBytes) {
        const qsizetype at = data->size();
        const qint64 want = std::min<qint64>(kPiece, maxBytes + 1 - at);
        data->resize(at + qsizetype(want));
        const zip_int64_t got = zip_fread(f, data->data() + at, zip_uint64_t(want));
        if (got < 0) {
            *error = QStringLiteral("its entry \"%1\" is damaged (%2)")
                         .arg(QString::fromUtf8(name), QString::fromLocal8Bit(zip_file_strerror(f)));
            ok = false;
            data->resize(at);
            break;
        }
        data->resize(at + qsizetype(got));
        if (got == 0)
            break;
    }
    zip_fclose(f);
    if (ok && data->size() > maxBytes) {
        data->resize(qsizetype(maxBytes));
        *more = true;
    }
    return ok;
}

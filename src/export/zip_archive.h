#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

// Zip archives in memory through libzip: enough to write and read the
// entries of a sigrok session file.

struct ZipEntry {
    QByteArray name;
    QByteArray data;
};

// Builds an archive holding `entries` (deflated) into `archive`. False with a
// reason in `error` when libzip fails.
bool BuildZipArchive(const std::vector<ZipEntry> &entries, QByteArray *archive, QString *error);

// Reads entries of an archive held in memory. Entries are read in bounded
// pieces and never beyond the size the caller asks for, so an entry that
// claims or inflates to an enormous size costs no more than that.
class ZipArchiveReader {
public:
    // `archive` must outlive the reader.
    explicit ZipArchiveReader(const QByteArray &archive);
    ~ZipArchiveReader();
    ZipArchiveReader(const ZipArchiveReader &) = delete;
    ZipArchiveReader &operator=(const ZipArchiveReader &) = delete;

    // More entries than this and the archive is not opened: nothing this
    // program reads has more than a handful.
    static constexpr qint64 kMaxEntries = 65536;

    // False when the bytes are not a zip archive; errorString() says why.
    bool isOpen() const { return zip_ != nullptr; }
    QString errorString() const { return error_; }

    bool contains(const QByteArray &name) const;

    // Reads at most maxBytes of the entry into `data`; `more` tells whether
    // the entry holds more than that. False with a reason in `error` when
    // the entry is missing or damaged.
    bool read(const QByteArray &name, qint64 maxBytes, QByteArray *data, bool *more, QString *error) const;

private:
    struct zip *zip_ = nullptr;
    QString error_;
    QHash<QByteArray, qint64> index_; // entry name -> libzip index
};

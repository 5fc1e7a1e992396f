#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <map>
#include <vector>

class DecodeControl;

// The protocol decoders installed with libsigrokdecode, described in plain
// C++ so the dialog, the command line and the engine never touch the library's
// own structures. The catalogue is read-only once built and shared between
// threads.

// A channel a decoder reads ("rx", "scl", ...).
struct DecoderChannelInfo {
    QString id;          // used in "uart:rx=CH1"
    QString name;        // short label ("RX")
    QString description; // one line
};

// One option of a decoder ("baudrate", "parity", ...).
struct DecoderOptionInfo {
    // The library knows integers, reals and texts; a value given for an
    // option is converted to its type.
    enum class Type { Int, Double, String };

    QString id;
    QString description;
    Type type = Type::String;
    QVariant defaultValue; // qint64, double or QString, as `type` says
    QVariantList values;   // the allowed values (same type); empty: any value of the type
};

// A kind of annotation a decoder emits ("rx-data", "address-write", ...).
struct DecoderAnnotationClass {
    QString id;
    QString description;
};

// A row of annotations as a viewer stacks them ("rx-data" holds data, start,
// parity and stop bits).
struct DecoderAnnotationRow {
    QString id;
    QString description;
    std::vector<int> classes; // indexes into DecoderInfo::annotationClasses
};

struct DecoderInfo {
    QString id;          // "uart"
    QString name;        // "UART"
    QString longName;    // "Universal Asynchronous Receiver/Transmitter"
    QString description; // one line
    QStringList tags;    // "Embedded/industrial", ...
    std::vector<DecoderChannelInfo> channels;         // must all be mapped
    std::vector<DecoderChannelInfo> optionalChannels; // may be mapped
    std::vector<DecoderOptionInfo> options;
    std::vector<DecoderAnnotationClass> annotationClasses;
    std::vector<DecoderAnnotationRow> annotationRows; // as the decoder declares them
    QString folder;           // the folder it was loaded from (holding its own folder, "uart/")
    bool fromUserFolder = false; // one of the user's own decoder folders, not the installed ones
    QStringList inputs;  // "logic" for decoders that read channels, else what they stack on ("i2c")
    QStringList outputs; // what decoders stacked on this one can take ("uart")

    // The rows results are filed under: the declared rows, then one row of its
    // own for each class no declared row lists (a decoder that declares no
    // rows gets one row per class), so every annotation has exactly one row.
    std::vector<DecoderAnnotationRow> rows;
    std::vector<int> rowOfClass; // class index -> index into `rows`

    const DecoderOptionInfo *option(const QString &optionId) const;   // nullptr when unknown
    const DecoderChannelInfo *channel(const QString &channelId) const; // required or optional
    bool isRequiredChannel(const QString &channelId) const;
    int classIndex(const QString &classId) const; // -1 when unknown
    int rowIndex(const QString &rowId) const;     // index into `rows`, -1 when unknown
    bool readsChannels() const { return inputs.contains(QStringLiteral("logic")); }
    // True when this decoder takes what `lower` outputs.
    bool canStackOn(const DecoderInfo &lower) const;
};

// A decoder in a decoder folder that could not be loaded: its import raised
// (a syntax error, a missing module) or it is no valid decoder.
struct DecoderFailure {
    QString id;     // the decoder's folder name, which is its id
    QString folder; // the decoder folder holding it
    bool fromUserFolder = false;
    QString file;    // where Python found the error; empty when it did not say
    int line = 0;
    QString message; // "SyntaxError: expected ':'"
    QString details; // everything the library logged, with the traceback

    // "/path/pd.py:5: SyntaxError: expected ':'", or the message alone.
    QString summary() const;
};

class DecoderCatalog {
public:
    // The decoders that loaded, sorted by id.
    const std::vector<DecoderInfo> &decoders() const { return decoders_; }
    const DecoderInfo *find(const QString &id) const; // nullptr when not loaded
    // The decoders that failed to load, sorted by id.
    const std::vector<DecoderFailure> &failures() const { return failures_; }
    const DecoderFailure *failure(const QString &id) const; // nullptr when it did not fail
    // The decoders that can be stacked on `lower`, sorted by id.
    std::vector<const DecoderInfo *> stackableOn(const DecoderInfo &lower) const;
    // Why the decoder library could not be used; empty when it loaded.
    const QString &error() const { return error_; }
    QString libraryVersion() const { return version_; }
    // Where the user's own decoders go ($SIGROKDECODE_DIR when set, then
    // ~/.local/share/libsigrokdecode/decoders or the platform's equivalent),
    // whether or not they exist yet.
    const QStringList &userFolders() const { return userFolders_; }
    // Why `id` is not in the catalogue: "unknown decoder "x"", or that it
    // fails to load and where.
    QString whyMissing(const QString &id) const;

private:
    friend class DecoderCatalogBuilder;
    std::vector<DecoderInfo> decoders_;
    std::vector<DecoderFailure> failures_;
    QStringList userFolders_;
    QString error_;
    QString version_;
};

// The catalogue of every decoder in the decoder folders, built on the first
// call: that call initialises the library and loads every decoder (about
// 0.4 s), so make it off the UI thread (DecodeEngine::requestCatalog) and
// never on the start-up path. Later calls return the same catalogue at once.
// Thread-safe. Never null; a library that cannot be used gives an empty
// catalogue with error() set.
// With `control` stopped meanwhile, the load ends early and its unfinished
// catalogue is not kept.
std::shared_ptr<const DecoderCatalog> LoadDecoderCatalog(DecodeControl *control = nullptr);
// Whether the catalogue has been built (cheap; loads nothing).
bool IsDecoderCatalogLoaded();
// Reads every decoder again from the folders (an edited decoder takes effect,
// a new one appears, a removed or now broken one is gone from decoders()) and
// makes that the catalogue LoadDecoderCatalog returns. Waits for a decoding
// run in progress to end. Results already made keep the catalogue they were
// made with.
std::shared_ptr<const DecoderCatalog> ReloadDecoderCatalog(DecodeControl *control = nullptr);
// A catalogue of only these decoders, loading no other: what a command line
// that names its decoders needs, in a fraction of the time and memory of the
// whole catalogue. Ids no folder holds are missing from it (whyMissing says
// so). Not kept: every call loads what is not loaded yet.
std::shared_ptr<const DecoderCatalog> LoadDecoderCatalogFor(const QStringList &ids);

// "CH1" ... "CH8" for 0..7.
QString DecodeChannelName(int index);

// A first channel mapping for a decoder, channel id -> 0..7 (CH1..CH8), for
// the user to adjust. Channels whose id or name names an input take it:
// "ch3", "CH3" or "3" mean CH3 (the window counts from 1); "d0".."d7" are
// sigrok's data lines counted from 0 and mean CH1..CH8. The others take the
// free inputs in order, required channels before optional ones, as far as
// there are inputs left.
std::map<QString, int> DefaultChannelMap(const DecoderInfo &decoder);

#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

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

class DecoderCatalog {
public:
    // Every installed decoder, sorted by id.
    const std::vector<DecoderInfo> &decoders() const { return decoders_; }
    const DecoderInfo *find(const QString &id) const; // nullptr when not installed
    // The decoders that can be stacked on `lower`, sorted by id.
    std::vector<const DecoderInfo *> stackableOn(const DecoderInfo &lower) const;
    // Why the decoder library could not be used; empty when it loaded.
    const QString &error() const { return error_; }
    QString libraryVersion() const { return version_; }

private:
    friend class DecoderCatalogBuilder;
    std::vector<DecoderInfo> decoders_;
    QString error_;
    QString version_;
};

// The catalogue, built on the first call: that call initialises the library
// and loads every decoder (about 0.4 s), so make it off the UI thread
// (DecodeEngine::requestCatalog) and never on the start-up path. Later calls
// return the same catalogue at once. Thread-safe. Never null; a library that
// cannot be used gives an empty catalogue with error() set.
std::shared_ptr<const DecoderCatalog> LoadDecoderCatalog();
// Whether the catalogue has been built (cheap; loads nothing).
bool IsDecoderCatalogLoaded();

// "CH1" ... "CH8" for 0..7.
QString DecodeChannelName(int index);

// A first channel mapping for a decoder, channel id -> 0..7 (CH1..CH8), for
// the user to adjust. Channels whose id or name names an input take it:
// "ch3", "CH3" or "3" mean CH3 (the window counts from 1); "d0".."d7" are
// sigrok's data lines counted from 0 and mean CH1..CH8. The others take the
// free inputs in order, required channels before optional ones, as far as
// there are inputs left.
std::map<QString, int> DefaultChannelMap(const DecoderInfo &decoder);

#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <vector>

class DecoderCatalog;

// What the user asked to decode: a list of decoder stacks. The dialog builds
// it, the command line parses it from sigrok-cli's -P syntax, the engine runs
// it.

// One decoder of a stack.
struct DecoderSettings {
    QString id;                          // decoder id, "uart"
    std::map<QString, int> channels;     // channel id -> input 0..7 (CH1..CH8); bottom decoder only
    std::map<QString, QVariant> options; // option id -> value; unset options keep their defaults
};

// One stack: decoders[0] reads the channels, each further decoder takes the
// output of the one below it ("i2c" then "eeprom24xx").
struct DecoderStack {
    std::vector<DecoderSettings> decoders;
};

struct DecodeRequest {
    std::vector<DecoderStack> stacks;
    bool isEmpty() const { return stacks.empty(); }
};

// Parses one stack in sigrok-cli's -P syntax: decoders separated by commas,
// each an id followed by ":key=value" pairs, where a key is a channel (bottom
// decoder only) or an option:
//     uart:rx=CH1:baudrate=115200
//     i2c:scl=CH5:sda=CH6,eeprom24xx
// A channel takes "CH1".."CH8" (any case) or "1".."8", numbered as the window
// labels them. Option values are converted to the option's type. False with
// a message naming the decoder and the problem in `error`; the result is
// checked as ValidateDecoderStack does.
bool ParseDecoderStack(const QString &text, const DecoderCatalog &catalog, DecoderStack *stack,
                       QString *error);
// Every argument is one stack.
bool ParseDecodeRequest(const QStringList &arguments, const DecoderCatalog &catalog, DecodeRequest *request,
                     QString *error);

// The decoder ids the arguments name, each once, in order: what a catalogue
// for them must hold (LoadDecoderCatalogFor).
QStringList DecoderIdsOf(const QStringList &arguments);

// The same text back ("uart:rx=CH1:baudrate=115200"), channels and options in
// id order; ParseDecoderStack reads it.
QString FormatDecoderStack(const DecoderStack &stack);

// Reads a channel value: "CH1".."CH8" or "1".."8" -> 0..7; -1 otherwise.
int ParseDecodeChannel(const QString &text);

// Converts a value for an option of `decoderId` to the option's type (qint64,
// double or QString; a text is parsed) and checks it against the allowed
// values. False with a message in `error`.
bool ConvertDecoderOption(const DecoderCatalog &catalog, const QString &decoderId, const QString &optionId,
                          const QVariant &value, QVariant *converted, QString *error);

// Checks a stack against the catalogue and converts its option values to
// their types in place: decoders installed, a bottom decoder that reads
// channels, every required channel mapped, inputs within CH1..CH8, no
// unknown channel or option, each decoder able to take the output of the one
// below it. False with a message naming the decoder and the problem.
bool ValidateDecoderStack(DecoderStack *stack, const DecoderCatalog &catalog, QString *error);
bool ValidateDecodeRequest(DecodeRequest *request, const DecoderCatalog &catalog, QString *error);

// Instance names as sigrok-cli gives them, in the order it creates the
// instances: the decoder id and a count per id across all stacks ("uart-1",
// "uart-2", "i2c-1"). names[stack][level].
std::vector<std::vector<QString>> DecoderInstanceNames(const DecodeRequest &request);

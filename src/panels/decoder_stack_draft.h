#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

#include "decode/decode_request.h"
#include "decode/decoder_catalog.h"

// A decoder stack while the user edits it: the decoders chosen so far, the
// inputs of the bottom one and the option values as the user gave them, which
// need not be valid yet. It says what keeps it from being used and gives the
// finished stack; the dialog only shows it.
class DecoderStackDraft {
public:
    struct Level {
        const DecoderInfo *decoder = nullptr;
        std::map<QString, QVariant> values; // every option: a text as typed, or an item of its list
    };

    // A null catalogue gives a draft that only ever reports that.
    explicit DecoderStackDraft(std::shared_ptr<const DecoderCatalog> catalog);

    const DecoderCatalog *catalog() const { return catalog_.get(); }
    const std::vector<Level> &levels() const { return levels_; } // [0] reads the channels
    const std::map<QString, int> &channels() const { return channels_; }
    bool isEmpty() const { return levels_.empty(); }

    // Makes `decoder` the one that reads the channels, with its default
    // inputs and options. The decoders stacked so far stay as long as each
    // still takes what the one below it gives. False when it already was.
    bool setBottom(const DecoderInfo &decoder);
    void push(const DecoderInfo &decoder); // on top; the caller offers only what stacks
    void pop();                            // the top one, never the bottom one
    void mapChannel(const QString &channelId, int input); // input -1: not mapped
    void setOptionValue(size_t level, const QString &optionId, const QVariant &value);

    // Takes over an existing stack as far as the catalogue allows; returns
    // what was left out (empty when everything was taken over).
    QStringList load(const DecoderStack &stack);

    bool isOptionValid(size_t level, const QString &optionId) const;
    // Why the stack cannot be used yet; empty when it can.
    QString problem() const;
    // Options converted to their types; only those that differ from the
    // default are set. Valid when problem() is empty.
    DecoderStack stack() const;

private:
    Level makeLevel(const DecoderInfo &decoder) const;
    QString optionProblem(const Level &level) const;
    DecoderStack collect() const;

    std::shared_ptr<const DecoderCatalog> catalog_;
    std::vector<Level> levels_;
    std::map<QString, int> channels_; // of levels_[0]: channel id -> input 0..7
};

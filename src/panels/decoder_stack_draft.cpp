#include "panels/decoder_stack_draft.h"

#include "panels/decoder_option_field.h"

namespace {

constexpr int kInputs = 8;

// Messages of the decode layer start in lower case, as parts of longer texts.
QString Sentence(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// A free-text option the user left empty is not passed on: the field shows
// the default as its placeholder, and the default is what applies.
bool IsUnset(const DecoderOptionInfo &option, const QVariant &value)
{
    return option.values.isEmpty() && value.toString().trimmed().isEmpty();
}

} // namespace

DecoderStackDraft::DecoderStackDraft(std::shared_ptr<const DecoderCatalog> catalog) : catalog_(std::move(catalog)) {}

DecoderStackDraft::Level DecoderStackDraft::makeLevel(const DecoderInfo &decoder) const
{
    Level level;
    level.decoder = &decoder;
    for (const DecoderOptionInfo &option : decoder.options)
        level.values[option.id] = option.defaultValue.isValid() ? option.defaultValue : QVariant(QString());
    return level;
}

bool DecoderStackDraft::setBottom(const DecoderInfo &decoder)
{
    if (!levels_.empty() && levels_[0].decoder == &decoder)
        return false;
    std::vector<Level> levels{makeLevel(decoder)};
    for (size_t i = 1; i < levels_.size() && levels_[i].decoder->canStackOn(*levels.back().decoder); ++i)
        levels.push_back(levels_[i]);
    levels_ = std::move(levels);
    channels_ = DefaultChannelMap(decoder);
    return true;
}

void DecoderStackDraft::push(const DecoderInfo &decoder)
{
    if (!levels_.empty())
        levels_.push_back(makeLevel(decoder));
}

void DecoderStackDraft::pop()
{
    if (levels_.size() > 1)
        levels_.pop_back();
}

void DecoderStackDraft::mapChannel(const QString &channelId, int input)
{
    if (input < 0 || input >= kInputs)
        channels_.erase(channelId);
    else
        channels_[channelId] = input;
}

void DecoderStackDraft::setOptionValue(size_t level, const QString &optionId, const QVariant &value)
{
    if (level < levels_.size() && levels_[level].values.count(optionId))
        levels_[level].values[optionId] = value;
}

QStringList DecoderStackDraft::load(const DecoderStack &stack)
{
    levels_.clear();
    channels_.clear();
    QStringList notes;
    const DecoderInfo *bottom = nullptr;
    if (!catalog_)
        notes << QStringLiteral("the decoder catalogue is not available");
    else if (stack.decoders.empty())
        notes << QStringLiteral("the stack to edit is empty");
    else if (!(bottom = catalog_->find(stack.decoders[0].id)))
        notes << QStringLiteral("decoder \"%1\" is not installed").arg(stack.decoders[0].id);
    else if (!bottom->readsChannels()) {
        notes << QStringLiteral("decoder %1 reads no channels and cannot be first in a stack").arg(bottom->id);
        bottom = nullptr;
    }

    for (size_t i = 0; bottom && i < stack.decoders.size(); ++i) {
        const DecoderSettings &settings = stack.decoders[i];
        const DecoderInfo *decoder = catalog_->find(settings.id);
        if (!decoder || (i > 0 && !decoder->canStackOn(*levels_.back().decoder))) {
            notes << QStringLiteral("decoder \"%1\" cannot go on %2; it and the decoders above it were left out")
                         .arg(settings.id, levels_.back().decoder->id);
            break;
        }
        Level level = makeLevel(*decoder);
        for (const auto &[id, value] : settings.options) {
            const DecoderOptionInfo *option = decoder->option(id);
            QVariant converted;
            QString error;
            if (!option)
                notes << QStringLiteral("decoder %1 has no option %2").arg(decoder->id, id);
            else if (option->values.isEmpty())
                level.values[id] = value; // shown as given; an invalid one is reported like a typed one
            else if (ConvertDecoderOption(*catalog_, decoder->id, id, value, &converted, &error))
                level.values[id] = converted;
            else
                notes << error + QStringLiteral("; the default was taken");
        }
        for (const auto &[id, input] : settings.channels) {
            if (i == 0 && decoder->channel(id) && input >= 0 && input < kInputs)
                channels_[id] = input;
            else
                notes << QStringLiteral("decoder %1: channel %2 could not be mapped").arg(decoder->id, id);
        }
        levels_.push_back(std::move(level));
    }
    return notes;
}

bool DecoderStackDraft::isOptionValid(size_t level, const QString &optionId) const
{
    if (level >= levels_.size())
        return false;
    const DecoderOptionInfo *option = levels_[level].decoder->option(optionId);
    const auto value = levels_[level].values.find(optionId);
    if (!option || value == levels_[level].values.end())
        return false;
    QVariant converted;
    return IsUnset(*option, value->second) ||
           ConvertDecoderOption(*catalog_, levels_[level].decoder->id, optionId, value->second, &converted, nullptr);
}

QString DecoderStackDraft::optionProblem(const Level &level) const
{
    for (const DecoderOptionInfo &option : level.decoder->options) {
        const QVariant &value = level.values.at(option.id);
        if (IsUnset(option, value))
            continue;
        QVariant converted;
        QString error;
        if (!ConvertDecoderOption(*catalog_, level.decoder->id, option.id, value, &converted, &error))
            return Sentence(error);
        // The stack travels as "-P" text, where these separate decoders and fields.
        const QString text = DecoderOptionText(converted);
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char(':')))
            return QStringLiteral("Decoder %1, option %2: the value cannot contain \",\" or \":\"")
                .arg(level.decoder->id, option.id);
    }
    return {};
}

QString DecoderStackDraft::problem() const
{
    if (!catalog_)
        return QStringLiteral("The decoder catalogue is not available.");
    if (!catalog_->error().isEmpty())
        return Sentence(catalog_->error());
    if (levels_.empty())
        return QStringLiteral("Choose a decoder from the list.");

    const DecoderInfo &bottom = *levels_[0].decoder;
    QStringList missing;
    for (const DecoderChannelInfo &c : bottom.channels) {
        if (!channels_.count(c.id))
            missing << c.name;
    }
    if (!missing.isEmpty())
        return QStringLiteral("%1 needs channel%2 %3 mapped to an input.")
            .arg(bottom.id, missing.size() > 1 ? QStringLiteral("s") : QString(), missing.join(QStringLiteral(", ")));
    // A decoder whose channels are all optional still needs one to read.
    if (channels_.empty() && !bottom.optionalChannels.empty())
        return QStringLiteral("Map at least one channel of %1 to an input.").arg(bottom.id);

    for (const Level &level : levels_) {
        const QString optionError = optionProblem(level);
        if (!optionError.isEmpty())
            return optionError;
    }
    DecoderStack checked = collect();
    QString error;
    if (!ValidateDecoderStack(&checked, *catalog_, &error))
        return Sentence(error);
    return {};
}

DecoderStack DecoderStackDraft::collect() const
{
    DecoderStack stack;
    for (size_t i = 0; i < levels_.size(); ++i) {
        const Level &level = levels_[i];
        DecoderSettings settings;
        settings.id = level.decoder->id;
        if (i == 0)
            settings.channels = channels_;
        for (const DecoderOptionInfo &option : level.decoder->options) {
            const QVariant &value = level.values.at(option.id);
            if (IsUnset(option, value))
                continue;
            QVariant converted;
            if (!ConvertDecoderOption(*catalog_, settings.id, option.id, value, &converted, nullptr))
                settings.options[option.id] = value; // left for the checks to name
            else if (converted != option.defaultValue)
                settings.options[option.id] = converted;
        }
        stack.decoders.push_back(std::move(settings));
    }
    return stack;
}

DecoderStack DecoderStackDraft::stack() const
{
    DecoderStack stack = collect();
    DecoderStack checked = stack;
    if (catalog_ && ValidateDecoderStack(&checked, *catalog_, nullptr))
        return checked;
    return stack;
}

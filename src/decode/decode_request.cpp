#include "decode/decode_request.h"

#include "decode/decoder_catalog.h"

#include <QLocale>
#include <cmath>

namespace {

QString Quoted(const QString &s) { return QStringLiteral("\"%1\"").arg(s); }

QString ValueText(const QVariant &v)
{
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

QString AllowedList(const DecoderOptionInfo &option)
{
    QStringList texts;
    for (const QVariant &v : option.values)
        texts << ValueText(v);
    return texts.join(QStringLiteral(", "));
}

bool IsNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool Fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

int ParseDecodeChannel(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("ch"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const int n = t.toInt(&ok);
    // toInt takes signs and spaces; only plain digits name an input.
    if (!ok || t.isEmpty() || !t.at(0).isDigit() || n < 1 || n > 8)
        return -1;
    return n - 1;
}

bool ConvertDecoderOption(const DecoderCatalog &catalog, const QString &decoderId, const QString &optionId,
                          const QVariant &value, QVariant *converted, QString *error)
{
    const DecoderInfo *decoder = catalog.find(decoderId);
    if (!decoder)
        return Fail(error, catalog.whyMissing(decoderId));
    const DecoderOptionInfo *option = decoder->option(optionId);
    if (!option)
        return Fail(error, QStringLiteral("decoder %1 has no option %2").arg(decoderId, Quoted(optionId)));
    const auto problem = [&](const QString &what) {
        return Fail(error, QStringLiteral("decoder %1, option %2: %3").arg(decoderId, optionId, what));
    };

    const bool isText = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    const QString text = value.toString().trimmed();
    QVariant result;
    switch (option->type) {
    case DecoderOptionInfo::Type::Int: {
        bool ok = false;
        qint64 n = 0;
        if (isText) {
            n = text.toLongLong(&ok, 10);
        } else if (IsNumber(value)) {
            const double d = value.toDouble();
            ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18;
            n = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float ? qint64(d)
                                                                                            : value.toLongLong();
        }
        if (!ok)
            return problem(QStringLiteral("%1 is not a whole number").arg(Quoted(value.toString())));
        result = QVariant(n);
        break;
    }
    case DecoderOptionInfo::Type::Double: {
        bool ok = false;
        double d = 0;
        if (isText)
            d = text.toDouble(&ok);
        else if (IsNumber(value)) {
            d = value.toDouble();
            ok = true;
        }
        if (!ok || !std::isfinite(d))
            return problem(QStringLiteral("%1 is not a number").arg(Quoted(value.toString())));
        result = QVariant(d);
        break;
    }
    case DecoderOptionInfo::Type::String:
        if (!isText && !IsNumber(value))
            return problem(QStringLiteral("expects a text"));
        result = QVariant(value.toString());
        break;
    }
    if (!option->values.isEmpty() && !option->values.contains(result))
        return problem(QStringLiteral("%1 is not one of the allowed values (%2)")
                           .arg(Quoted(ValueText(result)), AllowedList(*option)));
    *converted = result;
    return true;
}

bool ValidateDecoderStack(DecoderStack *stack, const DecoderCatalog &catalog, QString *error)
{
    if (!catalog.error().isEmpty())
        return Fail(error, catalog.error());
    if (stack->decoders.empty())
        return Fail(error, QStringLiteral("empty decoder stack"));
    const DecoderInfo *lower = nullptr;
    for (size_t level = 0; level < stack->decoders.size(); ++level) {
        DecoderSettings &settings = stack->decoders[level];
        const DecoderInfo *decoder = catalog.find(settings.id);
        if (!decoder)
            return Fail(error, catalog.whyMissing(settings.id));
        if (level == 0) {
            if (!decoder->readsChannels())
                return Fail(error, QStringLiteral("decoder %1 reads no channels; it goes on top of a decoder "
                                                  "that gives %2")
                                       .arg(settings.id, decoder->inputs.join(QStringLiteral(" or "))));
            for (const auto &[channel, input] : settings.channels) {
                if (!decoder->channel(channel))
                    return Fail(error,
                                QStringLiteral("decoder %1 has no channel %2").arg(settings.id, Quoted(channel)));
                if (input < 0 || input > 7)
                    return Fail(error, QStringLiteral("decoder %1, channel %2: input %3 is not one of CH1..CH8")
                                           .arg(settings.id, channel)
                                           .arg(input + 1));
            }
            QStringList missing;
            for (const DecoderChannelInfo &c : decoder->channels) {
                if (!settings.channels.count(c.id))
                    missing << c.id;
            }
            if (!missing.isEmpty())
                return Fail(error, QStringLiteral("decoder %1 needs channel%2 %3 mapped")
                                       .arg(settings.id, missing.size() > 1 ? QStringLiteral("s") : QString(),
                                            missing.join(QStringLiteral(", "))));
        } else {
            if (!settings.channels.empty())
                return Fail(error, QStringLiteral("decoder %1 is stacked and reads no channels; channels go to "
                                                  "the first decoder of the stack")
                                       .arg(settings.id));
            if (!decoder->canStackOn(*lower))
                return Fail(error, QStringLiteral("decoder %1 cannot be stacked on %2: it takes %3, %2 gives %4")
                                       .arg(settings.id, lower->id, decoder->inputs.join(QStringLiteral(", ")),
                                            lower->outputs.isEmpty() ? QStringLiteral("nothing")
                                                                     : lower->outputs.join(QStringLiteral(", "))));
        }
        for (auto &[option, value] : settings.options) {
            QVariant converted;
            if (!ConvertDecoderOption(catalog, settings.id, option, value, &converted, error))
                return false;
            value = converted;
        }
        lower = decoder;
    }
    return true;
}

bool ValidateDecodeRequest(DecodeRequest *request, const DecoderCatalog &catalog, QString *error)
{
    if (request->stacks.empty())
        return Fail(error, QStringLiteral("no decoder given"));
    for (DecoderStack &stack : request->stacks) {
        if (!ValidateDecoderStack(&stack, catalog, error))
            return false;
    }
    return true;
}

bool ParseDecoderStack(const QString &text, const DecoderCatalog &catalog, DecoderStack *stack, QString *error)
{
    if (!catalog.error().isEmpty())
        return Fail(error, catalog.error());
    DecoderStack out;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QStringList fields = part.split(QLatin1Char(':'));
        DecoderSettings settings;
        settings.id = fields.first().trimmed();
        if (settings.id.isEmpty())
            return Fail(error, QStringLiteral("missing decoder name in %1").arg(Quoted(text)));
        const DecoderInfo *decoder = catalog.find(settings.id);
        if (!decoder)
            return Fail(error, catalog.whyMissing(settings.id));
        for (int i = 1; i < fields.size(); ++i) {
            const int eq = fields[i].indexOf(QLatin1Char('='));
            if (eq <= 0)
                return Fail(error,
                            QStringLiteral("decoder %1: %2 is not key=value").arg(settings.id, Quoted(fields[i])));
            const QString key = fields[i].left(eq).trimmed();
            const QString value = fields[i].mid(eq + 1);
            if (decoder->channel(key)) {
                if (!out.decoders.empty())
                    return Fail(error, QStringLiteral("decoder %1 is stacked and reads no channels; channels go "
                                                      "to the first decoder of the stack")
                                           .arg(settings.id));
                const int input = ParseDecodeChannel(value);
                if (input < 0)
                    return Fail(error, QStringLiteral("decoder %1, channel %2: %3 is not one of CH1..CH8")
                                           .arg(settings.id, key, Quoted(value)));
                settings.channels[key] = input;
            } else if (decoder->option(key)) {
                settings.options[key] = value;
            } else {
                return Fail(error,
                            QStringLiteral("decoder %1 has no channel or option %2").arg(settings.id, Quoted(key)));
            }
        }
        out.decoders.push_back(settings);
    }
    if (!ValidateDecoderStack(&out, catalog, error))
        return false;
    *stack = out;
    return true;
}

bool ParseDecodeRequest(const QStringList &arguments, const DecoderCatalog &catalog, DecodeRequest *request,
                        QString *error)
{
    DecodeRequest out;
    for (const QString &argument : arguments) {
        DecoderStack stack;
        if (!ParseDecoderStack(argument, catalog, &stack, error))
            return false;
        out.stacks.push_back(stack);
    }
    if (out.stacks.empty())
        return Fail(error, QStringLiteral("no decoder given"));
    *request = out;
    return true;
}

QStringList DecoderIdsOf(const QStringList &arguments)
{
    QStringList ids;
    for (const QString &argument : arguments) {
        for (const QString &part : argument.split(QLatin1Char(','))) {
            const QString id = part.section(QLatin1Char(':'), 0, 0).trimmed();
            if (!id.isEmpty() && !ids.contains(id))
                ids << id;
        }
    }
    return ids;
}

QString FormatDecoderStack(const DecoderStack &stack)
{
    QStringList decoders;
    for (const DecoderSettings &d : stack.decoders) {
        QStringList fields{d.id};
        for (const auto &[channel, input] : d.channels)
            fields << channel + QLatin1Char('=') + DecodeChannelName(input);
        for (const auto &[option, value] : d.options)
            fields << option + QLatin1Char('=') + ValueText(value);
        decoders << fields.join(QLatin1Char(':'));
    }
    return decoders.join(QLatin1Char(','));
}

std::vector<std::vector<QString>> DecoderInstanceNames(const DecodeRequest &request)
{
    std::map<QString, int> counts;
    std::vector<std::vector<QString>> names;
    for (const DecoderStack &stack : request.stacks) {
        std::vector<QString> row;
        for (const DecoderSettings &d : stack.decoders)
            row.push_back(QStringLiteral("%1-%2").arg(d.id).arg(++counts[d.id]));
        names.push_back(row);
    }
    return names;
}

#include "panels/decoder_option_field.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>

#include "decode/decoder_catalog.h"

QString DecoderOptionText(const QVariant &value)
{
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}

namespace {

QString FieldToolTip(const DecoderOptionInfo &option)
{
    QString tip = option.description;
    if (option.defaultValue.isValid())
        tip += QStringLiteral("\nDefault: %1").arg(DecoderOptionText(option.defaultValue));
    return tip;
}

QWidget *MakeChoice(const DecoderOptionInfo &option, const QVariant &value,
                    std::function<void(const QVariant &)> changed, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    for (const QVariant &allowed : option.values)
        box->addItem(DecoderOptionText(allowed), allowed);
    // A value the list does not hold cannot be shown; the default stands in.
    int current = option.values.indexOf(value);
    if (current < 0)
        current = option.values.indexOf(option.defaultValue);
    box->setCurrentIndex(std::max(current, 0));
    QObject::connect(box, &QComboBox::currentIndexChanged, box,
                     [box, changed](int index) { changed(box->itemData(index)); });
    return box;
}

QWidget *MakeLine(const DecoderOptionInfo &option, const QVariant &value,
                  std::function<void(const QVariant &)> changed, QWidget *parent)
{
    auto *line = new QLineEdit(DecoderOptionText(value), parent);
    if (option.defaultValue.isValid())
        line->setPlaceholderText(DecoderOptionText(option.defaultValue));
    QObject::connect(line, &QLineEdit::textChanged, line, [changed](const QString &text) { changed(text); });
    return line;
}

} // namespace

QWidget *MakeDecoderOptionField(const DecoderOptionInfo &option, const QVariant &value,
                                std::function<void(const QVariant &)> changed, QWidget *parent)
{
    QWidget *field = option.values.isEmpty() ? MakeLine(option, value, std::move(changed), parent)
                                             : MakeChoice(option, value, std::move(changed), parent);
    field->setObjectName(QStringLiteral("option_") + option.id);
    field->setToolTip(FieldToolTip(option));
    return field;
}

void MarkDecoderOptionField(QWidget *field, bool valid)
{
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { background: #ffd8d8; }"));
}

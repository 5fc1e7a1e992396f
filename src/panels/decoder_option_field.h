#pragma once

#include <QString>
#include <QVariant>
#include <functional>

struct DecoderOptionInfo;
class QWidget;

// The editor of one decoder option: a list when the decoder names the allowed
// values, otherwise a line for any value of the option's type. The editor
// reports every change as the value the user now gives (an item of the list,
// or the text as typed, which may not be valid yet); the caller keeps it.
QWidget *MakeDecoderOptionField(const DecoderOptionInfo &option, const QVariant &value,
                                std::function<void(const QVariant &)> changed, QWidget *parent);

// Marks a line editor whose text is not a value of its option (lists cannot
// hold one).
void MarkDecoderOptionField(QWidget *field, bool valid);

// An option value as the user reads and types it: 1.5, not 1.5000.
QString DecoderOptionText(const QVariant &value);

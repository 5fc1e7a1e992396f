#include "panels/notes_dock.h"

#include <QPlainTextEdit>

NotesDock::NotesDock(QWidget *parent) : QDockWidget(QStringLiteral("Notes"), parent)
{
    setObjectName(QStringLiteral("notesDock"));
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("notesText"));
    edit_->setPlaceholderText(QStringLiteral("Notes on this capture; File → Save session… keeps them with it"));
    setWidget(edit_);
}

QString NotesDock::text() const { return edit_->toPlainText(); }

void NotesDock::setText(const QString &text) { edit_->setPlainText(text); }

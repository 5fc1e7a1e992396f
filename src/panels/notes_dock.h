#pragma once

#include <QDockWidget>

class QPlainTextEdit;

// Free text the user keeps with a capture: what was measured, on which
// board, what to look at. A saved session carries it.
class NotesDock : public QDockWidget {
    Q_OBJECT
public:
    explicit NotesDock(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    QPlainTextEdit *editor() const { return edit_; }

private:
    QPlainTextEdit *edit_;
};

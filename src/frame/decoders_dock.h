#pragma once

#include <QDockWidget>
#include <QStringList>
#include <memory>

#include "decode/decode_engine.h"

class Form1;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QTableWidget;

// The decoders the user has added, in sigrok-cli's -P syntax, and what they
// decode from the capture in view: a table of start, end, decoder, row and
// text, filterable by text. Decoding runs on the engine's worker thread and
// starts again whenever the capture or the decoders change.
class DecodersDock : public QDockWidget {
    Q_OBJECT
public:
    DecodersDock(Form1 &form, QWidget *parent = nullptr);

    // Adds a decoder stack ("uart:rx=CH1:baudrate=115200"); a stack the
    // catalogue refuses is reported in a message and not kept.
    void addDecoder(const QString &stack);
    void removeSelected();
    void removeAll();

    QStringList decoders() const { return stacks_; }
    QTableWidget *results() const { return results_; }
    // The result shown (null before the first one).
    std::shared_ptr<const DecodeResult> result() const { return result_; }

signals:
    // A result was shown (tests wait for it).
    void resultShown();

private:
    void restart();
    void showResult(std::shared_ptr<const DecodeResult> result);
    void filter();

    Form1 &form_;
    DecodeEngine engine_;
    std::shared_ptr<const DecoderCatalog> catalog_;
    QStringList stacks_;
    QStringList waiting_; // added before the catalogue was loaded
    QListWidget *list_;
    QLineEdit *filter_;
    QLabel *status_;
    QTableWidget *results_;
    std::shared_ptr<const DecodeResult> result_;
};

// The Decode menu.
void AddDecodeMenu(QMenu *menu, DecodersDock *dock, QMainWindow &window);

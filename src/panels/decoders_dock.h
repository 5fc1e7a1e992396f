#pragma once

#include <QDockWidget>
#include <QStringList>
#include <memory>
#include <vector>

#include "decode/decode_engine.h"
#include "panels/byte_stream_text.h"

class AddDecoderDialog;
class AnnotationTableModel;
class Form1;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QTableView;
class QTabWidget;

// The decoders the user has added, kept in sigrok-cli's -P syntax, and what
// they decode from the capture in view: a table of start, end, decoder, row
// and text, filterable by text, and the byte streams as text. Decoding runs
// on the engine's worker thread and starts again whenever the capture or the
// decoders change.
class DecodersDock : public QDockWidget {
    Q_OBJECT
public:
    DecodersDock(Form1 &form, QWidget *parent = nullptr);

    // Adds a decoder stack ("uart:rx=CH1:baudrate=115200"); a stack the
    // catalogue refuses is reported in a message and not kept.
    void addDecoder(const QString &stack);
    // Decode → Add decoder… and the panel's Edit…: the dialog opens once the
    // catalogue has loaded (at once after the first time). Edit works on the
    // selected decoder.
    void openAddDialog();
    void editSelected();
    void removeSelected();
    void removeAll();
    // Brings the tab with this title to the front ("Annotations", "Byte streams").
    void showTab(const QString &title);

    QStringList decoders() const { return stacks_; }
    QListWidget *decoderList() const { return list_; }
    bool catalogLoaded() const { return catalog_ != nullptr; }
    // The dialog while it is open, else null.
    AddDecoderDialog *dialog() const { return dialog_; }
    QTableView *results() const { return table_; }
    // The table's lines as shown (filtered), and the model behind them.
    QSortFilterProxyModel *shownResults() const { return proxy_; }
    AnnotationTableModel *resultModel() const { return model_; }
    QLineEdit *filterBox() const { return filter_; }
    QComboBox *streamChoice() const { return streamChoice_; }
    QComboBox *streamFormat() const { return streamFormat_; }
    QPlainTextEdit *streamText() const { return streamText_; }
    // The result shown (null before the first one and after the decoders are removed).
    std::shared_ptr<const DecodeResult> result() const { return result_; }

    // The lines shown in the table, tab-separated with a header, as Copy puts
    // them on the clipboard: the selected lines, or all shown when none is.
    QString copyText() const;
    void copyToClipboard() const;
    // Writes the lines shown in the table as CSV (start and end samples,
    // decoder, row id, text). False with the reason in `error`; an existing
    // file is only replaced by a complete one.
    bool exportCsv(const QString &path, QString *error) const;

signals:
    // A decoding result was shown (tests wait for it).
    void resultShown();
    // The result changed, also to none: the annotation strip follows it.
    void resultChanged(std::shared_ptr<const DecodeResult> result);
    // A line of the table was activated: show these samples.
    void spanRequested(qint64 first, qint64 last);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLine(const QModelIndex &index);
    void restart();
    void setResult(std::shared_ptr<const DecodeResult> result);
    void showResult(std::shared_ptr<const DecodeResult> result);
    void openDialog(int editRow);
    void acceptDialog();
    void refreshStreams();
    void showStream();
    std::vector<int> shownSourceRows(bool selectedOnly) const;
    QWidget *buildAnnotationsTab();
    QWidget *buildStreamsTab();

    Form1 &form_;
    DecodeEngine engine_;
    std::shared_ptr<const DecoderCatalog> catalog_;
    QStringList stacks_;
    QStringList waiting_;   // added before the catalogue was loaded
    int dialogWaiting_ = -2; // row to edit (-1: a new one) once the catalogue is there; -2: none
    int dialogEditRow_ = -1;
    AddDecoderDialog *dialog_ = nullptr;
    QListWidget *list_;
    QLabel *status_;
    QTabWidget *tabs_;
    QLineEdit *filter_ = nullptr;
    AnnotationTableModel *model_ = nullptr;
    QSortFilterProxyModel *proxy_ = nullptr;
    QTableView *table_ = nullptr;
    QComboBox *streamChoice_ = nullptr;
    QComboBox *streamFormat_ = nullptr;
    QPlainTextEdit *streamText_ = nullptr;
    std::vector<ByteStream> streams_;
    QStringList reportedErrors_; // the errors last put in a message
    std::shared_ptr<const DecodeResult> result_;
};


#pragma once

#include <QStringList>
#include <memory>
#include <vector>

#include "decode/decode_engine.h"
#include "panels/byte_stream_text.h"
#include "panels/dock_built_when_shown.h"

class AddDecoderDialog;
class AnnotationTableModel;
class Form1;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSortFilterProxyModel;
class QTableView;
class QTabWidget;
class QVBoxLayout;
class ReadBackFollower;

// The decoders the user has added, kept in sigrok-cli's -P syntax, and what
// they decode from the capture in view: a table of start, end, decoder, row
// and text, filterable by text, and the byte streams as text. Decoding runs
// on the engine's worker thread and starts again whenever the capture or the
// decoders change; its progress shows beside a Stop button, and a run stops
// by itself after the time limit set here or too many annotations.
//
// While the instrument reads a capture back, the decoders follow it: the
// samples that have become final are fed to them as they arrive, and when
// the capture is complete only its rest is left to decode.
class DecodersDock : public DockBuiltWhenShown {
    Q_OBJECT
public:
    DecodersDock(Form1 &form, QWidget *parent = nullptr);

    // Adds a decoder stack ("uart:rx=CH1:baudrate=115200"); a stack the
    // catalogue refuses is reported in a message and not kept.
    void addDecoder(const QString &stack);
    // Adds several at once and decodes once: what the catalogue refuses is
    // told in one message titled `title`, after the lines of `skipped` (what
    // the caller already had to leave out), and not kept.
    void addDecoders(const QStringList &stacks, const QString &title, const QStringList &skipped = {});
    // Decode → Add decoder… and the panel's Edit…: the dialog opens once the
    // catalogue has loaded (at once after the first time). Edit works on the
    // selected decoder.
    void openAddDialog();
    void editSelected();
    void removeSelected();
    void removeAll();
    // Decode → Reload decoders: reads every decoder again from its folder
    // (an edited one takes effect) and decodes again; a decoder that is gone
    // or now fails to load is named, the others go on.
    void reloadDecoders();
    // The Stop button: stops the run in progress; what it decoded is shown.
    void stopDecoding();
    bool isDecoding() const { return decoding_; }

    // A run stops after this many seconds (default 30); a change applies
    // from the next run on.
    int timeLimitSeconds() const { return timeLimitSeconds_; }
    void setTimeLimitSeconds(int seconds);
    // Brings the tab with this title to the front ("Annotations", "Byte streams").
    void showTab(const QString &title);

    QStringList decoders() const { return stacks_; }
    QListWidget *decoderList() const { return list_; }
    bool catalogLoaded() const { return catalog_ != nullptr; }
    // The dialog while it is open, else null.
    AddDecoderDialog *dialog() const { return dialog_; }
    // The tabs are built when the panel first shows (or one of them is asked for).
    QTableView *results() { return ensureBuilt(), table_; }
    // The table's lines as shown (filtered), and the model behind them.
    QSortFilterProxyModel *shownResults() const { return proxy_; }
    AnnotationTableModel *resultModel() const { return model_; }
    QLineEdit *filterBox() { return ensureBuilt(), filter_; }
    QComboBox *streamChoice() { return ensureBuilt(), streamChoice_; }
    QComboBox *streamFormat() { return ensureBuilt(), streamFormat_; }
    QPlainTextEdit *streamText() { return ensureBuilt(), streamText_; }
    QProgressBar *progressBar() const { return progress_; }
    QPushButton *stopButton() const { return stop_; }
    QSpinBox *timeLimitBox() const { return timeLimitBox_; }
    // The status line under the list: what decoding is doing or what went wrong.
    QString statusText() const;
    DecodeEngine &engine() { return engine_; }
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
    // What the decoders have made so far of a capture still arriving.
    void partialResult(std::shared_ptr<const DecodeResult> result);
    // A line of the table was activated: show these samples.
    void spanRequested(qint64 first, qint64 last);
    // The time limit changed (by the panel's box or setTimeLimitSeconds).
    void timeLimitChanged(int seconds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLine(const QModelIndex &index);
    void restart();
    void captureChanged();
    void startLive(const DecodeRequest &request);
    void samplesArrived(qsizetype first, qsizetype count);
    void catalogArrived(std::shared_ptr<const DecoderCatalog> catalog, bool reloaded);
    void setDecoding(bool on);
    // Marks the list's lines with what the result says of their decoders.
    void markStacks();
    QWidget *buildProgressRow(QWidget *parent);
    void setResult(std::shared_ptr<const DecodeResult> result);
    void showResult(std::shared_ptr<const DecodeResult> result);
    void openDialog(int editRow);
    void acceptDialog();
    void refreshStreams();
    void showStream();
    std::vector<int> shownSourceRows(bool selectedOnly) const;
    void buildBody() override; // the tabs
    QWidget *buildAnnotationsTab();
    QWidget *buildStreamsTab();

    Form1 &form_;
    DecodeEngine engine_;
    ReadBackFollower *follower_;
    QStringList liveStacks_; // the decoders the live run was started with
    // The capture and decoders of the latest run (an empty capture while a
    // run follows a read).
    Capture decodedCapture_;
    QStringList decodedStacks_;
    int decodedInTransaction_ = -1; // the transaction it was started in; -1: none
    std::shared_ptr<const DecoderCatalog> catalog_;
    QStringList stacks_;
    struct WaitingBatch {
        QStringList stacks;
        QString title;
        QStringList skipped;
    };
    std::vector<WaitingBatch> waiting_; // added before the catalogue was loaded
    int dialogWaiting_ = -2; // row to edit (-1: a new one) once the catalogue is there; -2: none
    int dialogEditRow_ = -1;
    AddDecoderDialog *dialog_ = nullptr;
    QListWidget *list_;
    QLabel *status_;
    QVBoxLayout *bodyLayout_;
    QTabWidget *tabs_ = nullptr;
    QLineEdit *filter_ = nullptr;
    AnnotationTableModel *model_ = nullptr;
    QSortFilterProxyModel *proxy_ = nullptr;
    QTableView *table_ = nullptr;
    QComboBox *streamChoice_ = nullptr;
    QComboBox *streamFormat_ = nullptr;
    QPlainTextEdit *streamText_ = nullptr;
    std::vector<ByteStream> streams_;
    QStringList reportedErrors_; // the errors last put in a message
    // Per line of the list: its stack's index in the request decoding now,
    // or -1 when it could not be decoded (why in unavailable_).
    std::vector<int> stackOfLine_;
    std::vector<QString> unavailable_;
    bool decoding_ = false;
    int timeLimitSeconds_ = 30;
    QProgressBar *progress_ = nullptr;
    QPushButton *stop_ = nullptr;
    QSpinBox *timeLimitBox_ = nullptr;
    std::shared_ptr<const DecodeResult> result_;
};


#pragma once

#include <QObject>
#include <QTimer>

class Form1;
class NoticeLabel;
class QLabel;
class QProgressBar;
class QStatusBar;

// The status bar: the port and its state, the capture in view, a notice
// about it (what an import left out or adapted), the transaction in progress
// and, while a capture is read back, how much of it has arrived.
//
// Nothing here runs per received byte: the transaction is looked at by a
// timer at most 25 times a second while a device button's transaction runs,
// and the rest follows the window's signals.
class StatusPanel : public QObject {
    Q_OBJECT
public:
    StatusPanel(Form1 &form, QStatusBar &bar, const QString &portText, QObject *parent = nullptr);

    static constexpr int kPollMs = 40; // 25 updates a second

    // Shows a notice about the capture in view until the next capture comes
    // in (read, Load, import); lines are joined into one, the whole text is
    // the notice's tool tip.
    void showNotice(const QString &text);

    // For tests: what the bar shows now.
    QString portText() const;
    QString captureText() const;
    QString noticeText() const; // the whole notice, empty when none
    QString transactionText() const;
    bool progressVisible() const;
    int progressValue() const;

private:
    void transactionStarted();
    void transactionEnded();
    void poll();
    void showCapture();
    void showPortFailure(const QString &reason);

    Form1 &form_;
    QLabel *port_ = nullptr;
    QLabel *capture_ = nullptr;
    NoticeLabel *notice_ = nullptr;
    QLabel *transaction_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QTimer timer_;
    int depth_ = 0;          // device transactions running (they nest)
    bool streamSeen_ = false; // the read of this press has begun
};

// The text of a transaction state of the instrument link, for the status bar.
QString TransactionText(const QString &pendingCommand);

#include "frame/status_panel.h"

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSlider>
#include <QStatusBar>

#include "app/form1.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "display/readouts.h"
#include "frame/read_progress.h"

// One line of text cut with an ellipsis to the room the bar leaves it, so a
// long notice never widens the fixed-size frame; the tool tip holds it all.
class NoticeLabel : public QLabel {
public:
    explicit NoticeLabel(QWidget *parent) : QLabel(parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, QColor(0xA0, 0x40, 0x00)); // stands out from the other fields
        setPalette(p);
    }
    void setNotice(const QString &text)
    {
        full_ = text;
        setToolTip(text);
        elide();
    }
    QString notice() const { return full_; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide()
    {
        QString line = full_;
        line.replace(QLatin1Char('\n'), QStringLiteral("  "));
        setText(fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width()));
    }
    QString full_;
};

QString TransactionText(const QString &pending)
{
    static const QString settingSteps[] = {wire::STATE_SET0, wire::STATE_SET1,    wire::STATE_SET2,
                                           wire::STATE_SET3, wire::STATE_SETMODE, wire::STATE_SETTRGV};
    for (int i = 0; i < 6; ++i) {
        if (pending == settingSteps[i])
            return QStringLiteral("Sending the settings (%1 of 6)…").arg(i + 1);
    }
    if (pending == wire::STATE_RUN)
        return QStringLiteral("Measuring… (F5 stops)");
    if (pending == wire::STATE_STOP)
        return QStringLiteral("Stopping…");
    if (pending == wire::STATE_DATAREAD)
        return QStringLiteral("Reading the capture…");
    if (pending == wire::STATE_SETREAD)
        return QStringLiteral("Reading the instrument's settings…");
    if (pending == wire::STATE_NAC)
        return QStringLiteral("The instrument refused the stop");
    return QString();
}

StatusPanel::StatusPanel(Form1 &form, QStatusBar &bar, const QString &portText, QObject *parent)
    : QObject(parent), form_(form)
{
    port_ = new QLabel(portText, &bar);
    port_->setObjectName(QStringLiteral("statusPort"));
    port_->setToolTip(QStringLiteral("Serial port of the instrument"));
    capture_ = new QLabel(&bar);
    capture_->setObjectName(QStringLiteral("statusCapture"));
    capture_->setToolTip(QStringLiteral("Capture in view: mode, sample rate, records, measured time"));
    notice_ = new NoticeLabel(&bar);
    notice_->setObjectName(QStringLiteral("statusNotice"));
    transaction_ = new QLabel(&bar);
    transaction_->setObjectName(QStringLiteral("statusTransaction"));
    progress_ = new QProgressBar(&bar);
    progress_->setObjectName(QStringLiteral("statusProgress"));
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(160);
    progress_->setToolTip(QStringLiteral("Share of the measurement received"));
    progress_->hide();

    bar.addWidget(port_);
    bar.addWidget(capture_);
    bar.addWidget(notice_, 1);
    bar.addPermanentWidget(transaction_);
    bar.addPermanentWidget(progress_);

    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &StatusPanel::poll);
    connect(&form_, &Form1::transactionStarted, this, &StatusPanel::transactionStarted);
    connect(&form_, &Form1::transactionEnded, this, &StatusPanel::transactionEnded);
    connect(&form_, &Form1::captureChanged, this, &StatusPanel::showCapture);
    connect(&form_, &Form1::captureChanged, this, [this] { notice_->setNotice(QString()); });
    connect(&form_, &Form1::portFailed, this, &StatusPanel::showPortFailure);
    // The read redraws the view as soon as its end byte is in: the bar shows
    // 100 % then, not only at the next tick.
    connect(&form_, &Form1::viewChanged, this, [this] {
        if (depth_ > 0)
            poll();
    });
    showCapture();
}

QString StatusPanel::portText() const { return port_->text(); }
QString StatusPanel::captureText() const { return capture_->text(); }
QString StatusPanel::noticeText() const { return notice_->notice(); }
void StatusPanel::showNotice(const QString &text) { notice_->setNotice(text); }
QString StatusPanel::transactionText() const { return transaction_->text(); }
bool StatusPanel::progressVisible() const { return progress_->isVisibleTo(progress_->parentWidget()); }
int StatusPanel::progressValue() const { return progress_->value(); }

void StatusPanel::transactionStarted()
{
    if (depth_++ == 0) {
        streamSeen_ = false;
        timer_.start();
    }
    poll();
}

void StatusPanel::transactionEnded()
{
    if (depth_ > 0 && --depth_ > 0) {
        poll();
        return;
    }
    timer_.stop();
    transaction_->clear();
    progress_->hide();
    progress_->reset();
}

void StatusPanel::poll()
{
    const QString &pending = form_.state.PendingCommand;
    transaction_->setText(TransactionText(pending));
    const bool reading = pending == wire::STATE_DATAREAD;
    if (reading)
        streamSeen_ = true;
    if (!streamSeen_)
        return;
    // Once the end byte has cleared the read, the capture is complete.
    const int32_t reached = reading ? StreamTimeReached(form_.state.SampleData, form_.state.LastSampleIndex) : 0;
    progress_->setValue(ReadProgressPercent(!reading, reached, form_.Slider1->value()));
    progress_->show();
}

void StatusPanel::showCapture()
{
    if (depth_ > 0)
        poll(); // a read that has just ended shows its 100 % at once
    const Capture c = form_.capture();
    if (c.isEmpty()) {
        capture_->setText(QStringLiteral("No capture"));
        return;
    }
    const float periodUs = float(double(c.samplePeriodPs()) / 1e6);
    capture_->setText(QStringLiteral("%1  %2  %3 records  %4")
                          .arg(c.isAnalog() ? QStringLiteral("Analog") : QStringLiteral("Logic"), c.rateText())
                          .arg(c.records().size())
                          .arg(UpdateReadoutsText(periodUs, c.sampleCount(), false)));
}

void StatusPanel::showPortFailure(const QString &reason)
{
    port_->setText(QStringLiteral("%1: closed (%2)").arg(form_.MSComm1->deviceName(), reason));
}

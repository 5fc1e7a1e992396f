// The device buttons (Command1): each press runs its transactions with the
// instrument to completion, keeping the window alive while it waits.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include "app/error_report.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"

// Pumps events until the receive handler has cleared PendingCommand. The
// first pass never blocks; after it the wait sleeps until the next window
// event or serial input instead of spinning, so a silent instrument costs no
// CPU. There is no time-out: closing the window always ends the program.
bool Form1::WaitIdle()
{
    QCoreApplication::processEvents();
    while (!state.PendingCommand.isEmpty() && !MSComm1->hasFailed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return !MSComm1->hasFailed();
}

void Form1::Command1_Click(int index)
{
    // A port that failed for good takes no more commands: say so instead of
    // waiting for an answer that cannot come.
    if (MSComm1->hasFailed() || !MSComm1->isOpen()) {
        ReportWarning(QStringLiteral("Logic Analyzer"),
                      QStringLiteral("The serial port %1 is closed: %2")
                          .arg(MSComm1->deviceName(),
                               MSComm1->failureText().isEmpty() ? QStringLiteral("not open")
                                                                : MSComm1->failureText()));
        return;
    }

    // Preamble.
    Picture1->clearDrawing();
    state.LastSampleIndex = -1;
    Label5->setVisible(true);
    pumpEvents();
    emit transactionStarted(index);

    switch (index) {
    case 0: { // Setting
        Label5->setText(QStringLiteral("設定中"));

        state.PendingCommand = wire::STATE_SET0;
        MSComm1->Output(QByteArray(1, char(wire::SETTING1_BYTE)));
        if (!WaitIdle())
            break;

        state.PendingCommand = wire::STATE_SET1;
        MSComm1->Output(QByteArray(1, char(wire::rateKindByte(Combo1->currentIndex(), isOptionSelected(Option1[1])))));
        if (!WaitIdle())
            break;

        state.PendingCommand = wire::STATE_SET2;
        {
            // One button of each group is selected; with none, its part of
            // the byte is 0.
            int code = 0, channel = 0;
            for (int i = 0; i < 4; ++i) {
                if (isOptionSelected(Option2[i]))
                    code = QString::fromLatin1(Option2Tag[i]).toInt();
                if (isOptionSelected(Option3[i]))
                    channel = i;
            }
            MSComm1->Output(QByteArray(1, char(wire::conditionChannelByte(code, channel))));
        }
        if (!WaitIdle())
            break;

        state.PendingCommand = wire::STATE_SET3;
        {
            int mask = 0;
            for (int i = 0; i < 4; ++i)
                mask += (1 << i) * checkValue(i);
            MSComm1->Output(QByteArray(1, char(wire::patternByte(mask))));
        }
        if (!WaitIdle())
            break;

        state.PendingCommand = wire::STATE_SETMODE;
        MSComm1->Output(QByteArray(1, char(wire::modeByte(isOptionSelected(Option4[1])))));
        if (!WaitIdle())
            break;

        state.PendingCommand = wire::STATE_SETTRGV;
        MSComm1->Output(wire::triggerLevelCommand(VScroll2->value()));
        if (!WaitIdle())
            break;

        Command1[1]->setEnabled(true);
        break;
    }
    case 1:
        if (Command1[1]->text() == QLatin1String("Run")) {
            Command1[1]->setText(QStringLiteral("Stop"));
            Label5->setText(QStringLiteral("測定中"));
            const int32_t length = Slider1->value();
            state.PendingCommand = wire::STATE_RUN;
            const QByteArray command = wire::runCommand(!isLogicMode(), length);
            state.ReplyPos = 0;
            MSComm1->Output(command);
            // The Stop press runs inside this wait.
            QCoreApplication::processEvents();
            while (!state.PendingCommand.isEmpty() && state.PendingCommand != wire::STATE_NAC
                   && !MSComm1->hasFailed())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (state.PendingCommand.isEmpty() && !MSComm1->hasFailed()) {
                Command1_Click(2);
                Command1[2]->setEnabled(true);
            }
            Command1[1]->setText(QStringLiteral("Run"));
            state.PendingCommand.clear();
        } else {
            // Stop: ask for the length recorded so far; the Run's wait takes the reply.
            state.PendingCommand = wire::STATE_STOP;
            state.ReplyPos = 0;
            MSComm1->Output(wire::stopCommand());
        }
        break;
    case 2: { // DataRead
        Label5->setText(QStringLiteral("読込中"));
        const int32_t length = Slider1->value();
        state.PendingCommand = wire::STATE_DATAREAD;
        state.ReplyPos = 0;
        MSComm1->Output(wire::readDataCommand(length));
        if (!WaitIdle())
            break;
        HScroll1->setValue(0); // redraws when the value changes
        pumpEvents();
        HScroll1_Change();     // and in any case
        captureLength_ = length;
        Command2[1]->setEnabled(true);
        break;
    }
    case 3: // Set Read
        Label5->setText(QStringLiteral("読込中"));
        state.PendingCommand = wire::STATE_SETREAD;
        state.ReplyPos = 0;
        MSComm1->Output(wire::readSettingsCommand());
        WaitIdle();
        break;
    default:
        break;
    }

    // Epilogue.
    Label5->setVisible(false);
    emit transactionEnded(index);
    emit captureChanged();
}

// The device went away (adapter pulled out, peer closed) while the program
// may be waiting for it: end any wait as a refused transaction and tell the
// user, instead of waiting for ever behind the banner.
void Form1::handleDeviceFailure(const QString &errorText)
{
    state.PendingCommand.clear();
    Label5->setVisible(false);
    Command1[1]->setText(QStringLiteral("Run"));
    if (portClosedReported_)
        return;
    portClosedReported_ = true;
    emit portFailed(errorText);
    // Shown from the event loop, not from inside the port's own notification.
    const QString text = QStringLiteral("The serial port %1 failed: %2").arg(MSComm1->deviceName(), errorText);
    QMetaObject::invokeMethod(
        this, [text] { ReportWarning(QStringLiteral("Logic Analyzer"), text); }, Qt::QueuedConnection);
}

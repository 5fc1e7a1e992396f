#include "acquire/capture_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "acquire/interrupt_watch.h"
#include "acquire/progress_line.h"
#include "acquire/reply_reader.h"
#include "analysis/detect_command.h"
#include "decode/decode_command.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "export/capture_file_io.h"
#include "export/capture_formats.h"
#include "files/atomic_write.h"

#if defined(Q_OS_UNIX)
#include "sim/pty_transport.h"
#endif

namespace {

using namespace capture_status;

// The instrument answers every command but Run at once; this long a silence
// (or a pause inside a stream) means it is not there or has failed.
constexpr int kReplyTimeoutMs = 5000;
// How often the run looks for a Ctrl+C.
constexpr int kInterruptPollMs = 50;

void Message(const QString &text)
{
    // One line, whatever the text is made of.
    std::fprintf(stderr, "logic-analyzer: %s\n", text.simplified().toLocal8Bit().constData());
    std::fflush(stderr);
}

QString Shown(const QString &path) { return QDir::toNativeSeparators(path); }

// The state names of the six Setting steps, for messages.
const char *const kSettingSteps[6] = {"set0", "set1", "set2", "set3", "setmode", "settrgv"};

// One run of the command: Setting once, then Run and the read-back for each
// capture, driven by the port's receive events, with the --wait and Ctrl+C
// stops and the reply time-outs as timers.
class CaptureSequence {
public:
    CaptureSequence(const CaptureOptions &options, SerialPortService *port, const QString &portText)
        : options_(options), port_(port), portText_(portText), commands_(SettingCommands(options.setup)),
          progress_(!options.quiet && ProgressLine::stderrIsTerminal()), out_(stdout), err_(stderr)
    {
        QObject::connect(port_, &SerialPortService::OnComm, &context_, [this] { onReceive(); });
        QObject::connect(port_, &SerialPortService::deviceFailed, &context_, [this](const QString &why) {
            finish(kFailure, QStringLiteral("The serial port %1 failed: %2").arg(portText_, why));
        });
        replyTimer_.setSingleShot(true);
        QObject::connect(&replyTimer_, &QTimer::timeout, &context_, [this] { onReplyTimeout(); });
        waitTimer_.setSingleShot(true);
        QObject::connect(&waitTimer_, &QTimer::timeout, &context_, [this] {
            if (step_ == Step::Running)
                stop(kTriggerTimeout);
        });
        QObject::connect(&interruptPoll_, &QTimer::timeout, &context_, [this] { onInterruptPoll(); });
    }

    int run()
    {
        interruptPoll_.start(kInterruptPollMs);
        sendSetting(0);
        if (status_ < 0)
            loop_.exec();
        progress_.clear();
        return status_;
    }

private:
    enum class Step { Setting, Running, Stopping, Reading, Done };

    void write(const QByteArray &bytes) { port_->Output(bytes); }

    // ---- the transactions, as the device buttons run them ----

    void sendSetting(int k)
    {
        step_ = Step::Setting;
        settingStep_ = k;
        reader_.expectAck();
        write(commands_[k]);
        replyTimer_.start(kReplyTimeoutMs);
    }

    void startRun()
    {
        step_ = Step::Running;
        stopStatus_ = kWritten;
        readLength_ = options_.setup.length;
        reader_.expectAck();
        write(wire::runCommand(options_.setup.analog, options_.setup.length));
        replyTimer_.stop();
        if (options_.waitSeconds >= 0)
            waitTimer_.start(int(std::min(options_.waitSeconds * 1000.0, 2e9)));
        progress_.show(prefix() + QStringLiteral("waiting for the trigger"));
    }

    // As the Stop button: ask for the length recorded so far.
    void stop(int status)
    {
        waitTimer_.stop();
        stopStatus_ = status;
        step_ = Step::Stopping;
        reader_.expectStopReply();
        write(wire::stopCommand());
        replyTimer_.start(kReplyTimeoutMs);
        progress_.show(prefix() + QStringLiteral("stopping"));
    }

    void startRead(int32_t length)
    {
        step_ = Step::Reading;
        readLength_ = length;
        reader_.expectStream(options_.setup.analog);
        write(wire::readDataCommand(length));
        replyTimer_.start(kReplyTimeoutMs);
        shownPercent_ = -1;
        showReadProgress();
    }

    void onReceive()
    {
        if (port_->CommEvent() != SerialPortService::comEvReceive || step_ == Step::Done)
            return;
        bool any = false;
        while (port_->InBufferCount() > 0) {
            reader_.feed(port_->Input());
            any = true;
        }
        if (!any)
            return;
        switch (step_) {
        case Step::Setting:
            if (reader_.idle()) {
                if (settingStep_ + 1 < commands_.size())
                    sendSetting(settingStep_ + 1);
                else
                    startRun();
            }
            break;
        case Step::Running:
            if (reader_.idle()) {
                waitTimer_.stop();
                startRead(readLength_);
            }
            break;
        case Step::Stopping:
            replyTimer_.start(kReplyTimeoutMs);
            if (reader_.idle()) {
                // The slider takes the reported length within its range.
                startRead(std::clamp<int32_t>(reader_.stopLength(), 0, options_.setup.maxLength()));
            } else if (reader_.refused()) {
                if (reader_.ackDuringStop()) {
                    // The capture ended just before the stop reached the
                    // instrument: it is complete.
                    stopStatus_ = kWritten;
                    startRead(options_.setup.length);
                } else {
                    finish(stopStatus_, stopReason() + QStringLiteral(": the instrument refused the stop and sent "
                                                                      "nothing; no file written"));
                }
            }
            break;
        case Step::Reading:
            replyTimer_.start(kReplyTimeoutMs);
            showReadProgress();
            if (reader_.idle())
                captureRead();
            break;
        case Step::Done:
            break;
        }
    }

    void onReplyTimeout()
    {
        const int seconds = kReplyTimeoutMs / 1000;
        switch (step_) {
        case Step::Setting:
            finish(kFailure, QStringLiteral("The instrument on %1 did not answer the Setting step \"%2\" within %3 s: "
                                            "is it connected and switched on?")
                                 .arg(portText_, QLatin1String(kSettingSteps[settingStep_]))
                                 .arg(seconds));
            break;
        case Step::Stopping:
            finish(kFailure, QStringLiteral("The instrument on %1 did not answer the stop within %2 s; no file written")
                                 .arg(portText_)
                                 .arg(seconds));
            break;
        case Step::Reading:
            finish(kFailure, QStringLiteral("The instrument on %1 stopped sending the capture (nothing for %2 s); "
                                            "no file written")
                                 .arg(portText_)
                                 .arg(seconds));
            break;
        default:
            break;
        }
    }

    void onInterruptPoll()
    {
        if (interrupt_watch::interruptCount() == 0 || interruptSeen_)
            return;
        interruptSeen_ = true;
        switch (step_) {
        case Step::Setting:
            finish(kInterrupted, QStringLiteral("interrupted before the capture began; no file written"));
            break;
        case Step::Running:
            stop(kInterrupted);
            break;
        case Step::Stopping:
        case Step::Reading:
            // What is on its way is read to its end and written.
            stopStatus_ = kInterrupted;
            break;
        case Step::Done:
            break;
        }
    }

    // ---- a capture has been read ----

    void captureRead()
    {
        replyTimer_.stop();
        progress_.clear();
        const InstrumentSetup &s = options_.setup;
        const Capture capture(s.mode(), s.rateIndex, readLength_, reader_.takeRecords(), s.trigger(),
                              reader_.rangeIndex());
        const QString path = CaptureOutputPath(options_.output, index_, options_.count);
        if (capture.isEmpty()) {
            if (stopStatus_ != kWritten)
                finish(stopStatus_, stopReason() + QStringLiteral(" before anything was recorded; no file written"));
            else
                finish(kFailure, QStringLiteral("The instrument on %1 sent a capture without records; no file written")
                                     .arg(portText_));
            return;
        }
        if (!writeFile(capture, path))
            return;
        int status = report(path);
        if (stopStatus_ != kWritten) {
            finish(stopStatus_, QStringLiteral("%1: %2 holds %3 of %4 sample periods")
                                    .arg(stopReason(), Shown(path))
                                    .arg(capture.sampleCount())
                                    .arg(s.length));
            return;
        }
        if (reportStatus_ == kWritten)
            reportStatus_ = status;
        if (index_ < std::max(1, options_.count)) {
            // A Ctrl+C while the capture was written or decoded ends the
            // series here rather than start a capture only to stop it.
            if (interrupt_watch::interruptCount() > 0) {
                finish(kInterrupted, QStringLiteral("interrupted: %1 of %2 captures written")
                                         .arg(index_)
                                         .arg(options_.count));
                return;
            }
            ++index_;
            startRun();
            return;
        }
        finish(reportStatus_, QString());
    }

    bool writeFile(const Capture &capture, const QString &path)
    {
        QByteArray bytes;
        QString error;
        if (!ExportCaptureBytes(*CaptureFormatForPath(path), capture, &bytes, &error)) {
            finish(kFailure, QStringLiteral("%1 could not be written: %2.").arg(Shown(path), error));
            return false;
        }
        interrupt_watch::setWriting(true);
        const bool written = WriteAtomically(
            path,
            [&bytes](QSaveFile &file) {
                return !interrupt_watch::writeCancelled() && file.write(bytes) == bytes.size()
                    && !interrupt_watch::writeCancelled();
            },
            QStringLiteral("written"), &error);
        interrupt_watch::setWriting(false);
        if (interrupt_watch::writeCancelled()) {
            // A second Ctrl+C: no file of this capture stays.
            if (written)
                QFile::remove(path);
            finish(kInterrupted, QString());
            return false;
        }
        if (!written) {
            finish(kFailure, error);
            return false;
        }
        return true;
    }

    // What --detect and --decode print for the file, read back as those
    // commands read it.
    int report(const QString &path)
    {
        if (!options_.detect && options_.decoders.isEmpty())
            return kWritten;
        const ImportResult file = ImportCaptureFile(path);
        if (!file.ok) {
            Message(file.error);
            return kFailure;
        }
        for (const QString &w : file.warnings)
            Message(w);
        int status = kWritten;
        if (options_.detect)
            status = RunDetectCommand(file.capture, out_);
        if (!options_.decoders.isEmpty()) {
            const int decoded = RunDecodeCommand(options_.decoders, options_.decodeFormat, file.capture, out_, err_,
                                                 DecodeLimitsFromOptions(options_.decodeTimeout,
                                                                         options_.decodeMaxAnnotations));
            if (status == kWritten)
                status = decoded;
        }
        return status;
    }

    void finish(int status, const QString &message)
    {
        if (step_ == Step::Done)
            return;
        step_ = Step::Done;
        replyTimer_.stop();
        waitTimer_.stop();
        interruptPoll_.stop();
        progress_.clear();
        if (!message.isEmpty())
            Message(message);
        status_ = status;
        loop_.quit();
    }

    QString prefix() const
    {
        return options_.count > 0 ? QStringLiteral("capture %1 of %2: ").arg(index_).arg(options_.count) : QString();
    }

    QString stopReason() const
    {
        if (stopStatus_ == kInterrupted)
            return QStringLiteral("interrupted");
        return QStringLiteral("no trigger within %1 s, stopped").arg(options_.waitSeconds);
    }

    void showReadProgress()
    {
        const int32_t last = reader_.lastTime();
        const int percent =
            readLength_ <= 0 ? 100 : int(std::clamp<int64_t>(int64_t(last + 1) * 100 / readLength_, 0, 100));
        if (percent == shownPercent_)
            return;
        shownPercent_ = percent;
        progress_.show(prefix() + QStringLiteral("reading %1 %").arg(percent));
    }

    const CaptureOptions &options_;
    SerialPortService *port_;
    QString portText_;
    QList<QByteArray> commands_;
    ProgressLine progress_;
    QTextStream out_, err_;
    QObject context_;
    QEventLoop loop_;
    QTimer replyTimer_, waitTimer_, interruptPoll_;
    ReplyReader reader_;

    Step step_ = Step::Setting;
    int settingStep_ = 0;
    int index_ = 1;              // the capture being taken, 1..count
    int32_t readLength_ = 0;     // the length asked of the read-back
    int stopStatus_ = kWritten;  // why the capture was stopped, when it was
    int reportStatus_ = kWritten; // the first failure of --decode / --detect
    bool interruptSeen_ = false;
    int shownPercent_ = -1;
    int status_ = -1;
};

// Checks what can be checked before the instrument is touched, so that a bad
// request costs no capture: the decoders and the folder of the output.
int Precheck(const CaptureOptions &o)
{
    if (!o.decoders.isEmpty()) {
        // The decode command refuses an unknown decoder, channel, option or
        // format with status 2 before it looks at the capture.
        QString discarded, problems;
        QTextStream out(&discarded), err(&problems);
        if (RunDecodeCommand(o.decoders, o.decodeFormat, Capture(), out, err) == kUsage) {
            Message(problems.section(QLatin1Char('\n'), 0, 0));
            return kUsage;
        }
    }
    const QFileInfo out(o.output);
    const QFileInfo folder(out.absolutePath());
    if (!folder.isDir()) {
        Message(QStringLiteral("%1 could not be written: the folder %2 does not exist.")
                    .arg(Shown(o.output), Shown(folder.filePath())));
        return kFailure;
    }
    if (!folder.isWritable()) {
        Message(QStringLiteral("%1 could not be written: the folder %2 is not writable.")
                    .arg(Shown(o.output), Shown(folder.filePath())));
        return kFailure;
    }
    return kWritten;
}

} // namespace

int RunCaptureCommand(int &argc, char **argv, const CaptureOptions &options)
{
    interrupt_watch::install();
    QCoreApplication app(argc, argv);

    const int checked = Precheck(options);
    if (checked != kWritten)
        return checked;

#if defined(Q_OS_UNIX)
    std::unique_ptr<sim::SimulatorPty> simulator;
#endif
    QString device = options.port.isEmpty() ? SerialPortService::defaultPortName() : options.port;
    QString portText = device;
    if (options.simulate) {
#if defined(Q_OS_UNIX)
        simulator = std::make_unique<sim::SimulatorPty>();
        simulator->setPacing(options.simPacing);
        simulator->setTimeScale(options.simTimeScale);
        QString error;
        if (!simulator->start(&error)) {
            Message(QStringLiteral("The simulated instrument cannot be started: %1").arg(error));
            return kFailure;
        }
        device = simulator->slavePath();
        portText = QStringLiteral("the simulated instrument");
#else
        Message(QStringLiteral("The simulated instrument needs pseudo-terminals, which this system lacks."));
        return kFailure;
#endif
    }

    int status = kFailure;
    {
        SerialPortService port;
        QString error;
        if (!port.open(device, &error)) {
            Message(QStringLiteral("The serial port %1 cannot be opened: %2").arg(Shown(device), error));
            return kFailure;
        }
        CaptureSequence sequence(options, &port, portText);
        status = sequence.run();
        port.close();
    }
    return status;
}

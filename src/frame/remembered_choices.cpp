#include "frame/remembered_choices.h"

#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QObject>
#include <memory>

#include "app/form1.h"
#include "frame/main_window.h"
#include "frame/user_settings.h"
#include "panels/decoders_dock.h"

namespace {
const QString kTimeLimit = QStringLiteral("decoding/timeLimitSeconds");
const QString kAutoDetect = QStringLiteral("analysis/detectAfterEveryCapture");
const QString kPort = QStringLiteral("port/lastChosen");
const QString kDecoders = QStringLiteral("decoding/decoders");
const QString kExportFormat = QStringLiteral("export/lastFormat");
const QString kArrangement = QStringLiteral("window/panels");
const QString kGeometry = QStringLiteral("window/geometry");
// Raised when the panels change in a way an older arrangement cannot describe.
constexpr int kArrangementVersion = 1;

// Where the panels are, which are shown and how large, and the frame's size
// once the user has sized it.
void RememberArrangement(MainWindow &window)
{
    auto settings = UserSettings::open();
    if (!settings)
        return;
    settings->setValue(kArrangement, window.saveState(kArrangementVersion));
    if (window.sizedByUser())
        settings->setValue(kGeometry, window.saveGeometry());
    else
        settings->remove(kGeometry);
}

QString folderKey(const QString &kind) { return QStringLiteral("folders/") + kind; }

void store(const QString &key, const QVariant &value)
{
    if (auto settings = UserSettings::open())
        settings->setValue(key, value);
}

QVariant stored(const QString &key)
{
    auto settings = UserSettings::open();
    return settings ? settings->value(key) : QVariant();
}
} // namespace

namespace RememberedChoices {

void attach(MainWindow &window)
{
    if (!UserSettings::enabled())
        return;
    // A state from another version or damaged is refused by Qt as a whole:
    // the panels then start hidden, as on a first start.
    window.restoreState(stored(kArrangement).toByteArray(), kArrangementVersion);
    const QByteArray geometry = stored(kGeometry).toByteArray();
    if (!geometry.isEmpty() && window.restoreGeometry(geometry))
        window.setSizedByUser(true);
    else
        window.fitToContent();
    // Written at each change of a panel, so a program that is killed keeps
    // it too, and on closing for the frame's size.
    QObject::connect(&window, &MainWindow::aboutToClose, &window, [&window] { RememberArrangement(window); });
    for (QDockWidget *dock : window.findChildren<QDockWidget *>()) {
        const auto changed = [&window] {
            if (window.isVisible())
                RememberArrangement(window);
        };
        QObject::connect(dock, &QDockWidget::visibilityChanged, &window, changed);
        QObject::connect(dock, &QDockWidget::dockLocationChanged, &window, changed);
        QObject::connect(dock, &QDockWidget::topLevelChanged, &window, changed);
    }
    DecodersDock &decoders = window.decoders();
    // A value the panel cannot take (text, out of range) is left to the
    // panel's own clamping or ignored: the default stays.
    bool ok = false;
    const int seconds = stored(kTimeLimit).toInt(&ok);
    if (ok)
        decoders.setTimeLimitSeconds(seconds);
    QObject::connect(&decoders, &DecodersDock::timeLimitChanged, &window,
                     [](int value) { store(kTimeLimit, value); });

    if (QAction *autoDetect = window.action(QStringLiteral("actionAutoDetect"))) {
        autoDetect->setChecked(stored(kAutoDetect).toString() == QLatin1String("true"));
        QObject::connect(autoDetect, &QAction::toggled, &window, [](bool on) { store(kAutoDetect, on); });
    }

    // The decoders of the last run, in sigrok-cli's -P syntax, decode the
    // first capture that arrives or opens: nothing is loaded for them before.
    // A stack the installed decoders refuse is named by the panel and left out.
    const QStringList stacks = stored(kDecoders).toStringList();
    auto taken = std::make_shared<bool>(stacks.isEmpty());
    if (!stacks.isEmpty()) {
        auto *once = new QObject(&window);
        QObject::connect(&window.form(), &Form1::captureChanged, once, [&window, stacks, once, taken] {
            if (*taken || window.form().state.LastSampleIndex < 0)
                return;
            *taken = true;
            once->deleteLater();
            window.decoders().addDecoders(stacks, QStringLiteral("Remembered decoders"));
        });
    }
    // Remembered as they are after every change (a result follows each one),
    // once the remembered ones have been taken up.
    QObject::connect(&decoders, &DecodersDock::resultChanged, &window, [&window, taken] {
        if (*taken)
            store(kDecoders, window.decoders().decoders());
    });
}

QString offerKey(const PortOffer &offer)
{
    return offer.simulator ? QStringLiteral("simulated") : offer.portName;
}

QList<PortOffer> lastChosenFirst(QList<PortOffer> offers, const QString &lastKey)
{
    if (lastKey.isEmpty())
        return offers;
    for (qsizetype i = 0; i < offers.size(); ++i) {
        if (offerKey(offers.at(i)) == lastKey) {
            offers.move(i, 0);
            break;
        }
    }
    return offers;
}

QString lastPortKey() { return stored(kPort).toString(); }

void rememberPort(const PortOffer &offer) { store(kPort, offerKey(offer)); }

QString lastFolder(const QString &kind)
{
    const QString folder = stored(folderKey(kind)).toString();
    // A folder that has gone since is no help to the dialog.
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolder(const QString &kind, const QString &filePath)
{
    store(folderKey(kind), QFileInfo(filePath).absolutePath());
}

QString lastExportFormat() { return stored(kExportFormat).toString(); }

void rememberExportFormat(const QString &filter) { store(kExportFormat, filter); }

} // namespace RememberedChoices

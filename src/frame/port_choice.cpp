#include "frame/port_choice.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {

QString VidPid(const QSerialPortInfo &p)
{
    if (!p.hasVendorIdentifier() || !p.hasProductIdentifier())
        return QStringLiteral("-");
    return QStringLiteral("%1:%2")
        .arg(p.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(p.productIdentifier(), 4, 16, QLatin1Char('0'));
}

QString OrDash(const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; }

bool SimulatorAvailable()
{
#if defined(Q_OS_UNIX)
    return true; // the simulated instrument sits on a pseudo-terminal
#else
    return false;
#endif
}

} // namespace

QList<PortOffer> PortOffers()
{
    QList<PortOffer> offers;
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts()) {
        QString label = p.systemLocation();
        if (!p.description().isEmpty())
            label += QStringLiteral("  (%1)").arg(p.description());
        offers.append({p.systemLocation(), label, false});
    }
    if (SimulatorAvailable())
        offers.append({QString(), QStringLiteral("Simulated instrument"), true});
    return offers;
}

QString ListPortsText()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        return QStringLiteral("No serial ports found.\n");
    QString out = QStringLiteral("%1  %2  %3  %4\n")
                      .arg(QStringLiteral("PORT"), -16)
                      .arg(QStringLiteral("DESCRIPTION"), -28)
                      .arg(QStringLiteral("MANUFACTURER"), -20)
                      .arg(QStringLiteral("VID:PID"));
    for (const QSerialPortInfo &p : ports) {
        out += QStringLiteral("%1  %2  %3  %4\n")
                   .arg(p.systemLocation(), -16)
                   .arg(OrDash(p.description()), -28)
                   .arg(OrDash(p.manufacturer()), -20)
                   .arg(VidPid(p));
    }
    return out;
}

PortAnswer AskForPort(QWidget *parent, const QString &error, const QList<PortOffer> &offers)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {PortAnswer::NotAsked, {}};

    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PortChoiceDialog"));
    dialog.setWindowTitle(QStringLiteral("Logic Analyzer: choose the port"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QLabel(QStringLiteral("%1\n\nOpen another port instead:").arg(error), &dialog);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto *list = new QListWidget(&dialog);
    for (const PortOffer &o : offers)
        list->addItem(o.label);
    if (!offers.isEmpty())
        list->setCurrentRow(0);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *open = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Quit"), QDialogButtonBox::RejectRole);
    open->setEnabled(!offers.isEmpty());
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);

    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return {PortAnswer::Quit, {}};
    return {PortAnswer::Chosen, offers.at(list->currentRow())};
}

#include "frame/decode_menu.h"

#include <QAction>
#include <QMenu>

#include "panels/decoders_dock.h"

void AddDecodeMenu(QMenu *menu, DecodersDock *dock)
{
    QAction *add = menu->addAction(QStringLiteral("&Add decoder…"), dock, &DecodersDock::openAddDialog);
    add->setObjectName(QStringLiteral("actionAddDecoder"));
    add->setToolTip(QStringLiteral("Decode the capture with one of the installed protocol decoders"));
    QAction *removeAll = menu->addAction(QStringLiteral("Remove a&ll decoders"), dock, &DecodersDock::removeAll);
    removeAll->setObjectName(QStringLiteral("actionRemoveAllDecoders"));
    menu->addSeparator();
    QAction *stop = menu->addAction(QStringLiteral("&Stop decoding"), dock, &DecodersDock::stopDecoding);
    stop->setObjectName(QStringLiteral("actionStopDecoding"));
    stop->setToolTip(QStringLiteral("Stop the decoding in progress; what was decoded until then stays shown"));
    QAction *reload = menu->addAction(QStringLiteral("&Reload decoders"), dock, &DecodersDock::reloadDecoders);
    reload->setObjectName(QStringLiteral("actionReloadDecoders"));
    reload->setToolTip(QStringLiteral("Read every decoder again from its folder, after you changed one, and decode again"));
    menu->addSeparator();
    QAction *panel = dock->toggleViewAction();
    panel->setText(QStringLiteral("&Decoders panel"));
    panel->setObjectName(QStringLiteral("actionDecodersPanel"));
    menu->addAction(panel);
}

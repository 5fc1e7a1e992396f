// Help menu: the keys and mouse actions, and About.
#include <QMessageBox>
#include <QtGlobal>

#include "frame/main_window.h"

QString KeyboardHelpHtml()
{
    return QStringLiteral(
        "<table cellspacing='4'>"
        "<tr><th align='left'>On the waveform (click it first)</th><th></th></tr>"
        "<tr><td>Wheel, Shift+wheel</td><td>scroll the view</td></tr>"
        "<tr><td>Ctrl+wheel</td><td>zoom one step, keeping the time under the pointer</td></tr>"
        "<tr><td>&larr; / &rarr;</td><td>scroll one small step</td></tr>"
        "<tr><td>PgUp / PgDn</td><td>scroll one page</td></tr>"
        "<tr><td>Home / End</td><td>start / end of the capture</td></tr>"
        "<tr><td>+ / &minus;</td><td>zoom in / out</td></tr>"
        "<tr><td>Left / right button in the traces</td><td>place and drag the measuring / reference time cursor</td></tr>"
        "<tr><td>Left / right button in the analog band</td><td>place and drag the measuring / reference voltage cursor</td></tr>"
        "<tr><th align='left'>In the overview above the window</th><th></th></tr>"
        "<tr><td>Click or drag</td><td>show that part of the capture in the middle of the traces</td></tr>"
        "<tr><td>Drag the rectangle</td><td>move the view with it</td></tr>"
        "<tr><td>Wheel, Ctrl+wheel</td><td>as on the waveform</td></tr>"
        "<tr><th align='left'>Decoders</th><th></th></tr>"
        "<tr><td>Double-click a box under the traces</td><td>show it with the time cursors on its start and end</td></tr>"
        "<tr><td>Double-click or Enter on a result line</td><td>the same from the Decoders panel</td></tr>"
        "<tr><th align='left'>Anywhere</th><th></th></tr>"
        "<tr><td>F5</td><td>Run / Stop</td></tr>"
        "<tr><td>Ctrl+O / Ctrl+S</td><td>Load / Save</td></tr>"
        "<tr><td>Ctrl+= / Ctrl+&minus;</td><td>zoom in / out</td></tr>"
        "<tr><td>Ctrl+Q</td><td>quit</td></tr>"
        "</table>");
}

QString AboutText(const QString &portText)
{
    return QStringLiteral("<p><b>Logic Analyzer</b> %1</p>"
                          "<p>Front end of the 8-channel logic analyzer and 8-bit oscilloscope.</p>"
                          "<p>Qt %2<br>Port: %3</p>"
                          "<p>Protocol decoding by libsigrokdecode. Because of it this program is free software "
                          "under the GNU General Public License, version 3 or any later version "
                          "(GPL-3.0-or-later); see the LICENSE file that comes with it.</p>")
        .arg(QStringLiteral(LA_VERSION), QString::fromLatin1(qVersion()), portText.toHtmlEscaped());
}

void MainWindow::showKeyboardHelp()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Keyboard and mouse"), KeyboardHelpHtml(), QMessageBox::Close,
                    this);
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void MainWindow::showAbout() { QMessageBox::about(this, QStringLiteral("About Logic Analyzer"), AboutText(portText_)); }

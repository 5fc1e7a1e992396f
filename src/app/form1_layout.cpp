// The window and its controls in their design state.
#include <QButtonGroup>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include "app/channel_column.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"

namespace {

// Positions are laid out in twips; 15 twips make one pixel at 96 dpi.
int tw(int twips) { return (twips + 7) / 15; }

void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(tw(left), tw(top), tw(width), tw(height));
}

QFont controlFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("ＭＳ Ｐゴシック"),
                   QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans CJK")});
    f.setPointSize(9);
    return f;
}

QFont windowFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック"),
                   QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSize(9);
    return f;
}

QFont bannerFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("HGPSoeiKakupoptai"), QStringLiteral("HGP創英角ﾎﾟｯﾌﾟ体"),
                   QStringLiteral("Noto Sans CJK JP Black"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSize(36);
    f.setWeight(QFont::Black);
    return f;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, bool checkable)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setCheckable(checkable);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, Qt::Alignment align)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setAlignment(align | Qt::AlignTop);
    return l;
}

QFrame *makeFrame(QWidget *parent, const QString &name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::NoFrame);
    return f;
}

void setBackground(QWidget *w, QColor bg)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, bg);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The 88 x 31 logo: a trace of logic steps over an analog wave.
QPixmap drawLogo()
{
    QPixmap pm(88, 31);
    pm.fill(QColor(16, 32, 48));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath wave;
    for (int x = 0; x < 88; ++x) {
        const double y = 22 - 6 * std::sin(x / 7.0);
        if (x == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setPen(QPen(QColor(255, 210, 60), 1.5));
    p.drawPath(wave);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(80, 255, 120), 1));
    const int steps[] = {0, 8, 14, 26, 32, 44, 56, 62, 74, 88};
    int y = 4;
    for (int k = 0; k + 1 < int(std::size(steps)); ++k) {
        p.drawLine(steps[k], y, steps[k + 1], y);
        const int ny = (y == 4) ? 12 : 4;
        if (k + 2 < int(std::size(steps)))
            p.drawLine(steps[k + 1], y, steps[k + 1], ny);
        y = ny;
    }
    p.setPen(QColor(220, 230, 255));
    QFont f;
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(50, 18, 38, 13), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("LA-8"));
    return pm;
}

} // namespace

const char *const Form1::Option2Tag[4] = {"2", "0", "3", "1"};

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Logic Analyzer"));
    setFont(windowFont());
    setFixedSize(752, 576);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    const QFont cf = controlFont();

    // Trigger kind.
    Frame1 = makeFrame(this, QStringLiteral("Frame1"));
    place(Frame1, 105, 0, 2670, 435);
    Option1[0] = makeButton(Frame1, QStringLiteral("Option1(0)"), QStringLiteral("Level"), true);
    place(Option1[0], 0, 60, 1305, 375);
    Option1[1] = makeButton(Frame1, QStringLiteral("Option1(1)"), QStringLiteral("Pattern"), true);
    place(Option1[1], 1320, 60, 1305, 375);

    // Trigger condition.
    Frame2 = makeFrame(this, QStringLiteral("Frame2"));
    place(Frame2, 105, 495, 2655, 435);
    const char *const conditionCaptions[4] = {"Ｈ ＝", "Ｌ ≠", "↑ ＝", "↓ ≠"};
    for (int i = 0; i < 4; ++i) {
        Option2[i] = makeButton(Frame2, QStringLiteral("Option2(%1)").arg(i),
                                QString::fromUtf8(conditionCaptions[i]), true);
        Option2[i]->setProperty("tag", QString::fromLatin1(Option2Tag[i]));
        place(Option2[i], 660 * i, 0, 645, 375);
    }

    // Per-channel trigger controls: channel buttons and pattern toggles share places.
    Frame3 = makeFrame(this, QStringLiteral("Frame3"));
    place(Frame3, 60, 900, 2715, 615);
    Label3[0] = makeLabel(Frame3, QStringLiteral("Label3(0)"),
                          QStringLiteral("    CH1     CH2      CH3     CH4"), Qt::AlignLeft);
    place(Label3[0], 0, 0, 2535, 195);
    for (int i = 0; i < 4; ++i) {
        Option3[i] = makeButton(Frame3, QStringLiteral("Option3(%1)").arg(i),
                                i == 0 ? QStringLiteral("Trigger") : QStringLiteral("N/A"), true);
        place(Option3[i], 60 + 660 * i, 180, 645, 375);
        const bool ticked = (i % 2) == 0;
        Check1[i] = makeButton(Frame3, QStringLiteral("Check1(%1)").arg(i),
                               ticked ? QStringLiteral("1") : QStringLiteral("0"), true);
        Check1[i]->setChecked(ticked);
        Check1[i]->setVisible(false);
        place(Check1[i], 60 + 660 * i, 180, 645, 375);
    }

    Label3[3] = makeLabel(this, QStringLiteral("Label3(3)"), QStringLiteral("Smpl.Freq"), Qt::AlignLeft);
    place(Label3[3], 2955, 120, 750, 180);

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    place(Combo1, 3765, 75, 1020, 300);
    fillList(Combo1, {QStringLiteral("20MHz"), QStringLiteral("10MHz"), QStringLiteral("5MHz"),
                      QStringLiteral("2MHz"), QStringLiteral("1MHz"), QStringLiteral("500KHz"),
                      QStringLiteral("200KHz"), QStringLiteral("100KHz")});

    // Device buttons.
    Command1[0] = makeButton(this, QStringLiteral("Command1(0)"), QStringLiteral("Setting"), false);
    place(Command1[0], 2850, 490, 975, 495);
    Command1[2] = makeButton(this, QStringLiteral("Command1(2)"), QStringLiteral("DataRead"), false);
    place(Command1[2], 3825, 490, 975, 495);
    Command1[2]->setEnabled(false);
    Command1[3] = makeButton(this, QStringLiteral("Command1(3)"), QStringLiteral("Set Read"), false);
    place(Command1[3], 2850, 995, 975, 495);
    Command1[1] = makeButton(this, QStringLiteral("Command1(1)"), QStringLiteral("Run"), false);
    place(Command1[1], 3825, 995, 975, 495);
    Command1[1]->setEnabled(false);

    // Measurement length.
    Label3[1] = makeLabel(this, QStringLiteral("Label3(1)"),
                          QStringLiteral("Measurement Time   Max 3.2767ms"), Qt::AlignHCenter);
    place(Label3[1], 4920, 195, 2850, 180);
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    place(Slider1, 4875, 450, 1950, 285);
    Slider1->setRange(0, 32767);
    Slider1->setValue(32767);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(5);
    Text1 = new QLineEdit(QStringLiteral("3.2767ms"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAlignment(Qt::AlignHCenter);
    Text1->setFrame(true);
    place(Text1, 6855, 450, 945, 270);

    // Magnification and readouts.
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Mag ×10"), Qt::AlignRight);
    place(Label1, 4890, 1050, 735, 180);
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    place(VScroll1, 5670, 900, 375, 495);
    VScroll1->setRange(0, 6);
    VScroll1->setValue(3);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(1);
    Label2 = makeLabel(this, QStringLiteral("Label2"), QString(), Qt::AlignHCenter);
    place(Label2, 6120, 900, 1680, 195);
    setBackground(Label2, QColor(192, 192, 255));
    Label4 = makeLabel(this, QStringLiteral("Label4"), QString(), Qt::AlignHCenter);
    place(Label4, 6120, 1200, 1680, 195);
    setBackground(Label4, QColor(192, 255, 192));

    // Mode.
    Frame4 = makeFrame(this, QStringLiteral("Frame4"));
    place(Frame4, 7860, 60, 795, 975);
    Option4[0] = makeButton(Frame4, QStringLiteral("Option4(0)"), QStringLiteral("Logic"), true);
    place(Option4[0], 0, 0, 795, 435);
    Option4[1] = makeButton(Frame4, QStringLiteral("Option4(1)"), QStringLiteral("Analog"), true);
    place(Option4[1], 0, 540, 795, 435);

    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    place(Combo2, 7860, 1140, 825, 300);
    fillList(Combo2, {QStringLiteral("   ×0.2"), QStringLiteral("   ×1"), QStringLiteral("   ×2"),
                      QStringLiteral("   ×4"), QStringLiteral("   ×10")});
    Combo2->setEnabled(false);

    // Trigger level.
    Label8 = makeLabel(this, QStringLiteral("Label8"), QStringLiteral("Trigger"), Qt::AlignHCenter);
    place(Label8, 8740, 360, 555, 180);
    Label7 = makeLabel(this, QStringLiteral("Label7"), QStringLiteral("2.5V"), Qt::AlignHCenter);
    place(Label7, 8740, 660, 555, 165);
    VScroll2 = new QScrollBar(Qt::Vertical, this);
    VScroll2->setObjectName(QStringLiteral("VScroll2"));
    place(VScroll2, 8820, 960, 375, 495);
    VScroll2->setRange(0, 255);
    VScroll2->setValue(127);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 9345, 180, 1860, 645);
    Image1->setPixmap(drawLogo());
    Image1->setScaledContents(true);

    Command2[0] = makeButton(this, QStringLiteral("Command2(0)"), QStringLiteral("Load"), false);
    place(Command2[0], 9420, 960, 795, 495);
    Command2[1] = makeButton(this, QStringLiteral("Command2(1)"), QStringLiteral("Save"), false);
    place(Command2[1], 10380, 960, 795, 495);

    // Every control but Command2 uses the proportional font; Command2 keeps the window's.
    for (QWidget *w : findChildren<QWidget *>())
        if (w != Command2[0] && w != Command2[1])
            w->setFont(cf);

    // The drawing area: a 2-pixel sunken border around the 741 x 465 picture.
    Picture1Border = new QFrame(this);
    Picture1Border->setObjectName(QStringLiteral("Picture1Border"));
    Picture1Border->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1Border->setLineWidth(2);
    place(Picture1Border, 60, 1560, 11175, 7035);
    Picture1 = new PictureBox(Picture1Border);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(2, 2, 741, 465);
    Picture1->setFont(cf);

    const QColor windowText = palette().color(QPalette::WindowText);
    const QColor guide(128, 128, 255);
    for (int k = 0; k < 8; ++k) {
        auto &l = Picture1->line(PictureBox::line3(k));
        l = LineObject{40, float(36 * (k + 1)), 740, float(36 * (k + 1)), guide, Qt::SolidLine, true};
    }
    Picture1->line(PictureBox::line3(8)) = LineObject{40, 300, 740, 300, guide, Qt::DotLine, true};
    Picture1->line(PictureBox::line3(9)) = LineObject{40, 370, 740, 370, QColor(192, 0, 0), Qt::SolidLine, true};
    Picture1->line(PictureBox::line3(10)) = LineObject{40, 440, 740, 440, guide, Qt::DotLine, true};
    Picture1->line(PictureBox::line3(11))
        = LineObject{40, 2, 40, 445, palette().color(QPalette::Button), Qt::SolidLine, true};
    Picture1->line(PictureBox::Line1) = LineObject{90, 3, 90, 445, windowText, Qt::DotLine, true};
    Picture1->line(PictureBox::Line2) = LineObject{140, 3, 140, 445, QColor(255, 0, 0), Qt::DotLine, true};
    Picture1->line(PictureBox::Line4) = LineObject{40, 405, 740, 405, windowText, Qt::DashDotDotLine, true};
    Picture1->line(PictureBox::Line5) = LineObject{40, 335, 740, 335, QColor(255, 0, 0), Qt::DashDotDotLine, true};

    Label3[2] = new ChannelNameColumn(Picture1);
    Label3[2]->setObjectName(QStringLiteral("Label3(2)"));
    Label3[2]->setGeometry(-1, -1, 37, 466);
    Label3[2]->setFont(cf);

    Label5 = makeLabel(Picture1, QStringLiteral("Label5"), QStringLiteral("測定中"), Qt::AlignHCenter);
    Label5->setGeometry(278, 159, 180, 48);
    Label5->setFont(bannerFont());
    Label5->setAlignment(Qt::AlignCenter);
    {
        QPalette pal = Label5->palette();
        pal.setColor(QPalette::WindowText, QColor(128, 0, 0));
        pal.setColor(QPalette::Window, QColor(128, 255, 255));
        Label5->setPalette(pal);
        Label5->setAutoFillBackground(true);
    }
    Label5->setVisible(false);

    Label6 = makeLabel(Picture1, QStringLiteral("Label6"), QStringLiteral("0"), Qt::AlignHCenter);
    Label6->setGeometry(2, 450, 35, 13);

    HScroll1 = new QScrollBar(Qt::Horizontal, Picture1);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setGeometry(36, 448, 705, 17);
    HScroll1->setRange(0, 0);

    // Option groups are exclusive within their frame.
    auto group = [this](QPushButton *const *buttons, int n, const QString &name) {
        auto *g = new QButtonGroup(this);
        g->setObjectName(name);
        g->setExclusive(true);
        for (int i = 0; i < n; ++i)
            g->addButton(buttons[i], i);
        return g;
    };
    Option1Group = group(Option1, 2, QStringLiteral("Option1"));
    Option2Group = group(Option2, 4, QStringLiteral("Option2"));
    Option3Group = group(Option3, 4, QStringLiteral("Option3"));
    Option4Group = group(Option4, 2, QStringLiteral("Option4"));
    Option1[0]->setChecked(true);
    Option2[2]->setChecked(true);
    Option3[0]->setChecked(true);
    Option4[0]->setChecked(true);

    MSComm1 = new SerialPortService(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    // Scroll bars are reached with Tab like the other controls and then follow
    // the arrow keys; Qt's scroll bars take no focus by themselves.
    for (QScrollBar *s : {VScroll1, VScroll2, HScroll1})
        s->setFocusPolicy(Qt::StrongFocus);

    fitLabelsToFont();
    setTabOrder();
}

// The named Japanese fonts are not on every system, and the fallbacks are
// taller: a label that cannot show one line of its font grows around its
// centre, and a caption wider than its box widens it.
void Form1::fitLabelsToFont()
{
    for (QLabel *l : {Label1, Label2, Label3[0], Label3[1], Label3[3], Label4, Label6, Label7, Label8}) {
        const QFontMetrics fm(l->font());
        QRect r = l->geometry();
        const int needH = fm.height();
        if (r.height() < needH) {
            const int grow = needH - r.height();
            r.setTop(r.top() - grow / 2);
            r.setHeight(needH);
        }
        // The measurement-time caption changes at run time: fit its longest form.
        const QString widest = l == Label3[1] ? QStringLiteral("Measurement Time   Max 327.67ms") : l->text();
        const int needW = fm.horizontalAdvance(widest) + 2;
        if (l != Label2 && l != Label4 && r.width() < needW) {
            const int grow = needW - r.width();
            if (l->alignment() & Qt::AlignRight)
                r.setLeft(r.left() - grow);
            else if (l->alignment() & Qt::AlignHCenter)
                r.adjust(-grow / 2, 0, grow - grow / 2, 0);
            else
                r.setWidth(needW);
        }
        l->setGeometry(r);
        l->setAlignment((l->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
}

void Form1::setTabOrder()
{
    QList<QWidget *> order;
    order << Command1[0] << Command1[1] << Command1[3];
    for (auto *b : Option1) order << b;
    for (auto *b : Option2) order << b;
    for (auto *b : Option3) order << b;
    for (auto *b : Check1) order << b;
    order << Combo1 << Text1;
    for (auto *b : Option4) order << b;
    order << VScroll1 << HScroll1 << Picture1 << Slider1 << Command1[2] << Command2[0] << Command2[1]
          << Combo2 << VScroll2;
    for (int i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

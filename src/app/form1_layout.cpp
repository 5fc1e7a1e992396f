// The window and its controls in their design state.
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <algorithm>
#include <functional>

#include "app/channel_column.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "display/magnification.h"
#include "display/readouts.h"
#include "settings/rate_table.h"

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

namespace {

// ---- fitting captions to their controls

// Captions shrink in half points, never below 7 pt.
constexpr qreal kSmallestPointSize = 7.0;
constexpr qreal kPointSizeStep = 0.5;

// The factors of the input-range list (Combo2).
constexpr float kRangeFactors[] = {0.2f, 1.0f, 2.0f, 4.0f, 10.0f};

// A time cursor reaches 10 pixels past the field of the last view start:
// 100 sample periods at the smallest magnification (1/10).
constexpr int kCursorReach = 100;

int longestCapture(bool analog) { return analog ? wire::ANALOG_MAX_LENGTH : wire::LOGIC_MAX_LENGTH; }

float periodOf(bool analog, int rate)
{
    float period = 0.0f;
    rates::periodUs(analog, rate, &period);
    return period;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Texts that differ only in their digits are fitted as one: a digit is
// always measured as the widest digit of the font.
QStringList digitPatterns(const QStringList &texts)
{
    QStringList patterns;
    for (QString t : texts) {
        for (QChar &c : t)
            if (isDigit(c))
                c = QLatin1Char('0');
        if (!patterns.contains(t))
            patterns << t;
    }
    return patterns;
}

int widestAdvance(const QFontMetrics &fm, const QStringList &patterns)
{
    QChar widestDigit = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (fm.horizontalAdvance(QLatin1Char(d)) > fm.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(d);
    int widest = 0;
    for (QString t : patterns) {
        for (QChar &c : t)
            if (isDigit(c))
                c = widestDigit;
        widest = std::max(widest, fm.horizontalAdvance(t));
    }
    return widest;
}

// Whether the ink of every text, drawn as one line centred in a box `height`
// pixels tall the way a label centres it, stays inside the box.
bool inkFitsHeight(const QFont &font, const QStringList &texts, int height)
{
    const QFontMetricsF fm(font);
    const qreal baseline = (height - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
    for (const QString &t : texts) {
        if (t.isEmpty())
            continue;
        const QRectF ink = fm.tightBoundingRect(t); // relative to the baseline
        if (baseline + ink.top() < 0 || baseline + ink.bottom() > height)
            return false;
    }
    return true;
}

// First and last free pixel along one axis.
struct Span {
    int lo, hi;
};

// The stretch along one axis that a box of `self` (in its parent's
// coordinates) may take: bounded by the parent and by every other child of the
// parent that shares rows (horizontally) or columns (vertically) with the box,
// shown or hidden.
Span freeSpan(const QWidget *self, const QRect &box, Qt::Orientation o)
{
    const QWidget *parent = self->parentWidget();
    const bool across = o == Qt::Horizontal;
    Span s{0, (across ? parent->width() : parent->height()) - 1};
    for (const QObject *child : parent->children()) {
        const auto *w = qobject_cast<const QWidget *>(child);
        if (!w || w == self || w->isWindow())
            continue;
        const QRect g = w->geometry();
        const bool shares = across ? g.top() <= box.bottom() && g.bottom() >= box.top()
                                   : g.left() <= box.right() && g.right() >= box.left();
        if (!shares)
            continue;
        const bool beyond = across ? g.center().x() > box.center().x() : g.center().y() > box.center().y();
        if (beyond)
            s.hi = std::min(s.hi, (across ? g.left() : g.top()) - 1);
        else
            s.lo = std::max(s.lo, (across ? g.right() : g.bottom()) + 1);
    }
    return s;
}

// Keeps [lo, hi] inside `room` and grows it to `need` pixels there: towards
// the end `toward` points to (-1 start, +1 end, 0 both evenly) first, then
// towards the other end.
void fitSpan(int &lo, int &hi, int need, Span room, int toward)
{
    lo = std::max(lo, room.lo);
    hi = std::min(hi, room.hi);
    const int missing = need - (hi - lo + 1);
    if (missing <= 0)
        return;
    int before = toward < 0 ? missing : toward > 0 ? 0 : missing / 2;
    int after = missing - before;
    const int roomBefore = std::max(0, lo - room.lo);
    const int roomAfter = std::max(0, room.hi - hi);
    if (after > roomAfter) {
        before += after - roomAfter;
        after = roomAfter;
    }
    if (before > roomBefore) {
        after = std::min(roomAfter, after + before - roomBefore);
        before = roomBefore;
    }
    lo -= before;
    hi += after;
}

enum class LabelRoom {
    FixedBox,       // keeps its box
    Taller,         // grows to one line of its font, keeps its width (a coloured box)
    TallerAndWider, // also widens into the free room beside it
};

// Fits a label to the widest of its caption and `texts` at the largest size of
// its font that fits.
void fitLabel(QLabel *l, QStringList texts, LabelRoom room)
{
    texts << l->text();
    const QStringList patterns = digitPatterns(texts);
    const QRect designed = l->geometry();
    const Qt::Alignment horizontal = l->alignment() & Qt::AlignHorizontal_Mask;
    const int toward = (horizontal & Qt::AlignLeft) ? 1 : (horizontal & Qt::AlignRight) ? -1 : 0;
    QFont font = l->font();
    const qreal designedSize = font.pointSizeF();
    QRect r;
    for (qreal size = designedSize;; size -= kPointSizeStep) {
        font.setPointSizeF(size);
        const QFontMetrics fm(font);
        const int textWidth = widestAdvance(fm, patterns);
        r = designed;
        if (room != LabelRoom::FixedBox) {
            int top = r.top(), bottom = r.bottom();
            fitSpan(top, bottom, fm.height(), freeSpan(l, r, Qt::Vertical), 0);
            r.setTop(top);
            r.setBottom(bottom);
        }
        if (room == LabelRoom::TallerAndWider) {
            // A pixel of air on either side where the room allows.
            int left = r.left(), right = r.right();
            fitSpan(left, right, textWidth + 2, freeSpan(l, r, Qt::Horizontal), toward);
            r.setLeft(left);
            r.setRight(right);
        }
        const bool fits = textWidth <= r.width() && inkFitsHeight(font, patterns, r.height());
        if (fits || size - kPointSizeStep < kSmallestPointSize)
            break;
    }
    if (font.pointSizeF() != designedSize)
        l->setFont(font);
    l->setGeometry(r);
    l->setAlignment(horizontal | Qt::AlignVCenter);
}

// Shrinks the font of a control whose box stays as it is until the widest
// text is at most `room` pixels wide.
void shrinkToFit(QWidget *w, const QStringList &texts, int room)
{
    const QStringList patterns = digitPatterns(texts);
    QFont font = w->font();
    const qreal designedSize = font.pointSizeF();
    while (widestAdvance(QFontMetrics(font), patterns) > room
           && font.pointSizeF() - kPointSizeStep >= kSmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - kPointSizeStep);
    if (font.pointSizeF() != designedSize)
        w->setFont(font);
}

// A button centres its caption (and any of `texts` it shows later) in the
// style's contents area.
void fitButton(QPushButton *b, QStringList texts)
{
    texts << b->text();
    QStyleOptionButton o;
    o.initFrom(b);
    o.text = b->text();
    shrinkToFit(b, texts, b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b).width());
}

// A list shows its current entry one pixel inside its edit field.
void fitList(QComboBox *c, const QStringList &entries)
{
    QStyleOptionComboBox o;
    o.initFrom(c);
    o.editable = c->isEditable();
    o.frame = c->hasFrame();
    const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, c);
    shrinkToFit(c, entries, field.width() - 2);
}

// A line edit keeps its text margins and two more pixels on either side.
void fitLengthBox(QLineEdit *e, QStringList texts)
{
    texts << e->text();
    QStyleOptionFrame o;
    o.initFrom(e);
    o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
    o.midLineWidth = 0;
    o.state |= QStyle::State_Sunken;
    const QMargins m = e->textMargins();
    const int room = e->style()->subElementRect(QStyle::SE_LineEditContents, &o, e).width() - m.left()
        - m.right() - 4;
    shrinkToFit(e, texts, room);
}

// ---- the texts captions take at run time

QStringList magnificationCaptions()
{
    QStringList texts;
    MagnificationStep step;
    for (int v = 0; LookupMagnification(v, &step); ++v)
        texts << step.label;
    return texts;
}

// The length of the longest capture at every rate of both modes: the widest
// text the length box and the measurement-time caption show.
QStringList measurementLengths()
{
    QStringList texts;
    for (bool analog : {false, true})
        for (int rate = 0; rate < rates::kCount; ++rate)
            texts << UpdateReadoutsText(periodOf(analog, rate), longestCapture(analog), false);
    return texts;
}

QStringList measurementCaptions()
{
    QStringList texts;
    for (const QString &length : measurementLengths())
        texts << QStringLiteral("Measurement Time   Max ") + length;
    return texts;
}

// The time between the cursors with its frequency, either way round, at the
// longest capture and at the farthest a cursor reaches past it, at every rate
// of both modes: there the time has the most digits, and across the rates
// these include the widest readout of all counts (which
// tests/test_caption_fit.cpp measures one by one).
QStringList cursorTimeReadouts()
{
    QStringList texts;
    for (bool analog : {false, true})
        for (int rate = 0; rate < rates::kCount; ++rate)
            for (int count : {longestCapture(analog), longestCapture(analog) + kCursorReach})
                for (int sign : {1, -1})
                    texts << UpdateReadoutsText(periodOf(analog, rate), sign * count, true);
    return texts;
}

// The voltage cursors stay in the 140 pixels of the analog band.
QStringList voltageReadouts()
{
    QStringList texts;
    for (float factor : kRangeFactors)
        for (int dy = -140; dy <= 140; ++dy)
            texts << VoltageText(float(dy), 0.0f, factor);
    return texts;
}

QStringList triggerLevelReadouts()
{
    QStringList texts;
    for (float factor : kRangeFactors)
        for (int v = 0; v <= 255; ++v)
            texts << TriggerLevelText(v, factor);
    return texts;
}

} // namespace

// The positions were laid out for the named Japanese fonts, which are not on
// every system; the fallbacks are wider and taller. Every caption is fitted to
// its control in the longest form it takes at run time, in either mode:
// - a label takes one line of its font and the width of its widest text from
//   the free room around it, never reaching into another control;
// - where that room (or the control's own box) is too small, the caption's
//   font shrinks to the largest size that fits, not below 7 pt.
namespace {

// Runs a fitting once, when the label is about to be shown for the first time.
class FitOnFirstShow : public QObject {
public:
    using Fit = std::function<void(QLabel *)>;
    static void install(QLabel *label, Fit fit) { label->installEventFilter(new FitOnFirstShow(label, std::move(fit))); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent()) {
            auto *label = static_cast<QLabel *>(parent());
            label->removeEventFilter(this);
            fit_(label);
            deleteLater();
        }
        return false;
    }

private:
    FitOnFirstShow(QLabel *label, Fit fit) : QObject(label), fit_(std::move(fit)) {}
    Fit fit_;
};

} // namespace

// Buttons, lists and the length box keep their places and sizes. The drawing
// area's captions (view start and banner) keep their boxes; the name column
// fits its names itself.
void Form1::fitLabelsToFont()
{
    fitLabel(Label3[0], {}, LabelRoom::TallerAndWider);
    fitLabel(Label3[3], {}, LabelRoom::TallerAndWider);
    fitLabel(Label3[1], measurementCaptions(), LabelRoom::TallerAndWider);
    fitLabel(Label1, magnificationCaptions(), LabelRoom::TallerAndWider);
    // The readouts' coloured boxes keep their width.
    fitLabel(Label2, cursorTimeReadouts(), LabelRoom::Taller);
    fitLabel(Label4, voltageReadouts(), LabelRoom::Taller);
    fitLabel(Label8, {}, LabelRoom::TallerAndWider);
    fitLabel(Label7, triggerLevelReadouts(), LabelRoom::TallerAndWider);
    // The banner is hidden until a device button is pressed, and its big
    // bold face is the slowest to load of all: it is fitted when it is first
    // shown, not before the window's first paint.
    FitOnFirstShow::install(Label5, [](QLabel *l) {
        fitLabel(l, {QStringLiteral("測定中"), QStringLiteral("設定中"), QStringLiteral("読込中")}, LabelRoom::FixedBox);
    });

    // The view-start readout under the name column: one line of its font,
    // grown around its centre.
    {
        QRect r = Label6->geometry();
        const int needH = QFontMetrics(Label6->font()).height();
        if (r.height() < needH) {
            r.setTop(r.top() - (needH - r.height()) / 2);
            r.setHeight(needH);
        }
        Label6->setGeometry(r);
        Label6->setAlignment((Label6->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }

    fitButton(Option1[0], {QStringLiteral("Level"), QStringLiteral("level"), QStringLiteral("Trigger")});
    fitButton(Option1[1], {QStringLiteral("Pattern"), QStringLiteral("FreeRun")});
    for (QPushButton *b : Option2)
        fitButton(b, {});
    for (QPushButton *b : Option3)
        fitButton(b, {QStringLiteral("Trigger"), QStringLiteral("N/A")});
    for (QPushButton *b : Check1)
        fitButton(b, {QStringLiteral("0"), QStringLiteral("1")});
    fitButton(Command1[0], {});
    fitButton(Command1[1], {QStringLiteral("Run"), QStringLiteral("Stop")});
    fitButton(Command1[2], {});
    fitButton(Command1[3], {});
    for (QPushButton *b : Option4)
        fitButton(b, {});
    for (QPushButton *b : Command2)
        fitButton(b, {});

    fitList(Combo1, rates::logicEntries() + rates::analogEntries());
    QStringList ranges;
    for (int i = 0; i < Combo2->count(); ++i)
        ranges << Combo2->itemText(i);
    fitList(Combo2, ranges);
    fitLengthBox(Text1, measurementLengths());
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

// The window as it stands before Form_Load: every control with its name,
// kind, container, place, caption and state, the drawing area with its line
// objects, the tab order and the option groups.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <cctype>
#include <cmath>
#include <set>
#include <ostream>
#include <string>

#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"

namespace {

// Twips to pixels at 96 dpi, to the nearest pixel.
int px(int twips) { return int(std::lround(twips / 15.0)); }

QRect box(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

class DesignState : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Form1::endProgram = [](int) {}; }
    Form1 form{PortChoice{PortChoice::Detached, {}}};

    template <typename T = QWidget>
    T *control(const char *name)
    {
        T *w = form.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

// ---------------------------------------------------------------- control table

enum Toggle { NotToggle = -1, Off = 0, On = 1 };

struct ControlCase {
    const char *name;
    const char *kind;      // Qt class the control is (or derives from)
    const char *container; // objectName of the parent widget
    int left, top, width, height; // twips
    const char *caption;   // UTF-8; nullptr: the control has no caption
    bool enabled;
    bool hidden;
    Toggle toggle;
};

void PrintTo(const ControlCase &c, std::ostream *os) { *os << c.name; }

const ControlCase kControls[] = {
    {"Frame1", "QFrame", "Form1", 105, 0, 2670, 435, nullptr, true, false, NotToggle},
    {"Option1(0)", "QPushButton", "Frame1", 0, 60, 1305, 375, "Level", true, false, On},
    {"Option1(1)", "QPushButton", "Frame1", 1320, 60, 1305, 375, "Pattern", true, false, Off},
    {"Frame2", "QFrame", "Form1", 105, 495, 2655, 435, nullptr, true, false, NotToggle},
    {"Option2(0)", "QPushButton", "Frame2", 0, 0, 645, 375, "Ｈ ＝", true, false, Off},
    {"Option2(1)", "QPushButton", "Frame2", 660, 0, 645, 375, "Ｌ ≠", true, false, Off},
    {"Option2(2)", "QPushButton", "Frame2", 1320, 0, 645, 375, "↑ ＝", true, false, On},
    {"Option2(3)", "QPushButton", "Frame2", 1980, 0, 645, 375, "↓ ≠", true, false, Off},
    {"Frame3", "QFrame", "Form1", 60, 900, 2715, 615, nullptr, true, false, NotToggle},
    {"Label3(0)", "QLabel", "Frame3", 0, 0, 2535, 195, "    CH1     CH2      CH3     CH4", true, false,
     NotToggle},
    {"Option3(0)", "QPushButton", "Frame3", 60, 180, 645, 375, "Trigger", true, false, On},
    {"Option3(1)", "QPushButton", "Frame3", 720, 180, 645, 375, "N/A", true, false, Off},
    {"Option3(2)", "QPushButton", "Frame3", 1380, 180, 645, 375, "N/A", true, false, Off},
    {"Option3(3)", "QPushButton", "Frame3", 2040, 180, 645, 375, "N/A", true, false, Off},
    {"Check1(0)", "QPushButton", "Frame3", 60, 180, 645, 375, "1", true, true, On},
    {"Check1(1)", "QPushButton", "Frame3", 720, 180, 645, 375, "0", true, true, Off},
    {"Check1(2)", "QPushButton", "Frame3", 1380, 180, 645, 375, "1", true, true, On},
    {"Check1(3)", "QPushButton", "Frame3", 2040, 180, 645, 375, "0", true, true, Off},
    {"Label3(3)", "QLabel", "Form1", 2955, 120, 750, 180, "Smpl.Freq", true, false, NotToggle},
    {"Combo1", "QComboBox", "Form1", 3765, 75, 1020, 300, nullptr, true, false, NotToggle},
    {"Command1(0)", "QPushButton", "Form1", 2850, 490, 975, 495, "Setting", true, false, NotToggle},
    {"Command1(2)", "QPushButton", "Form1", 3825, 490, 975, 495, "DataRead", false, false, NotToggle},
    {"Command1(3)", "QPushButton", "Form1", 2850, 995, 975, 495, "Set Read", true, false, NotToggle},
    {"Command1(1)", "QPushButton", "Form1", 3825, 995, 975, 495, "Run", false, false, NotToggle},
    {"Label3(1)", "QLabel", "Form1", 4920, 195, 2850, 180, "Measurement Time   Max 3.2767ms", true, false,
     NotToggle},
    {"Slider1", "QSlider", "Form1", 4875, 450, 1950, 285, nullptr, true, false, NotToggle},
    {"Text1", "QLineEdit", "Form1", 6855, 450, 945, 270, "3.2767ms", true, false, NotToggle},
    {"Label1", "QLabel", "Form1", 4890, 1050, 735, 180, "Mag ×10", true, false, NotToggle},
    {"VScroll1", "QScrollBar", "Form1", 5670, 900, 375, 495, nullptr, true, false, NotToggle},
    {"Label2", "QLabel", "Form1", 6120, 900, 1680, 195, "", true, false, NotToggle},
    {"Label4", "QLabel", "Form1", 6120, 1200, 1680, 195, "", true, false, NotToggle},
    {"Frame4", "QFrame", "Form1", 7860, 60, 795, 975, nullptr, true, false, NotToggle},
    {"Option4(0)", "QPushButton", "Frame4", 0, 0, 795, 435, "Logic", true, false, On},
    {"Option4(1)", "QPushButton", "Frame4", 0, 540, 795, 435, "Analog", true, false, Off},
    {"Combo2", "QComboBox", "Form1", 7860, 1140, 825, 300, nullptr, false, false, NotToggle},
    {"Label8", "QLabel", "Form1", 8740, 360, 555, 180, "Trigger", true, false, NotToggle},
    {"Label7", "QLabel", "Form1", 8740, 660, 555, 165, "2.5V", true, false, NotToggle},
    {"VScroll2", "QScrollBar", "Form1", 8820, 960, 375, 495, nullptr, true, false, NotToggle},
    {"Image1", "QLabel", "Form1", 9345, 180, 1860, 645, nullptr, true, false, NotToggle},
    {"Command2(0)", "QPushButton", "Form1", 9420, 960, 795, 495, "Load", true, false, NotToggle},
    {"Command2(1)", "QPushButton", "Form1", 10380, 960, 795, 495, "Save", true, false, NotToggle},
    // Inside the drawing area (pixels of the inner area).
    {"Label3(2)", "QLabel", "Picture1", -15, -15, 555, 6990, nullptr, true, false, NotToggle},
    {"Label5", "QLabel", "Picture1", 4170, 2385, 2700, 720, "測定中", true, true, NotToggle},
    {"Label6", "QLabel", "Picture1", 30, 6750, 525, 195, "0", true, false, NotToggle},
    {"HScroll1", "QScrollBar", "Picture1", 540, 6720, 10575, 255, nullptr, true, false, NotToggle},
};

class ControlTable : public DesignState, public ::testing::WithParamInterface<ControlCase> {};

QString captionOf(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    return QStringLiteral("<no caption>");
}

TEST_P(ControlTable, MatchesTheDesign)
{
    const ControlCase &c = GetParam();
    QWidget *w = control(c.name);
    ASSERT_NE(w, nullptr);

    EXPECT_TRUE(w->inherits(c.kind)) << c.name << " is a " << w->metaObject()->className();
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.container)) << c.name;

    const QRect designed = box(c.left, c.top, c.width, c.height);
    if (qobject_cast<QLabel *>(w) && w->objectName() != QLatin1String("Image1")
        && w->objectName() != QLatin1String("Label3(2)") && w->objectName() != QLatin1String("Label5")) {
        // Text labels may have grown to fit the font, never shrunk or moved away;
        // only Label3(0) gives up its last row, which lies on the channel buttons.
        QRect kept = designed;
        if (w->objectName() == QLatin1String("Label3(0)"))
            kept.setBottom(kept.bottom() - 1);
        EXPECT_TRUE(w->geometry().contains(kept))
            << c.name << " at " << w->geometry().x() << "," << w->geometry().y() << " "
            << w->geometry().width() << "x" << w->geometry().height();
    } else {
        EXPECT_EQ(w->geometry(), designed) << c.name;
    }

    if (c.caption) {
        EXPECT_EQ(captionOf(w), QString::fromUtf8(c.caption)) << c.name;
    }

    EXPECT_EQ(w->isEnabled(), c.enabled) << c.name;
    EXPECT_EQ(w->isHidden(), c.hidden) << c.name;

    if (c.toggle != NotToggle) {
        auto *b = qobject_cast<QPushButton *>(w);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(b->isCheckable()) << c.name;
        EXPECT_EQ(b->isChecked(), c.toggle == On) << c.name;
    } else if (auto *b = qobject_cast<QPushButton *>(w)) {
        EXPECT_FALSE(b->isCheckable()) << c.name;
    }
}

std::string caseName(const ::testing::TestParamInfo<ControlCase> &info)
{
    std::string s;
    for (const char *p = info.param.name; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            s += *p;
        else if (*p == '(')
            s += '_';
    return s;
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTable, ::testing::ValuesIn(kControls), caseName);

TEST_F(DesignState, EveryNamedControlExistsOnce)
{
    for (const ControlCase &c : kControls)
        EXPECT_EQ(form.findChildren<QWidget *>(QString::fromLatin1(c.name)).size(), 1) << c.name;
}

// ---------------------------------------------------------------- window

TEST_F(DesignState, WindowIsFixedAndTitled)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Logic Analyzer"));
    EXPECT_EQ(form.size(), QSize(752, 576));
    EXPECT_EQ(form.minimumSize(), QSize(752, 576));
    EXPECT_EQ(form.maximumSize(), QSize(752, 576));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.isWindow());
    EXPECT_FALSE(form.isVisible()) << "shown only after start-up";
}

TEST_F(DesignState, FontsOfWindowAndControls)
{
    EXPECT_TRUE(form.font().families().contains(QStringLiteral("ＭＳ ゴシック")));
    EXPECT_EQ(form.font().pointSize(), 9);
    // Command2 keeps the window's font; every other control has the proportional one.
    for (const char *name : {"Command2(0)", "Command2(1)"})
        EXPECT_EQ(control(name)->font(), form.font()) << name;
    for (const ControlCase &c : kControls) {
        QWidget *w = control(c.name);
        if (!w || QString::fromLatin1(c.name).startsWith(QLatin1String("Command2")))
            continue;
        // A caption too wide or too tall for its control in the fallback font is
        // drawn a little smaller (tests/test_caption_fit.cpp), never below 7 pt.
        if (QLatin1String(c.name) == QLatin1String("Label5")) {
            EXPECT_LE(w->font().pointSizeF(), 36.0);
            EXPECT_GE(w->font().pointSizeF(), 30.0);
            continue;
        }
        EXPECT_TRUE(w->font().families().contains(QStringLiteral("ＭＳ Ｐゴシック"))) << c.name;
        EXPECT_LE(w->font().pointSizeF(), 9.0) << c.name;
        EXPECT_GE(w->font().pointSizeF(), 7.0) << c.name;
    }
}

TEST_F(DesignState, SerialControlIsAnInvisibleObject)
{
    QObject *comm = form.findChild<QObject *>(QStringLiteral("MSComm1"));
    ASSERT_NE(comm, nullptr);
    EXPECT_FALSE(comm->isWidgetType());
    EXPECT_EQ(comm, static_cast<QObject *>(form.MSComm1));
}

TEST_F(DesignState, NoHandlerRanDuringConstruction)
{
    // The design values that start-up later replaces are still there.
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Mag ×10"));
    EXPECT_EQ(form.Label7->text(), QStringLiteral("2.5V"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("3.2767ms"));
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_EQ(form.state.Magnification, 0.0f);
    EXPECT_EQ(form.state.SamplePeriodUs, 0.0f);
    EXPECT_EQ(form.state.VoltageScale, 0.0f);
    EXPECT_TRUE(form.Command2[1]->isEnabled());
}

// ---------------------------------------------------------------- lists, ranges, tags

TEST_F(DesignState, ListsHoldTheirEntriesWithNothingSelected)
{
    auto *combo1 = control<QComboBox>("Combo1");
    auto *combo2 = control<QComboBox>("Combo2");
    ASSERT_TRUE(combo1 && combo2);
    const QStringList rates{"20MHz", "10MHz", "5MHz", "2MHz", "1MHz", "500KHz", "200KHz", "100KHz"};
    const QStringList ranges{QStringLiteral("   ×0.2"), QStringLiteral("   ×1"), QStringLiteral("   ×2"),
                             QStringLiteral("   ×4"), QStringLiteral("   ×10")};
    ASSERT_EQ(combo1->count(), rates.size());
    for (int i = 0; i < rates.size(); ++i)
        EXPECT_EQ(combo1->itemText(i), rates[i]) << i;
    ASSERT_EQ(combo2->count(), ranges.size());
    for (int i = 0; i < ranges.size(); ++i)
        EXPECT_EQ(combo2->itemText(i), ranges[i]) << i;
    EXPECT_EQ(combo1->currentIndex(), -1);
    EXPECT_EQ(combo2->currentIndex(), -1);
}

struct RangeCase {
    const char *name;
    Qt::Orientation orientation;
    int minimum, maximum, value;
};

void PrintTo(const RangeCase &c, std::ostream *os) { *os << c.name; }

class RangeTable : public DesignState, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeTable, RangeAndValue)
{
    const RangeCase &c = GetParam();
    auto *s = control<QAbstractSlider>(c.name);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->orientation(), c.orientation);
    EXPECT_EQ(s->minimum(), c.minimum);
    EXPECT_EQ(s->maximum(), c.maximum);
    EXPECT_EQ(s->value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangeTable,
                         ::testing::Values(RangeCase{"Slider1", Qt::Horizontal, 0, 32767, 32767},
                                           RangeCase{"VScroll1", Qt::Vertical, 0, 6, 3},
                                           RangeCase{"VScroll2", Qt::Vertical, 0, 255, 127},
                                           RangeCase{"HScroll1", Qt::Horizontal, 0, 0, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DesignState, ConditionButtonsCarryTheirTags)
{
    const char *const tags[4] = {"2", "0", "3", "1"};
    for (int i = 0; i < 4; ++i) {
        QWidget *b = control(QStringLiteral("Option2(%1)").arg(i).toLatin1().constData());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->property("tag").toString(), QString::fromLatin1(tags[i])) << i;
    }
}

TEST_F(DesignState, TextAlignments)
{
    struct {
        const char *name;
        Qt::Alignment horizontal;
    } const cases[] = {
        {"Label1", Qt::AlignRight},   {"Label2", Qt::AlignHCenter}, {"Label4", Qt::AlignHCenter},
        {"Label3(1)", Qt::AlignHCenter}, {"Label5", Qt::AlignHCenter}, {"Label6", Qt::AlignHCenter},
        {"Label7", Qt::AlignHCenter}, {"Label8", Qt::AlignHCenter}, {"Label3(0)", Qt::AlignLeft},
        {"Label3(3)", Qt::AlignLeft},
    };
    for (const auto &c : cases) {
        auto *l = control<QLabel>(c.name);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->alignment() & Qt::AlignHorizontal_Mask, c.horizontal) << c.name;
    }
    auto *text1 = control<QLineEdit>("Text1");
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(DesignState, LabelColours)
{
    struct {
        const char *name;
        QRgb background;
    } const cases[] = {
        {"Label2", qRgb(192, 192, 255)},
        {"Label4", qRgb(192, 255, 192)},
        {"Label3(2)", qRgb(255, 255, 240)},
        {"Label5", qRgb(128, 255, 255)},
    };
    for (const auto &c : cases) {
        QWidget *w = control(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->autoFillBackground()) << c.name;
        EXPECT_EQ(w->palette().color(QPalette::Window).rgb(), c.background) << c.name;
    }
    EXPECT_EQ(control("Label5")->palette().color(QPalette::WindowText).rgb(), qRgb(128, 0, 0));
    EXPECT_EQ(control("Label2")->palette().color(QPalette::WindowText), form.palette().color(QPalette::WindowText));
}

TEST_F(DesignState, LogoIsStretchedToItsBox)
{
    auto *image = control<QLabel>("Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->hasScaledContents());
    EXPECT_EQ(image->pixmap().size(), QSize(88, 31));
}

// ---------------------------------------------------------------- drawing area

TEST_F(DesignState, DrawingAreaSitsInsideASunkenBorder)
{
    QWidget *picture = control("Picture1");
    ASSERT_NE(picture, nullptr);
    auto *border = qobject_cast<QFrame *>(picture->parentWidget());
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->parentWidget(), &form);
    EXPECT_EQ(border->geometry(), box(60, 1560, 11175, 7035));
    EXPECT_EQ(border->size(), QSize(745, 469));
    EXPECT_EQ(border->frameWidth(), 2);
    EXPECT_EQ(border->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(picture->geometry(), QRect(2, 2, 741, 465));
    EXPECT_EQ(border->contentsRect(), picture->geometry());
    EXPECT_EQ(picture, static_cast<QWidget *>(form.Picture1));
}

TEST_F(DesignState, DrawingAreaPaintsTheTooltipBackground)
{
    const QImage image = form.Picture1->grab().toImage();
    ASSERT_EQ(image.size(), QSize(741, 465));
    // Between the row lines, right of the name column and clear of the cursors.
    EXPECT_EQ(image.pixelColor(300, 20).rgb(), form.Picture1->palette().color(QPalette::ToolTipBase).rgb());
    EXPECT_EQ(image.pixelColor(600, 200).rgb(), form.Picture1->palette().color(QPalette::ToolTipBase).rgb());
}

enum class Colour { WindowText, ButtonFace, Rgb };

struct LineCase {
    const char *name;
    int id;
    float x1, y1, x2, y2;
    Colour colour;
    QRgb rgb;
    Qt::PenStyle style;
};

void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }

const QRgb kGuide = qRgb(128, 128, 255);

const LineCase kLines[] = {
    {"Line3_0", PictureBox::line3(0), 40, 36, 740, 36, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_1", PictureBox::line3(1), 40, 72, 740, 72, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_2", PictureBox::line3(2), 40, 108, 740, 108, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_3", PictureBox::line3(3), 40, 144, 740, 144, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_4", PictureBox::line3(4), 40, 180, 740, 180, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_5", PictureBox::line3(5), 40, 216, 740, 216, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_6", PictureBox::line3(6), 40, 252, 740, 252, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_7", PictureBox::line3(7), 40, 288, 740, 288, Colour::Rgb, kGuide, Qt::SolidLine},
    {"Line3_8", PictureBox::line3(8), 40, 300, 740, 300, Colour::Rgb, kGuide, Qt::DotLine},
    {"Line3_9", PictureBox::line3(9), 40, 370, 740, 370, Colour::Rgb, qRgb(192, 0, 0), Qt::SolidLine},
    {"Line3_10", PictureBox::line3(10), 40, 440, 740, 440, Colour::Rgb, kGuide, Qt::DotLine},
    {"Line3_11", PictureBox::line3(11), 40, 2, 40, 445, Colour::ButtonFace, 0, Qt::SolidLine},
    {"Line1", PictureBox::Line1, 90, 3, 90, 445, Colour::WindowText, 0, Qt::DotLine},
    {"Line2", PictureBox::Line2, 140, 3, 140, 445, Colour::Rgb, qRgb(255, 0, 0), Qt::DotLine},
    {"Line4", PictureBox::Line4, 40, 405, 740, 405, Colour::WindowText, 0, Qt::DashDotDotLine},
    {"Line5", PictureBox::Line5, 40, 335, 740, 335, Colour::Rgb, qRgb(255, 0, 0), Qt::DashDotDotLine},
};

class LineTable : public DesignState, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineTable, EndPointsColourStyle)
{
    const LineCase &c = GetParam();
    const LineObject &l = form.Picture1->line(c.id);
    EXPECT_EQ(l.x1, c.x1);
    EXPECT_EQ(l.y1, c.y1);
    EXPECT_EQ(l.x2, c.x2);
    EXPECT_EQ(l.y2, c.y2);
    EXPECT_EQ(l.style, c.style);
    EXPECT_TRUE(l.visible);
    QRgb expected = c.rgb;
    if (c.colour == Colour::WindowText)
        expected = form.palette().color(QPalette::WindowText).rgb();
    else if (c.colour == Colour::ButtonFace)
        expected = form.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(l.color.rgb(), expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, LineTable, ::testing::ValuesIn(kLines),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DesignState, ChannelColumnCaption)
{
    auto *column = control<QLabel>("Label3(2)");
    ASSERT_NE(column, nullptr);
    const QChar fs(0x3000); // full-width space
    QString expected = QString(fs) + "__CH1" + QString(7, fs);
    for (int ch = 2; ch <= 7; ++ch)
        expected += QStringLiteral("__CH%1").arg(ch) + QString(8, fs);
    expected += "__CH8" + QString(29, fs) + "Analog";
    EXPECT_EQ(column->text(), expected);
    // Spot checks on the counts, independent of the loop above.
    EXPECT_EQ(column->text().count(fs), 1 + 7 + 6 * 8 + 29);
    EXPECT_TRUE(column->text().startsWith(QString(fs) + "__CH1" + QString(7, fs) + "__CH2"));
    EXPECT_TRUE(column->text().endsWith("__CH8" + QString(29, fs) + "Analog"));
    EXPECT_TRUE(column->wordWrap());
    // The column is what the plot's 40-pixel left margin leaves free.
    EXPECT_LE(column->geometry().right(), 40);
}

// ---------------------------------------------------------------- tab order

TEST_F(DesignState, TabOrder)
{
    const QStringList expected{
        "Command1(0)", "Command1(1)", "Command1(3)", "Option1(0)", "Option1(1)", "Option2(0)",
        "Option2(1)",  "Option2(2)",  "Option2(3)",  "Option3(0)", "Option3(1)", "Option3(2)",
        "Option3(3)",  "Check1(0)",   "Check1(1)",   "Check1(2)",  "Check1(3)",  "Combo1",
        "Text1",       "Option4(0)",  "Option4(1)",  "VScroll1",   "HScroll1",   "Picture1",
        "Slider1",     "Command1(2)", "Command2(0)", "Command2(1)", "Combo2",    "VScroll2"};

    QWidget *first = control("Command1(0)");
    ASSERT_NE(first, nullptr);
    QStringList chain;
    QWidget *w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w != &form)
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first && chain.size() <= expected.size() + 20);
    EXPECT_EQ(chain.join(' ').toStdString(), expected.join(' ').toStdString());

    // Every control of the list can take the focus with the Tab key.
    for (const QString &name : expected)
        EXPECT_TRUE(control(name.toLatin1().constData())->focusPolicy() & Qt::TabFocus) << name.toStdString();
}

// ---------------------------------------------------------------- option groups

TEST_F(DesignState, OptionsAndChecksAreCheckablePushButtons)
{
    for (auto *b : form.Option1) EXPECT_TRUE(b->isCheckable());
    for (auto *b : form.Option2) EXPECT_TRUE(b->isCheckable());
    for (auto *b : form.Option3) EXPECT_TRUE(b->isCheckable());
    for (auto *b : form.Option4) EXPECT_TRUE(b->isCheckable());
    for (auto *b : form.Check1) {
        EXPECT_TRUE(b->isCheckable());
        EXPECT_EQ(b->group(), nullptr) << "check boxes are independent";
        EXPECT_FALSE(b->autoExclusive());
    }
}

struct GroupCase {
    const char *prefix;
    const char *frame;
    int members;
    int selected;
};

void PrintTo(const GroupCase &c, std::ostream *os) { *os << c.prefix; }

const GroupCase kGroups[] = {
    {"Option1", "Frame1", 2, 0},
    {"Option2", "Frame2", 4, 2},
    {"Option3", "Frame3", 4, 0},
    {"Option4", "Frame4", 2, 0},
};

QPushButton *member(Form1 &form, const GroupCase &g, int i)
{
    return form.findChild<QPushButton *>(QStringLiteral("%1(%2)").arg(QLatin1String(g.prefix)).arg(i));
}

class OptionGroupTable : public DesignState, public ::testing::WithParamInterface<GroupCase> {};

TEST_P(OptionGroupTable, OneGroupPerFrame)
{
    const GroupCase &g = GetParam();
    QButtonGroup *group = member(form, g, 0)->group();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->exclusive());
    EXPECT_EQ(group->buttons().size(), g.members);
    for (int i = 0; i < g.members; ++i) {
        QPushButton *b = member(form, g, i);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->group(), group);
        EXPECT_EQ(b->parentWidget()->objectName(), QString::fromLatin1(g.frame));
    }
}

TEST_P(OptionGroupTable, SelectingOneClearsOnlyItsOwnGroup)
{
    const GroupCase &g = GetParam();
    const int pick = (g.selected + 1) % g.members;
    member(form, g, pick)->click();
    for (int i = 0; i < g.members; ++i)
        EXPECT_EQ(member(form, g, i)->isChecked(), i == pick) << g.prefix << "(" << i << ")";
    for (const GroupCase &other : kGroups) {
        if (&other == &g || QLatin1String(other.prefix) == QLatin1String(g.prefix))
            continue;
        for (int i = 0; i < other.members; ++i)
            EXPECT_EQ(member(form, other, i)->isChecked(), i == other.selected) << other.prefix << "(" << i << ")";
    }
    // Check boxes are untouched by any option group.
    EXPECT_TRUE(form.Check1[0]->isChecked());
    EXPECT_FALSE(form.Check1[1]->isChecked());
    EXPECT_TRUE(form.Check1[2]->isChecked());
    EXPECT_FALSE(form.Check1[3]->isChecked());

    // Clicking the selected button again keeps it selected.
    member(form, g, pick)->click();
    EXPECT_TRUE(member(form, g, pick)->isChecked());
}

INSTANTIATE_TEST_SUITE_P(Groups, OptionGroupTable, ::testing::ValuesIn(kGroups),
                         [](const auto &info) { return std::string(info.param.prefix); });

TEST_F(DesignState, FramesDrawNothing)
{
    for (const char *name : {"Frame1", "Frame2", "Frame3", "Frame4"}) {
        auto *f = control<QFrame>(name);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->frameShape(), QFrame::NoFrame) << name;
        EXPECT_EQ(f->frameWidth(), 0) << name;
        EXPECT_FALSE(f->autoFillBackground()) << name;
    }
}

TEST_F(DesignState, CheckBoxesToggleIndependently)
{
    form.Check1[1]->click();
    form.Check1[0]->click();
    EXPECT_FALSE(form.Check1[0]->isChecked());
    EXPECT_TRUE(form.Check1[1]->isChecked());
    EXPECT_TRUE(form.Check1[2]->isChecked());
    EXPECT_FALSE(form.Check1[3]->isChecked());
}

} // namespace

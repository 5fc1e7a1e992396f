// Every caption of the window fits its control, in the control's own font and
// in every form it takes at run time, in Logic and in Analog mode; and no label
// reaches into another control.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <cctype>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>

#include "app/channel_column.h"
#include "app/form1.h"
#include "device/wire_protocol.h"
#include "display/magnification.h"
#include "display/readouts.h"
#include "settings/rate_table.h"
#include "support/form_fixture.h"

namespace {

enum class Mode { Logic, Analog };

const char *modeName(Mode m) { return m == Mode::Logic ? "Logic" : "Analog"; }
void PrintTo(Mode m, std::ostream *os) { *os << modeName(m); }

// The factors of the input-range list (Combo2).
constexpr float kRangeFactors[] = {0.2f, 1.0f, 2.0f, 4.0f, 10.0f};

int longestCapture(Mode m) { return m == Mode::Analog ? wire::ANALOG_MAX_LENGTH : wire::LOGIC_MAX_LENGTH; }

float periodOf(Mode m, int rate)
{
    float period = 0.0f;
    rates::periodUs(m == Mode::Analog, rate, &period);
    return period;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Texts that differ only in their digits stand for one another: each digit is
// measured as the widest digit of the font (see widestForm). This keeps the
// enumerations below short enough to measure.
class Patterns {
public:
    void add(QString t)
    {
        for (QChar &c : t)
            if (isDigit(c))
                c = QLatin1Char('0');
        set_.insert(t);
    }
    QStringList list() const { return QStringList(set_.begin(), set_.end()); }

private:
    QSet<QString> set_;
};

QStringList patternsOf(const QStringList &texts)
{
    Patterns p;
    for (const QString &t : texts)
        p.add(t);
    return p.list();
}

QString widestForm(const QFontMetrics &fm, const QStringList &patterns, int *width)
{
    QChar widestDigit = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (fm.horizontalAdvance(QLatin1Char(d)) > fm.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(d);
    QString widest;
    *width = -1;
    for (QString t : patterns) {
        for (QChar &c : t)
            if (isDigit(c))
                c = widestDigit;
        if (fm.horizontalAdvance(t) > *width) {
            *width = fm.horizontalAdvance(t);
            widest = t;
        }
    }
    return widest;
}

// ---------------------------------------------------------------- run-time texts

using Forms = QStringList (*)(QWidget *control, Mode);

QStringList own(QWidget *w, Mode)
{
    if (auto *b = qobject_cast<QPushButton *>(w))
        return {b->text()};
    return {qobject_cast<QLabel *>(w)->text()};
}

QStringList entries(QWidget *w, Mode)
{
    auto *c = qobject_cast<QComboBox *>(w);
    QStringList texts;
    for (int i = 0; i < c->count(); ++i)
        texts << c->itemText(i);
    return texts;
}

QStringList magnifications(QWidget *, Mode)
{
    QStringList texts;
    MagnificationStep step;
    for (int v = 0; LookupMagnification(v, &step); ++v)
        texts << step.label;
    return texts;
}

// Between the time cursors, either way round: a cursor reaches 100 sample
// periods past the longest capture (10 pixels at magnification 1/10).
QStringList cursorTimes(QWidget *, Mode m)
{
    Patterns p;
    const int reach = longestCapture(m) + 100;
    for (int rate = 0; rate < rates::kCount; ++rate)
        for (int count = -reach; count <= reach; ++count)
            p.add(UpdateReadoutsText(periodOf(m, rate), count, true));
    return p.list();
}

// The length box shows every slider position.
QStringList lengths(QWidget *w, Mode m)
{
    Patterns p;
    for (int rate = 0; rate < rates::kCount; ++rate)
        for (int count = 0; count <= longestCapture(m); ++count)
            p.add(UpdateReadoutsText(periodOf(m, rate), count, false));
    p.add(qobject_cast<QLineEdit *>(w)->text());
    return p.list();
}

QStringList measurementTimes(QWidget *w, Mode m)
{
    QStringList texts = own(w, m);
    for (int rate = 0; rate < rates::kCount; ++rate)
        texts << QStringLiteral("Measurement Time   Max ")
                + UpdateReadoutsText(periodOf(m, rate), longestCapture(m), false);
    return texts;
}

QStringList voltages(QWidget *, Mode)
{
    Patterns p;
    for (float factor : kRangeFactors)
        for (int y4 = 300; y4 <= 440; ++y4)
            for (int y5 : {300, 440})
                p.add(VoltageText(float(y4), float(y5), factor));
    return p.list();
}

QStringList triggerLevels(QWidget *w, Mode m)
{
    QStringList texts = own(w, m);
    for (float factor : kRangeFactors)
        for (int v = 0; v <= 255; ++v)
            texts << TriggerLevelText(v, factor);
    return texts;
}

QStringList banners(QWidget *, Mode)
{
    return {QStringLiteral("測定中"), QStringLiteral("設定中"), QStringLiteral("読込中")};
}

QStringList viewStarts(QWidget *, Mode m)
{
    return {QString::number(HScrollMaximumFor(longestCapture(m), 10.0f))};
}

QStringList triggerOrNone(QWidget *, Mode) { return {QStringLiteral("Trigger"), QStringLiteral("N/A")}; }
QStringList checkValues(QWidget *, Mode) { return {QStringLiteral("0"), QStringLiteral("1")}; }
QStringList runOrStop(QWidget *, Mode) { return {QStringLiteral("Run"), QStringLiteral("Stop")}; }
QStringList triggerKinds(QWidget *w, Mode m)
{
    const bool first = w->objectName().endsWith(QLatin1String("(0)"));
    if (m == Mode::Analog)
        return {first ? QStringLiteral("Trigger") : QStringLiteral("FreeRun")};
    if (first)
        return {QStringLiteral("Level"), QStringLiteral("level")};
    return {QStringLiteral("Pattern")};
}

struct CaptionCase {
    const char *control;
    Forms forms;
};

void PrintTo(const CaptionCase &c, std::ostream *os) { *os << c.control; }

const CaptionCase kCaptions[] = {
    {"Label1", magnifications},   {"Label2", cursorTimes},       {"Label3(0)", own},
    {"Label3(1)", measurementTimes}, {"Label3(3)", own},         {"Label4", voltages},
    {"Label5", banners},          {"Label6", viewStarts},        {"Label7", triggerLevels},
    {"Label8", own},              {"Option1(0)", triggerKinds},  {"Option1(1)", triggerKinds},
    {"Option2(0)", own},          {"Option2(1)", own},           {"Option2(2)", own},
    {"Option2(3)", own},          {"Option3(0)", triggerOrNone}, {"Option3(1)", triggerOrNone},
    {"Option3(2)", triggerOrNone}, {"Option3(3)", triggerOrNone}, {"Check1(0)", checkValues},
    {"Check1(1)", checkValues},   {"Check1(2)", checkValues},    {"Check1(3)", checkValues},
    {"Command1(0)", own},         {"Command1(1)", runOrStop},    {"Command1(2)", own},
    {"Command1(3)", own},         {"Option4(0)", own},           {"Option4(1)", own},
    {"Command2(0)", own},         {"Command2(1)", own},          {"Combo1", entries},
    {"Combo2", entries},          {"Text1", lengths},
};

// ---------------------------------------------------------------- room for a caption

// Whether the ink of every text, drawn as one line vertically centred in a box
// `height` pixels tall, stays inside the box.
bool inkFitsHeight(const QFont &font, const QStringList &texts, int height, QString *offender)
{
    const QFontMetricsF fm(font);
    const qreal baseline = (height - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
    for (const QString &t : texts) {
        if (t.isEmpty())
            continue;
        const QRectF ink = fm.tightBoundingRect(t);
        if (baseline + ink.top() < 0 || baseline + ink.bottom() > height) {
            *offender = t;
            return false;
        }
    }
    return true;
}

// The width a control draws its caption in.
int captionRoom(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->contentsRect().width();
    if (auto *b = qobject_cast<QPushButton *>(w)) {
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = b->text();
        return b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b).width();
    }
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox o;
        o.initFrom(c);
        o.editable = c->isEditable();
        o.frame = c->hasFrame();
        return c->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, c).width() - 2;
    }
    auto *e = qobject_cast<QLineEdit *>(w);
    QStyleOptionFrame o;
    o.initFrom(e);
    o.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, e) : 0;
    o.state |= QStyle::State_Sunken;
    const QMargins m = e->textMargins();
    return e->style()->subElementRect(QStyle::SE_LineEditContents, &o, e).width() - m.left() - m.right() - 4;
}

// ---------------------------------------------------------------- fixtures

std::unique_ptr<Form1> formIn(Mode m)
{
    auto form = MakeDetachedForm();
    if (m == Mode::Analog) {
        form->Option4[1]->click();
        DeliverEvents();
    }
    return form;
}

std::string identifier(const char *name)
{
    std::string s;
    for (const char *p = name; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            s += *p;
        else if (*p == '(')
            s += '_';
    return s;
}

class CaptionFit : public ::testing::TestWithParam<std::tuple<Mode, CaptionCase>> {};

TEST_P(CaptionFit, LongestFormFitsInTheControlsFont)
{
    const Mode mode = std::get<0>(GetParam());
    const CaptionCase &c = std::get<1>(GetParam());
    const auto form = formIn(mode);
    ASSERT_EQ(form->isAnalogMode(), mode == Mode::Analog);
    QWidget *w = form->findChild<QWidget *>(QString::fromLatin1(c.control));
    ASSERT_NE(w, nullptr) << c.control;
    if (w->isHidden()) { // the banner is fitted when it first shows, as a device button shows it
        form->show();
        w->show();
        DeliverEvents();
    }

    const QStringList patterns = patternsOf(c.forms(w, mode));
    ASSERT_FALSE(patterns.isEmpty());
    const QFontMetrics fm(w->font());
    int width = 0;
    const QString widest = widestForm(fm, patterns, &width);
    EXPECT_LE(width, captionRoom(w)) << c.control << " in " << modeName(mode) << ": \"" << widest.toStdString()
                                     << "\" at " << w->font().pointSizeF() << " pt";
    EXPECT_GE(w->font().pointSizeF(), 7.0) << c.control;

    if (auto *l = qobject_cast<QLabel *>(w)) {
        ASSERT_TRUE(l->alignment() & Qt::AlignVCenter) << c.control;
        QString offender;
        EXPECT_TRUE(inkFitsHeight(l->font(), patterns, l->contentsRect().height(), &offender))
            << c.control << ": \"" << offender.toStdString() << "\" in " << l->height() << " rows";
    }
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionFit,
                         ::testing::Combine(::testing::Values(Mode::Logic, Mode::Analog),
                                            ::testing::ValuesIn(kCaptions)),
                         [](const auto &info) {
                             return std::string(modeName(std::get<0>(info.param))) + "_"
                                 + identifier(std::get<1>(info.param).control);
                         });

class EitherMode : public ::testing::TestWithParam<Mode> {};

// Labels outside the drawing area stay inside their container and clear of
// every other control there, shown or hidden (the channel toggles share the
// channel buttons' places). The drawing area keeps its captions where they
// have always been: the view-start readout lies on the name column.
TEST_P(EitherMode, LabelsStayClearOfOtherControls)
{
    const auto form = formIn(GetParam());
    for (const char *name : {"Label1", "Label2", "Label3(0)", "Label3(1)", "Label3(3)", "Label4", "Label7", "Label8"}) {
        auto *l = form->findChild<QLabel *>(QString::fromLatin1(name));
        ASSERT_NE(l, nullptr) << name;
        const QRect r = l->geometry();
        EXPECT_TRUE(l->parentWidget()->rect().contains(r)) << name;
        for (QObject *o : l->parentWidget()->children()) {
            auto *other = qobject_cast<QWidget *>(o);
            if (!other || other == l || other->isWindow())
                continue;
            EXPECT_FALSE(r.intersects(other->geometry()))
                << name << " reaches into " << other->objectName().toStdString();
        }
    }
}

TEST_P(EitherMode, ChannelNamesFitTheColumn)
{
    const auto form = formIn(GetParam());
    auto *column = form->findChild<ChannelNameColumn *>(QStringLiteral("Label3(2)"));
    ASSERT_NE(column, nullptr);
    for (int row = 0; row < ChannelNameColumn::kNames; ++row) {
        const QFont f = column->nameFont(row);
        const QRect r = column->nameRect(row);
        EXPECT_GE(f.pointSizeF(), 7.0) << row;
        EXPECT_LE(QFontMetrics(f).horizontalAdvance(ChannelNameColumn::name(row)), r.width())
            << ChannelNameColumn::name(row).toStdString();
        EXPECT_TRUE(column->rect().contains(r)) << row;
        QString offender;
        EXPECT_TRUE(inkFitsHeight(f, {ChannelNameColumn::name(row)}, r.height(), &offender)) << row;
    }
    // Names that fit keep the column's font.
    EXPECT_EQ(column->nameFont(0), column->font());
}

INSTANTIATE_TEST_SUITE_P(Modes, EitherMode, ::testing::Values(Mode::Logic, Mode::Analog),
                         [](const auto &info) { return std::string(modeName(info.param)); });

} // namespace

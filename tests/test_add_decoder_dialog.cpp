// The "Add decoder" dialog: finding a decoder, mapping its channels, typing
// its options, stacking decoders, and loading a stack back for editing.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "decode/decode_request.h"
#include "decode/decoder_catalog.h"
#include "panels/add_decoder_dialog.h"

namespace {

#define LOAD_CATALOG_OR_SKIP(catalog)                                                                        \
    const auto catalog = LoadDecoderCatalog();                                                               \
    if (!catalog->error().isEmpty())                                                                         \
    GTEST_SKIP() << "decoder library unusable: " << qPrintable(catalog->error())

template <typename T> T *Find(const AddDecoderDialog &dialog, const QString &name)
{
    T *widget = dialog.findChild<T *>(name);
    EXPECT_NE(widget, nullptr) << qPrintable(name);
    return widget;
}

QTreeWidgetItem *CatalogItem(const AddDecoderDialog &dialog, const QString &id)
{
    QTreeWidget *list = Find<QTreeWidget>(dialog, QStringLiteral("decoderCatalogList"));
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == id)
            return list->topLevelItem(i);
    }
    return nullptr;
}

void Choose(AddDecoderDialog &dialog, const QString &id)
{
    QTreeWidgetItem *item = CatalogItem(dialog, id);
    ASSERT_NE(item, nullptr) << qPrintable(id);
    item->treeWidget()->setCurrentItem(item);
}

bool OkEnabled(const AddDecoderDialog &dialog)
{
    return Find<QDialogButtonBox>(dialog, QStringLiteral("buttons"))->button(QDialogButtonBox::Ok)->isEnabled();
}

QString Text(const AddDecoderDialog &dialog) { return FormatDecoderStack(dialog.stack()); }

TEST(AddDecoderDialog, SearchMatchesAnyColumnIgnoringCase)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    ASSERT_NE(CatalogItem(dialog, QStringLiteral("i2c")), nullptr);
    // Stacked-only decoders are offered under stacking, not in the list.
    EXPECT_EQ(CatalogItem(dialog, QStringLiteral("eeprom24xx")), nullptr);

    Find<QLineEdit>(dialog, QStringLiteral("decoderSearch"))->setText(QStringLiteral("UArt"));
    EXPECT_FALSE(CatalogItem(dialog, QStringLiteral("uart"))->isHidden());
    EXPECT_TRUE(CatalogItem(dialog, QStringLiteral("i2c"))->isHidden());
    EXPECT_TRUE(CatalogItem(dialog, QStringLiteral("spi"))->isHidden());

    Find<QLineEdit>(dialog, QStringLiteral("decoderSearch"))->setText(QStringLiteral("multi-master serial"));
    EXPECT_FALSE(CatalogItem(dialog, QStringLiteral("i2c"))->isHidden()) << "words of the description";
    EXPECT_TRUE(CatalogItem(dialog, QStringLiteral("spi"))->isHidden());
}

TEST(AddDecoderDialog, EnterInTheSearchChoosesTheMatchWithoutClosing)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    dialog.show();
    Choose(dialog, QStringLiteral("i2c"));
    auto *search = Find<QLineEdit>(dialog, QStringLiteral("decoderSearch"));
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("uart"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.stack().decoders.at(0).id, QStringLiteral("uart"));
}

TEST(AddDecoderDialog, NothingChosenCannotBeAccepted)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    EXPECT_FALSE(dialog.canAccept());
    EXPECT_FALSE(OkEnabled(dialog));
    EXPECT_FALSE(dialog.problem().isEmpty());
    EXPECT_TRUE(dialog.stack().decoders.empty());

    AddDecoderDialog withoutCatalog(nullptr);
    EXPECT_FALSE(withoutCatalog.canAccept());
}

TEST(AddDecoderDialog, UartTakesTheFirstInputsAndCanBeAdded)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    Choose(dialog, QStringLiteral("uart"));
    EXPECT_EQ(Find<QComboBox>(dialog, QStringLiteral("channel_rx"))->currentText(), QStringLiteral("CH1"));
    EXPECT_EQ(Find<QComboBox>(dialog, QStringLiteral("channel_tx"))->currentText(), QStringLiteral("CH2"));
    EXPECT_TRUE(dialog.canAccept()) << qPrintable(dialog.problem());
    EXPECT_TRUE(OkEnabled(dialog));
    EXPECT_EQ(Text(dialog), QStringLiteral("uart:rx=CH1:tx=CH2"));
    EXPECT_TRUE(Find<QLabel>(dialog, QStringLiteral("decoderDescription"))->text().contains(QStringLiteral("Universal")));

    // Both lines of UART are optional, but one must be read.
    Find<QComboBox>(dialog, QStringLiteral("channel_tx"))->setCurrentIndex(0);
    EXPECT_EQ(Text(dialog), QStringLiteral("uart:rx=CH1"));
    Find<QComboBox>(dialog, QStringLiteral("channel_rx"))->setCurrentIndex(0);
    EXPECT_FALSE(OkEnabled(dialog));
}

TEST(AddDecoderDialog, UnmappedRequiredChannelBlocksOk)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    Choose(dialog, QStringLiteral("i2c"));
    ASSERT_TRUE(OkEnabled(dialog)) << qPrintable(dialog.problem());
    Find<QComboBox>(dialog, QStringLiteral("channel_sda"))->setCurrentIndex(0);
    EXPECT_FALSE(dialog.canAccept());
    EXPECT_FALSE(OkEnabled(dialog));
    EXPECT_TRUE(dialog.problem().contains(QStringLiteral("SDA"))) << qPrintable(dialog.problem());
    Find<QComboBox>(dialog, QStringLiteral("channel_sda"))->setCurrentText(QStringLiteral("CH8"));
    EXPECT_TRUE(OkEnabled(dialog));
    EXPECT_EQ(Text(dialog), QStringLiteral("i2c:scl=CH1:sda=CH8"));
}

TEST(AddDecoderDialog, InvalidOptionTextIsNamedAndBlocksOk)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    Choose(dialog, QStringLiteral("uart"));
    auto *baudrate = Find<QLineEdit>(dialog, QStringLiteral("option_baudrate"));
    ASSERT_NE(baudrate, nullptr);
    EXPECT_EQ(baudrate->text(), QStringLiteral("115200"));
    baudrate->setText(QStringLiteral("abc"));
    EXPECT_FALSE(OkEnabled(dialog));
    EXPECT_TRUE(dialog.problem().contains(QStringLiteral("baudrate"))) << qPrintable(dialog.problem());
    baudrate->setText(QStringLiteral("9600"));
    EXPECT_TRUE(OkEnabled(dialog)) << qPrintable(dialog.problem());
    EXPECT_EQ(dialog.stack().decoders.at(0).options.at(QStringLiteral("baudrate")), QVariant(qint64(9600)));
    // An emptied field shows the default as its placeholder, and the default applies.
    baudrate->clear();
    EXPECT_TRUE(OkEnabled(dialog)) << qPrintable(dialog.problem());
    EXPECT_EQ(dialog.stack().decoders.at(0).options.count(QStringLiteral("baudrate")), 0u);
}

TEST(AddDecoderDialog, ListOptionRoundTrips)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    Choose(dialog, QStringLiteral("uart"));
    auto *parity = Find<QComboBox>(dialog, QStringLiteral("option_parity"));
    ASSERT_NE(parity, nullptr);
    EXPECT_EQ(parity->currentText(), QStringLiteral("none"));
    parity->setCurrentText(QStringLiteral("even"));
    Find<QComboBox>(dialog, QStringLiteral("option_stop_bits"))->setCurrentText(QStringLiteral("1.5"));
    const QString text = Text(dialog);
    EXPECT_EQ(text, QStringLiteral("uart:rx=CH1:tx=CH2:parity=even:stop_bits=1.5"));

    DecoderStack parsed;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(text, *catalog, &parsed, &error)) << qPrintable(error);
    AddDecoderDialog again(catalog);
    again.setStack(parsed);
    EXPECT_EQ(Find<QComboBox>(again, QStringLiteral("option_parity"))->currentText(), QStringLiteral("even"));
    EXPECT_EQ(Text(again), text);
}

TEST(AddDecoderDialog, StacksAndUnstacksOnI2c)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    AddDecoderDialog dialog(catalog);
    Choose(dialog, QStringLiteral("i2c"));
    auto *candidates = Find<QComboBox>(dialog, QStringLiteral("stackCandidates"));
    EXPECT_EQ(candidates->currentIndex(), 0) << "a candidate is ready to stack";
    const int eeprom = candidates->findData(QStringLiteral("eeprom24xx"));
    ASSERT_GE(eeprom, 0);
    candidates->setCurrentIndex(eeprom);
    Find<QPushButton>(dialog, QStringLiteral("stackButton"))->click();
    EXPECT_EQ(Text(dialog), QStringLiteral("i2c:scl=CH1:sda=CH2,eeprom24xx"));
    EXPECT_TRUE(OkEnabled(dialog)) << qPrintable(dialog.problem());

    // The newly stacked decoder's options are shown; selecting i2c shows its own.
    auto *stackList = Find<QListWidget>(dialog, QStringLiteral("stackList"));
    EXPECT_EQ(stackList->count(), 2);
    EXPECT_NE(dialog.findChild<QComboBox *>(QStringLiteral("option_chip")), nullptr);
    stackList->setCurrentRow(0);
    EXPECT_EQ(dialog.findChild<QComboBox *>(QStringLiteral("option_chip")), nullptr);
    Find<QComboBox>(dialog, QStringLiteral("option_address_format"))->setCurrentText(QStringLiteral("unshifted"));
    stackList->setCurrentRow(1);
    Find<QLineEdit>(dialog, QStringLiteral("option_addr_counter"))->setText(QStringLiteral("16"));
    EXPECT_EQ(Text(dialog), QStringLiteral("i2c:scl=CH1:sda=CH2:address_format=unshifted,eeprom24xx:addr_counter=16"));

    Find<QPushButton>(dialog, QStringLiteral("unstackButton"))->click();
    EXPECT_EQ(Text(dialog), QStringLiteral("i2c:scl=CH1:sda=CH2:address_format=unshifted"));
    EXPECT_FALSE(Find<QPushButton>(dialog, QStringLiteral("unstackButton"))->isEnabled());
}

TEST(AddDecoderDialog, EditingAStackGivesItBack)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    for (const QString &text : {QStringLiteral("uart:rx=CH3:baudrate=9600"),
                               QStringLiteral("i2c:scl=CH5:sda=CH6,eeprom24xx:chip=st_m24c02")}) {
        DecoderStack parsed;
        QString error;
        ASSERT_TRUE(ParseDecoderStack(text, *catalog, &parsed, &error)) << qPrintable(error);
        AddDecoderDialog dialog(catalog);
        dialog.setStack(parsed);
        EXPECT_EQ(Text(dialog), text);
        EXPECT_TRUE(OkEnabled(dialog)) << qPrintable(dialog.problem());
        EXPECT_FALSE(Find<QLabel>(dialog, QStringLiteral("stackNote"))->isVisibleTo(&dialog));
    }
}

TEST(AddDecoderDialog, AStackItCannotHoldIsReportedNotLoaded)
{
    LOAD_CATALOG_OR_SKIP(catalog);
    DecoderStack stack;
    stack.decoders.push_back({QStringLiteral("uart"), {{QStringLiteral("rx"), 0}, {QStringLiteral("bogus"), 1}},
                              {{QStringLiteral("parity"), QStringLiteral("sideways")}}});
    stack.decoders.push_back({QStringLiteral("no_such_decoder"), {}, {}});
    AddDecoderDialog dialog(catalog);
    dialog.setStack(stack);
    EXPECT_EQ(Text(dialog), QStringLiteral("uart:rx=CH1"));
    const QString note = Find<QLabel>(dialog, QStringLiteral("stackNote"))->text();
    EXPECT_TRUE(note.contains(QStringLiteral("bogus")) && note.contains(QStringLiteral("no_such_decoder")) &&
                note.contains(QStringLiteral("sideways")))
        << qPrintable(note);

    dialog.setStack(DecoderStack{{{QStringLiteral("eeprom24xx"), {}, {}}}});
    EXPECT_FALSE(dialog.canAccept());
    EXPECT_TRUE(dialog.stack().decoders.empty());
}

} // namespace

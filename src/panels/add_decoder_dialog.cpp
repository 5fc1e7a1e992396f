#include "panels/add_decoder_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "panels/decoder_option_field.h"

namespace {

constexpr int kInputs = 8;
constexpr int kIdRole = Qt::UserRole;
constexpr int kSearchTextRole = Qt::UserRole + 1;
const QString kNotMapped = QStringLiteral("—");

QString SearchText(const DecoderInfo &d)
{
    return QStringList{d.id, d.name, d.longName, d.description, d.tags.join(QLatin1Char(' '))}
        .join(QLatin1Char('\n'))
        .toLower();
}

QString DecoderTitle(const DecoderInfo &d)
{
    return QStringLiteral("%1 — %2%3").arg(d.id, d.name, d.fromUserFolder ? QStringLiteral(" (yours)") : QString());
}

// The catalogue's columns.
enum Column { IdColumn, NameColumn, DescriptionColumn, TagsColumn, FolderColumn, ColumnCount };

// "~/.local/share/..." for a folder under the home folder.
QString Tilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home || path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return QDir::toNativeSeparators(path);
}

// Replaces the page of a scroll area. The old page may still be delivering
// the signal that led here, so it goes later; taken out of the area it is no
// longer a child of the dialog.
void SetPage(QScrollArea *area, QWidget *page)
{
    if (QWidget *old = area->takeWidget())
        old->deleteLater();
    area->setWidget(page);
}

QScrollArea *MakeScrollArea(const QString &name)
{
    auto *area = new QScrollArea;
    area->setObjectName(name);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

} // namespace

AddDecoderDialog::AddDecoderDialog(std::shared_ptr<const DecoderCatalog> catalog, QWidget *parent)
    : QDialog(parent), draft_(std::move(catalog))
{
    setWindowTitle(QStringLiteral("Add decoder"));

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(makeCatalogSide());
    splitter->addWidget(makeStackSide());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("stackNote"));
    note_->setWordWrap(true);
    note_->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    note_->hide();
    problem_ = new QLabel;
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText); // option values and decoder messages may hold "<"
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->setObjectName(QStringLiteral("buttons"));
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (canAccept())
            accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(note_);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);

    // Sized for a 1280×800 screen with a panel and window frame around it.
    resize(1120, 680);
    splitter->setSizes({680, 440});
    fillCatalogList();
    showDecoders(-1);
    search_->setFocus();
}

QWidget *AddDecoderDialog::makeCatalogSide()
{
    search_ = new QLineEdit;
    search_->setObjectName(QStringLiteral("decoderSearch"));
    search_->setPlaceholderText(QStringLiteral("Search decoders by name, description or tag"));
    search_->setClearButtonEnabled(true);
    search_->installEventFilter(this);
    connect(search_, &QLineEdit::textChanged, this, &AddDecoderDialog::filterCatalogList);

    catalogList_ = new QTreeWidget;
    catalogList_->setObjectName(QStringLiteral("decoderCatalogList"));
    catalogList_->setHeaderLabels({QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("Description"),
                                   QStringLiteral("Tags"), QStringLiteral("Folder")});
    catalogList_->setRootIsDecorated(false);
    catalogList_->setUniformRowHeights(true);
    catalogList_->setAlternatingRowColors(true);
    catalogList_->header()->setStretchLastSection(false);
    catalogList_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    catalogList_->setColumnWidth(0, 105);
    catalogList_->setColumnWidth(1, 125);
    catalogList_->setColumnWidth(3, 150);
    catalogList_->setColumnWidth(FolderColumn, 60);
    connect(catalogList_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item && draft_.catalog())
            chooseBottomDecoder(draft_.catalog()->find(item->data(0, kIdRole).toString()));
    });

    decoderText_ = new QLabel;
    decoderText_->setObjectName(QStringLiteral("decoderDescription"));
    decoderText_->setWordWrap(true);
    decoderText_->setMinimumHeight(decoderText_->fontMetrics().lineSpacing() * 3);
    decoderText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Where the user's own decoders go, so a new user finds out that they can.
    folderNote_ = new QLabel;
    folderNote_->setObjectName(QStringLiteral("userFolderNote"));
    folderNote_->setWordWrap(true);
    folderNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QStringList folders;
    if (draft_.catalog()) {
        for (const QString &f : draft_.catalog()->userFolders())
            folders << QStringLiteral("<code>%1</code>").arg(Tilde(f).toHtmlEscaped());
    }
    folderNote_->setText(QStringLiteral("Your own decoders (marked “yours”) go in %1. After changing one, "
                                        "<b>Decode → Reload decoders</b> reads them again.")
                             .arg(folders.join(QStringLiteral(" or "))));

    auto *side = new QWidget;
    auto *layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(search_);
    layout->addWidget(catalogList_, 1);
    layout->addWidget(decoderText_);
    layout->addWidget(folderNote_);
    return side;
}

QWidget *AddDecoderDialog::makeStackSide()
{
    auto *channelBox = new QGroupBox(QStringLiteral("Channels"));
    channelArea_ = MakeScrollArea(QStringLiteral("channelArea"));
    auto *channelLayout = new QVBoxLayout(channelBox);
    channelLayout->addWidget(channelArea_);

    auto *stackBox = new QGroupBox(QStringLiteral("Stack (first decoder reads the channels)"));
    stackList_ = new QListWidget;
    stackList_->setObjectName(QStringLiteral("stackList"));
    stackList_->setMaximumHeight(stackList_->fontMetrics().lineSpacing() * 5);
    connect(stackList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            showLevel(row);
    });
    stackCandidates_ = new QComboBox;
    stackCandidates_->setObjectName(QStringLiteral("stackCandidates"));
    stackCandidates_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    stackCandidates_->setMinimumContentsLength(16);
    stackButton_ = new QPushButton(QStringLiteral("Stack"));
    stackButton_->setObjectName(QStringLiteral("stackButton"));
    stackButton_->setToolTip(QStringLiteral("Put the chosen decoder on top of the stack"));
    stackButton_->setAutoDefault(false);
    connect(stackButton_, &QPushButton::clicked, this, &AddDecoderDialog::stackSelected);
    unstackButton_ = new QPushButton(QStringLiteral("Unstack"));
    unstackButton_->setObjectName(QStringLiteral("unstackButton"));
    unstackButton_->setToolTip(QStringLiteral("Remove the top decoder of the stack"));
    unstackButton_->setAutoDefault(false);
    connect(unstackButton_, &QPushButton::clicked, this, &AddDecoderDialog::unstackTop);
    auto *stackRow = new QHBoxLayout;
    stackRow->addWidget(stackCandidates_, 1);
    stackRow->addWidget(stackButton_);
    stackRow->addWidget(unstackButton_);
    auto *stackLayout = new QVBoxLayout(stackBox);
    stackLayout->addWidget(stackList_);
    stackLayout->addLayout(stackRow);

    optionsBox_ = new QGroupBox(QStringLiteral("Options"));
    optionArea_ = MakeScrollArea(QStringLiteral("optionArea"));
    auto *optionLayout = new QVBoxLayout(optionsBox_);
    optionLayout->addWidget(optionArea_);

    auto *side = new QWidget;
    auto *layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(channelBox, 1);
    layout->addWidget(stackBox, 0);
    layout->addWidget(optionsBox_, 2);
    return side;
}

void AddDecoderDialog::fillCatalogList()
{
    if (!draft_.catalog())
        return;
    const auto yours = [](bool user) { return user ? QStringLiteral("yours") : QString(); };
    for (const DecoderInfo &d : draft_.catalog()->decoders()) {
        if (!d.readsChannels())
            continue;
        auto *item = new QTreeWidgetItem(
            catalogList_, {d.id, d.name, d.description, d.tags.join(QStringLiteral(", ")), yours(d.fromUserFolder)});
        item->setData(0, kIdRole, d.id);
        item->setData(0, kSearchTextRole, SearchText(d) + QLatin1Char('\n') + yours(d.fromUserFolder));
        QString tip = QStringLiteral("%1\n%2").arg(d.longName, d.description);
        if (d.fromUserFolder)
            tip += QStringLiteral("\nFrom your folder %1").arg(Tilde(d.folder));
        for (int column = 0; column < catalogList_->columnCount(); ++column)
            item->setToolTip(column, tip);
    }
    // A decoder that does not load is listed with why, greyed: it cannot be
    // chosen, but its author sees where the error is.
    for (const DecoderFailure &f : draft_.catalog()->failures()) {
        // "broken/pd.py:2: ModuleNotFoundError: ...": the folder is in the tooltip.
        QString where = f.summary();
        if (!f.file.isEmpty() && f.file.startsWith(f.folder + QLatin1Char('/')))
            where = QStringLiteral("%1:%2: %3").arg(QDir(f.folder).relativeFilePath(f.file)).arg(f.line).arg(f.message);
        auto *item = new QTreeWidgetItem(catalogList_, {f.id, QStringLiteral("(fails to load)"), where, QString(),
                                                        yours(f.fromUserFolder)});
        item->setData(0, kIdRole, QString()); // nothing to choose
        item->setData(0, kSearchTextRole, QStringList{f.id, f.summary(), yours(f.fromUserFolder)}.join(QLatin1Char('\n')).toLower());
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        item->setForeground(DescriptionColumn, QBrush(QColor(0xb0, 0x00, 0x20)));
        const QString tip = QStringLiteral("%1 fails to load from %2:\n%3")
                                .arg(f.id, Tilde(f.folder), f.details.right(2000));
        for (int column = 0; column < catalogList_->columnCount(); ++column)
            item->setToolTip(column, tip);
    }
    catalogList_->sortItems(IdColumn, Qt::AscendingOrder);
}

void AddDecoderDialog::filterCatalogList()
{
    // Every word must appear somewhere, so "i2c eeprom" narrows step by step.
    const QStringList words = search_->text().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < catalogList_->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = catalogList_->topLevelItem(i);
        const QString text = item->data(0, kSearchTextRole).toString();
        const bool match = std::all_of(words.begin(), words.end(), [&](const QString &w) { return text.contains(w); });
        item->setHidden(!match);
    }
}

void AddDecoderDialog::chooseFirstMatch()
{
    // "uart" means the decoder of that id, though guess_bitrate, which
    // mentions UART, comes first in the list.
    const QString typed = search_->text().trimmed().toLower();
    QTreeWidgetItem *first = nullptr;
    for (int i = 0; i < catalogList_->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = catalogList_->topLevelItem(i);
        if (item->isHidden() || item->isDisabled())
            continue;
        if (item->data(0, kIdRole).toString() == typed) {
            first = item;
            break;
        }
        if (!first)
            first = item;
    }
    if (first) {
        catalogList_->setCurrentItem(first);
        catalogList_->setFocus();
    }
}

bool AddDecoderDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the search box picks the first match instead of closing the
    // dialog with whatever was chosen before; Down goes on into the list.
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseFirstMatch();
            return true;
        }
        if (key == Qt::Key_Down) {
            catalogList_->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AddDecoderDialog::chooseBottomDecoder(const DecoderInfo *decoder)
{
    if (!decoder || !draft_.setBottom(*decoder))
        return;
    loadNote_.clear();
    showDecoders(0);
}

void AddDecoderDialog::stackSelected()
{
    const DecoderInfo *decoder =
        draft_.catalog() ? draft_.catalog()->find(stackCandidates_->currentData().toString()) : nullptr;
    if (!decoder || draft_.isEmpty())
        return;
    draft_.push(*decoder);
    showStack();
    showLevel(int(draft_.levels().size()) - 1);
}

void AddDecoderDialog::unstackTop()
{
    if (draft_.levels().size() < 2)
        return;
    draft_.pop();
    showStack();
    showLevel(std::min(shownLevel_, int(draft_.levels().size()) - 1));
}

void AddDecoderDialog::setStack(const DecoderStack &stack)
{
    const QStringList notes = draft_.load(stack);
    const DecoderInfo *bottom = draft_.isEmpty() ? nullptr : draft_.levels()[0].decoder;
    {
        // The list shows the loaded decoder, or none when nothing could be loaded.
        const QSignalBlocker block(catalogList_);
        catalogList_->setCurrentItem(nullptr);
        catalogList_->clearSelection();
    }
    if (bottom) {
        for (int i = 0; i < catalogList_->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = catalogList_->topLevelItem(i);
            if (item->data(0, kIdRole).toString() == bottom->id) {
                const QSignalBlocker block(catalogList_);
                catalogList_->setCurrentItem(item);
                catalogList_->scrollToItem(item);
            }
        }
    }
    loadNote_ = notes.isEmpty() ? QString()
                                : QStringLiteral("Not everything of the stack could be taken over: %1.")
                                      .arg(notes.join(QStringLiteral("; ")));
    showDecoders(draft_.isEmpty() ? -1 : 0);
}

void AddDecoderDialog::showDecoders(int level)
{
    showChosenDecoder();
    showChannels();
    showStack();
    showLevel(level);
}

void AddDecoderDialog::showLevel(int level)
{
    shownLevel_ = level;
    {
        const QSignalBlocker block(stackList_);
        stackList_->setCurrentRow(level);
    }
    showOptions();
    refreshState();
}

void AddDecoderDialog::showChosenDecoder()
{
    if (draft_.isEmpty()) {
        decoderText_->setText(QStringLiteral("Choose a decoder that reads the channels; decoders for what it "
                                             "decodes can be stacked on it."));
        return;
    }
    const DecoderInfo &d = *draft_.levels()[0].decoder;
    QString text = QStringLiteral("<b>%1</b><br>%2").arg(d.longName.toHtmlEscaped(), d.description.toHtmlEscaped());
    if (d.fromUserFolder)
        text += QStringLiteral("<br><i>Yours, from %1</i>").arg(Tilde(d.folder).toHtmlEscaped());
    decoderText_->setText(text);
}

void AddDecoderDialog::showChannels()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);
    if (draft_.isEmpty()) {
        grid->addWidget(new QLabel(QStringLiteral("No decoder chosen.")), 0, 0);
        grid->setRowStretch(1, 1);
        SetPage(channelArea_, page);
        return;
    }
    const DecoderInfo &d = *draft_.levels()[0].decoder;
    std::vector<std::pair<const DecoderChannelInfo *, bool>> channels;
    for (const DecoderChannelInfo &c : d.channels)
        channels.emplace_back(&c, true);
    for (const DecoderChannelInfo &c : d.optionalChannels)
        channels.emplace_back(&c, false);

    int row = 0;
    for (const auto &[channel, required] : channels) {
        const QString id = channel->id;
        auto *label = new QLabel(required ? QStringLiteral("<b>%1 *</b>").arg(channel->name.toHtmlEscaped())
                                          : channel->name.toHtmlEscaped());
        const QString tip = QStringLiteral("%1 (%2, %3)")
                                .arg(channel->description, id,
                                     required ? QStringLiteral("required") : QStringLiteral("optional"));
        label->setToolTip(tip);
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("channel_") + id);
        box->setToolTip(tip);
        box->addItem(kNotMapped, -1);
        for (int input = 0; input < kInputs; ++input)
            box->addItem(DecodeChannelName(input), input);
        const auto mapped = draft_.channels().find(id);
        box->setCurrentIndex(mapped == draft_.channels().end() ? 0 : mapped->second + 1);
        connect(box, &QComboBox::currentIndexChanged, this, [this, box, id] {
            draft_.mapChannel(id, box->currentData().toInt());
            refreshState();
        });
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    if (channels.empty())
        grid->addWidget(new QLabel(QStringLiteral("%1 declares no channels.").arg(d.id)), row++, 0, 1, 2);
    if (!d.channels.empty()) {
        auto *hint = new QLabel(QStringLiteral("* must be mapped"));
        hint->setEnabled(false);
        grid->addWidget(hint, row++, 0, 1, 2);
    }
    grid->setRowStretch(row, 1);
    SetPage(channelArea_, page);
}

void AddDecoderDialog::showStack()
{
    {
        const QSignalBlocker block(stackList_);
        stackList_->clear();
        const auto &levels = draft_.levels();
        for (size_t i = 0; i < levels.size(); ++i) {
            const DecoderInfo &d = *levels[i].decoder;
            const QString where = i == 0 ? QStringLiteral("reads the channels")
                                         : QStringLiteral("on %1").arg(levels[i - 1].decoder->id);
            stackList_->addItem(QStringLiteral("%1. %2  (%3)").arg(i + 1).arg(DecoderTitle(d), where));
        }
    }
    stackCandidates_->clear();
    if (!draft_.isEmpty()) {
        for (const DecoderInfo *d : draft_.catalog()->stackableOn(*draft_.levels().back().decoder)) {
            stackCandidates_->addItem(DecoderTitle(*d), d->id);
            stackCandidates_->setItemData(stackCandidates_->count() - 1, d->description, Qt::ToolTipRole);
        }
    }
    // With a placeholder set, the box no longer picks its first item itself.
    stackCandidates_->setCurrentIndex(stackCandidates_->count() > 0 ? 0 : -1);
    if (stackCandidates_->count() == 0)
        stackCandidates_->setPlaceholderText(draft_.isEmpty() ? QStringLiteral("Choose a decoder first")
                                                              : QStringLiteral("Nothing stacks on %1")
                                                                    .arg(draft_.levels().back().decoder->id));
    stackCandidates_->setEnabled(stackCandidates_->count() > 0);
    stackButton_->setEnabled(stackCandidates_->count() > 0);
    unstackButton_->setEnabled(draft_.levels().size() > 1);
}

void AddDecoderDialog::showOptions()
{
    optionFields_.clear();
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    if (shownLevel_ < 0 || shownLevel_ >= int(draft_.levels().size())) {
        optionsBox_->setTitle(QStringLiteral("Options"));
        form->addRow(new QLabel(QStringLiteral("No decoder chosen.")));
        SetPage(optionArea_, page);
        return;
    }
    const size_t levelIndex = size_t(shownLevel_);
    const DecoderStackDraft::Level &level = draft_.levels()[levelIndex];
    optionsBox_->setTitle(QStringLiteral("Options of %1").arg(DecoderTitle(*level.decoder)));
    if (level.decoder->options.empty())
        form->addRow(new QLabel(QStringLiteral("%1 has no options.").arg(level.decoder->id)));
    for (const DecoderOptionInfo &option : level.decoder->options) {
        const QString id = option.id;
        const DecoderInfo *decoder = level.decoder;
        QWidget *field = MakeDecoderOptionField(
            option, level.values.at(id),
            [this, levelIndex, decoder, id](const QVariant &value) {
                // The form belongs to one level; ignore it once that level is gone.
                if (levelIndex < draft_.levels().size() && draft_.levels()[levelIndex].decoder == decoder) {
                    draft_.setOptionValue(levelIndex, id, value);
                    refreshState();
                }
            },
            page);
        auto *label = new QLabel(option.description.isEmpty() ? id : option.description);
        label->setToolTip(field->toolTip());
        label->setBuddy(field);
        form->addRow(label, field);
        optionFields_[id] = field;
    }
    SetPage(optionArea_, page);
}

QString AddDecoderDialog::problem() const { return draft_.problem(); }

bool AddDecoderDialog::canAccept() const { return problem().isEmpty(); }

DecoderStack AddDecoderDialog::stack() const { return draft_.stack(); }

void AddDecoderDialog::refreshState()
{
    const QString why = problem();
    if (why.isEmpty()) {
        problem_->setStyleSheet(QString());
        problem_->setText(QStringLiteral("Decodes %1").arg(FormatDecoderStack(stack())));
    } else {
        problem_->setStyleSheet(QStringLiteral("color: #b00020;"));
        problem_->setText(why);
    }
    note_->setText(loadNote_);
    note_->setVisible(!loadNote_.isEmpty());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty());

    for (const auto &[id, field] : optionFields_)
        MarkDecoderOptionField(field, draft_.isOptionValid(size_t(shownLevel_), id));
}

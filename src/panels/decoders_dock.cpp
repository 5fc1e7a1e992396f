#include "panels/decoders_dock.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSlider>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/error_report.h"
#include "app/form1.h"
#include "decode/annotation_list.h"
#include "decode/decode_request.h"
#include "export/capture_file_io.h"
#include "panels/add_decoder_dialog.h"
#include "panels/annotation_table_model.h"
#include "panels/read_back_follower.h"

namespace {

QPushButton *Button(const QString &text, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

// What an instance's trouble was, for its list line's tooltip and the
// status: the message, then where in the decoder's code.
QStringList Trouble(const DecodeInstanceResult &instance)
{
    QStringList lines;
    if (!instance.error.isEmpty()) {
        lines << instance.name + QStringLiteral(": ") + instance.error;
        // The trace's own last line repeats the message.
        for (const QString &l : instance.errorTrace.mid(0, std::max<qsizetype>(0, instance.errorTrace.size() - 1)))
            lines << QStringLiteral("    at ") + l;
    }
    if (!instance.stopped.isEmpty())
        lines << instance.name + QStringLiteral(": ") + instance.stopped;
    return lines;
}

const QColor kUnavailableColor(0x80, 0x80, 0x80);
const QColor kErrorColor(0xb0, 0x00, 0x20);
const QColor kStoppedColor(0xa0, 0x58, 0x00);

} // namespace

DecodersDock::DecodersDock(Form1 &form, QWidget *parent) : DockBuiltWhenShown(QStringLiteral("Decoders"), parent), form_(form)
{
    setObjectName(QStringLiteral("decodersDock"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    bodyLayout_ = layout;
    layout->setContentsMargins(2, 2, 2, 2);

    auto *top = new QHBoxLayout;
    list_ = new QListWidget(body);
    list_->setObjectName(QStringLiteral("decoderList"));
    list_->setMaximumHeight(52);
    list_->setToolTip(QStringLiteral("The decoders, as sigrok-cli -P takes them; double-click to edit"));
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { editSelected(); });
    top->addWidget(list_, 1);
    auto *buttons = new QVBoxLayout;
    auto *buttonRow1 = new QHBoxLayout;
    auto *buttonRow2 = new QHBoxLayout;
    QPushButton *add = Button(QStringLiteral("Add…"), QStringLiteral("addDecoderButton"), body);
    QPushButton *edit = Button(QStringLiteral("Edit…"), QStringLiteral("editDecoderButton"), body);
    QPushButton *remove = Button(QStringLiteral("Remove"), QStringLiteral("removeDecoderButton"), body);
    QPushButton *removeAllButton = Button(QStringLiteral("Remove all"), QStringLiteral("removeAllDecodersButton"), body);
    connect(add, &QPushButton::clicked, this, &DecodersDock::openAddDialog);
    connect(edit, &QPushButton::clicked, this, &DecodersDock::editSelected);
    connect(remove, &QPushButton::clicked, this, &DecodersDock::removeSelected);
    connect(removeAllButton, &QPushButton::clicked, this, &DecodersDock::removeAll);
    buttonRow1->addWidget(add);
    buttonRow1->addWidget(edit);
    buttonRow2->addWidget(remove);
    buttonRow2->addWidget(removeAllButton);
    buttons->addLayout(buttonRow1);
    buttons->addLayout(buttonRow2);
    top->addLayout(buttons);
    layout->addLayout(top);

    status_ = new QLabel(body);
    status_->setObjectName(QStringLiteral("decoderStatus"));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText); // decoder messages may hold '<'

    layout->addWidget(status_);
    layout->addWidget(buildProgressRow(body));

    // The results' model is there from the start (results come in while the
    // panel is hidden); the table and the byte streams only once it shows.
    model_ = new AnnotationTableModel(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setFilterKeyColumn(AnnotationTableModel::TextColumn);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    setWidget(body);

    DecodeLimits limits;
    limits.timeLimitSeconds = timeLimitSeconds_;
    engine_.setLimits(limits);
    connect(&engine_, &DecodeEngine::catalogReady, this,
            [this](std::shared_ptr<const DecoderCatalog> catalog) { catalogArrived(std::move(catalog), false); });
    connect(&engine_, &DecodeEngine::catalogReloaded, this,
            [this](std::shared_ptr<const DecoderCatalog> catalog) { catalogArrived(std::move(catalog), true); });
    connect(&engine_, &DecodeEngine::finished, this, &DecodersDock::showResult);
    connect(&engine_, &DecodeEngine::progress, this, [this](quint64 generation, int percent) {
        if (decoding_ && generation == engine_.generation())
            progress_->setValue(percent);
    });
    connect(&engine_, &DecodeEngine::partial, this, &DecodersDock::partialResult);
    connect(&form_, &Form1::captureChanged, this, &DecodersDock::captureChanged);
    follower_ = new ReadBackFollower(form_, this);
    connect(follower_, &ReadBackFollower::readStarted, this, [this] {
        if (!stacks_.isEmpty() && catalog_)
            restart();
    });
    connect(follower_, &ReadBackFollower::samplesArrived, this, &DecodersDock::samplesArrived);
}

QWidget *DecodersDock::buildProgressRow(QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    progress_ = new QProgressBar(row);
    progress_->setObjectName(QStringLiteral("decodeProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setEnabled(false);
    progress_->setToolTip(QStringLiteral("How far the decoders have got through the capture"));
    stop_ = Button(QStringLiteral("Stop"), QStringLiteral("stopDecodingButton"), row);
    stop_->setEnabled(false);
    stop_->setToolTip(QStringLiteral("Stop decoding; what was decoded until then stays shown"));
    connect(stop_, &QPushButton::clicked, this, &DecodersDock::stopDecoding);
    auto *limitLabel = new QLabel(QStringLiteral("Time limit:"), row);
    timeLimitBox_ = new QSpinBox(row);
    timeLimitBox_->setObjectName(QStringLiteral("decodeTimeLimit"));
    timeLimitBox_->setRange(1, 3600);
    timeLimitBox_->setSuffix(QStringLiteral(" s"));
    timeLimitBox_->setValue(timeLimitSeconds_);
    timeLimitBox_->setToolTip(QStringLiteral("A decoding run stops after this long, even inside a decoder's own "
                                             "code; it also stops after %1 annotations")
                                  .arg(DecodeLimits::kDefaultAnnotationLimit));
    limitLabel->setBuddy(timeLimitBox_);
    connect(timeLimitBox_, &QSpinBox::valueChanged, this, &DecodersDock::setTimeLimitSeconds);
    layout->addWidget(progress_, 1);
    layout->addWidget(stop_);
    layout->addSpacing(12);
    layout->addWidget(limitLabel);
    layout->addWidget(timeLimitBox_);
    return row;
}

void DecodersDock::setTimeLimitSeconds(int seconds)
{
    seconds = std::clamp(seconds, timeLimitBox_->minimum(), timeLimitBox_->maximum());
    if (seconds == timeLimitSeconds_)
        return;
    timeLimitSeconds_ = seconds;
    DecodeLimits limits = engine_.limits();
    limits.timeLimitSeconds = seconds;
    engine_.setLimits(limits);
    {
        const QSignalBlocker block(timeLimitBox_);
        timeLimitBox_->setValue(seconds);
    }
    emit timeLimitChanged(seconds);
}

QString DecodersDock::statusText() const { return status_->text(); }

void DecodersDock::setDecoding(bool on)
{
    decoding_ = on;
    stop_->setEnabled(on);
    progress_->setEnabled(on);
    progress_->setValue(0);
}

void DecodersDock::stopDecoding()
{
    if (decoding_)
        engine_.stop();
}

void DecodersDock::reloadDecoders()
{
    show();
    setDecoding(false);
    status_->setText(QStringLiteral("Reading the decoders again…"));
    engine_.reloadCatalog();
}

void DecodersDock::catalogArrived(std::shared_ptr<const DecoderCatalog> catalog, bool reloaded)
{
    const std::shared_ptr<const DecoderCatalog> before = catalog_;
    catalog_ = std::move(catalog);
    if (!catalog_->error().isEmpty())
        status_->setText(catalog_->error());
    if (reloaded) {
        // Name the decoders in use that the reload took away; the others
        // decode again.
        QStringList lost;
        for (const QString &id : DecoderIdsOf(stacks_)) {
            if (catalog_->find(id))
                continue;
            if (const DecoderFailure *f = catalog_->failure(id))
                lost << QStringLiteral("%1 now fails to load: %2").arg(id, f->summary());
            else
                lost << QStringLiteral("%1 is gone from the decoder folders").arg(id);
        }
        if (!lost.isEmpty())
            ReportWarning(QStringLiteral("Reload decoders"), lost.join(QLatin1Char('\n')));
        reportedErrors_.clear(); // a decoder that still fails is told again
        restart();
    }
    const std::vector<WaitingBatch> waiting = std::move(waiting_);
    waiting_.clear();
    for (const WaitingBatch &batch : waiting)
        addDecoders(batch.stacks, batch.title, batch.skipped);
    if (dialogWaiting_ != -2) {
        const int row = dialogWaiting_;
        dialogWaiting_ = -2;
        openDialog(row);
    }
}

void DecodersDock::buildBody()
{
    tabs_ = new QTabWidget(widget());
    tabs_->setObjectName(QStringLiteral("decoderTabs"));
    tabs_->addTab(buildAnnotationsTab(), QStringLiteral("Annotations"));
    tabs_->addTab(buildStreamsTab(), QStringLiteral("Byte streams"));
    bodyLayout_->addWidget(tabs_, 1);
    table_->resizeColumnsToContents();
    refreshStreams();
}

QWidget *DecodersDock::buildAnnotationsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *bar = new QHBoxLayout;
    filter_ = new QLineEdit(tab);
    filter_->setObjectName(QStringLiteral("decoderFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter the results by text"));
    filter_->setClearButtonEnabled(true);
    bar->addWidget(filter_, 1);
    QPushButton *copy = Button(QStringLiteral("Copy"), QStringLiteral("copyResultsButton"), tab);
    copy->setToolTip(QStringLiteral("Copy the selected lines, or all lines shown, as tab-separated text"));
    QPushButton *csv = Button(QStringLiteral("Export CSV…"), QStringLiteral("exportResultsButton"), tab);
    csv->setToolTip(QStringLiteral("Save the lines shown as a CSV file"));
    bar->addWidget(copy);
    bar->addWidget(csv);
    layout->addLayout(bar);

    table_ = new QTableView(tab);
    table_->setObjectName(QStringLiteral("decoderResults"));
    table_->setModel(proxy_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setToolTip(QStringLiteral("Double-click a line to show it and put the time cursors on it"));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the first lines only: measuring thousands of lines
    // would hold up the window each time a result comes in.
    table_->horizontalHeader()->setResizeContentsPrecision(32);
    layout->addWidget(table_, 1);

    connect(filter_, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);
    connect(copy, &QPushButton::clicked, this, &DecodersDock::copyToClipboard);
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the decoded lines"), QString(),
                                                          QStringLiteral("CSV files (*.csv)"));
        if (path.isEmpty())
            return;
        QString error;
        if (!exportCsv(path, &error))
            ReportWarning(QStringLiteral("Export CSV"), error);
    });
    // Double-click or Enter; not `activated`, which some desktops send on a
    // single click, where choosing a line must not move the view.
    connect(table_, &QTableView::doubleClicked, this, &DecodersDock::showLine);
    table_->installEventFilter(this);
    return tab;
}

QWidget *DecodersDock::buildStreamsTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *bar = new QHBoxLayout;
    streamChoice_ = new QComboBox(tab);
    streamChoice_->setObjectName(QStringLiteral("streamChoice"));
    streamFormat_ = new QComboBox(tab);
    streamFormat_->setObjectName(QStringLiteral("streamFormat"));
    streamFormat_->addItems({QStringLiteral("ASCII"), QStringLiteral("Hex")});
    bar->addWidget(streamChoice_, 1);
    bar->addWidget(streamFormat_);
    layout->addLayout(bar);
    streamText_ = new QPlainTextEdit(tab);
    streamText_->setObjectName(QStringLiteral("streamText"));
    streamText_->setReadOnly(true);
    streamText_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    streamText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(streamText_, 1);
    connect(streamChoice_, &QComboBox::currentIndexChanged, this, &DecodersDock::showStream);
    connect(streamFormat_, &QComboBox::currentIndexChanged, this, &DecodersDock::showStream);
    return tab;
}

void DecodersDock::showLine(const QModelIndex &index)
{
    if (index.isValid())
        emit spanRequested(index.data(AnnotationTableModel::SpanStartRole).toLongLong(),
                           index.data(AnnotationTableModel::SpanEndRole).toLongLong());
}

bool DecodersDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            showLine(table_->currentIndex());
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void DecodersDock::addDecoder(const QString &stack) { addDecoders({stack}, QStringLiteral("Add decoder")); }

void DecodersDock::addDecoders(const QStringList &stacks, const QString &title, const QStringList &skipped)
{
    show();
    if (!catalog_) {
        // The catalogue loads on the worker (about 0.4 s the first time).
        waiting_.push_back({stacks, title, skipped});
        status_->setText(QStringLiteral("Loading the decoders…"));
        engine_.requestCatalog();
        return;
    }
    QStringList refused;
    bool added = false;
    for (const QString &stack : stacks) {
        DecoderStack parsed;
        QString error;
        if (!ParseDecoderStack(stack, *catalog_, &parsed, &error)) {
            refused << error;
            continue;
        }
        stacks_ << FormatDecoderStack(parsed);
        list_->addItem(stacks_.last());
        list_->setCurrentRow(list_->count() - 1);
        added = true;
    }
    if (added)
        restart();
    if (skipped.isEmpty() && refused.size() == 1 && stacks.size() == 1) {
        ReportWarning(title, refused.first());
    } else if (!skipped.isEmpty() || !refused.isEmpty()) {
        QStringList lines = skipped;
        for (const QString &why : refused)
            lines << QStringLiteral("a decoder: %1").arg(why);
        ReportLeftOut(title, lines);
    }
}

void DecodersDock::openAddDialog() { openDialog(-1); }

void DecodersDock::editSelected()
{
    const int row = list_->currentRow();
    if (row >= 0)
        openDialog(row);
}

void DecodersDock::openDialog(int editRow)
{
    show();
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    if (!catalog_) {
        dialogWaiting_ = editRow;
        status_->setText(QStringLiteral("Loading the decoders…"));
        engine_.requestCatalog();
        return;
    }
    if (!catalog_->error().isEmpty()) {
        ReportWarning(QStringLiteral("Add decoder"), catalog_->error());
        return;
    }
    dialog_ = new AddDecoderDialog(catalog_, window());
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialogEditRow_ = editRow >= 0 && editRow < stacks_.size() ? editRow : -1;
    if (dialogEditRow_ >= 0) {
        DecoderStack stack;
        QString error;
        if (ParseDecoderStack(stacks_[dialogEditRow_], *catalog_, &stack, &error))
            dialog_->setStack(stack);
        dialog_->setWindowTitle(QStringLiteral("Edit decoder"));
    }
    // The dialog is deleted later; from its closing on it is no longer the open one.
    connect(dialog_, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted)
            acceptDialog();
        dialog_ = nullptr;
    });
    dialog_->open();
}

void DecodersDock::acceptDialog()
{
    if (!dialog_ || !dialog_->canAccept())
        return;
    DecoderStack stack = dialog_->stack();
    QString error;
    if (!ValidateDecoderStack(&stack, *catalog_, &error)) {
        ReportWarning(QStringLiteral("Add decoder"), error);
        return;
    }
    const QString text = FormatDecoderStack(stack);
    if (dialogEditRow_ >= 0 && dialogEditRow_ < stacks_.size()) {
        stacks_[dialogEditRow_] = text;
        list_->item(dialogEditRow_)->setText(text);
    } else {
        stacks_ << text;
        list_->addItem(text);
        list_->setCurrentRow(list_->count() - 1);
    }
    restart();
}

void DecodersDock::removeSelected()
{
    const int row = list_->currentRow();
    if (row < 0)
        return;
    stacks_.removeAt(row);
    delete list_->takeItem(row);
    restart();
}

void DecodersDock::removeAll()
{
    waiting_.clear(); // also those still waiting for the catalogue
    stacks_.clear();
    list_->clear();
    restart();
}

void DecodersDock::showTab(const QString &title)
{
    ensureBuilt();
    for (int i = 0; i < tabs_->count(); ++i) {
        if (tabs_->tabText(i) == title)
            tabs_->setCurrentIndex(i);
    }
}

void DecodersDock::restart()
{
    const auto idle = [this](const QString &status) {
        engine_.cancel();
        setDecoding(false);
        setResult(nullptr);
        markStacks();
        status_->setText(status);
    };
    stackOfLine_.assign(size_t(stacks_.size()), -1);
    unavailable_.assign(size_t(stacks_.size()), QString());
    if (stacks_.isEmpty() || !catalog_)
        return idle(stacks_.isEmpty() ? QStringLiteral("No decoder: add one from the Decode menu or from Detect protocols")
                                      : QString());
    // Each line on its own: one whose decoder is gone or broken (after a
    // reload) is left out and marked, the others decode.
    DecodeRequest request;
    QStringList problems;
    for (int line = 0; line < stacks_.size(); ++line) {
        DecoderStack stack;
        QString error;
        if (ParseDecoderStack(stacks_[line], *catalog_, &stack, &error)) {
            stackOfLine_[size_t(line)] = int(request.stacks.size());
            request.stacks.push_back(stack);
        } else {
            unavailable_[size_t(line)] = error;
            problems << QStringLiteral("Not decoded: %1").arg(error);
        }
    }
    if (request.stacks.empty())
        return idle(problems.join(QLatin1Char('\n')));
    if (follower_->isFollowing()) {
        // A capture is arriving: the decoders follow it from its start.
        markStacks();
        status_->setText((problems + QStringList{QStringLiteral("Decoding as the capture arrives…")})
                             .join(QLatin1Char('\n')));
        startLive(request);
        return;
    }
    const Capture capture = form_.capture();
    if (capture.isEmpty())
        return idle(QStringLiteral("No capture in view"));
    markStacks();
    status_->setText((problems + QStringList{QStringLiteral("Decoding… (stops after %1 s)").arg(timeLimitSeconds_)})
                         .join(QLatin1Char('\n')));
    // The capture that was arriving: the run that followed it decodes what
    // is left (or all of it again, when the capture is not what arrived).
    decodedCapture_ = capture;
    decodedStacks_ = stacks_;
    decodedInTransaction_ = follower_->inTransaction() ? follower_->transactionCount() : -1;
    if (engine_.isLive() && liveStacks_ == stacks_ && engine_.finish(capture)) {
        setDecoding(true);
        return;
    }
    engine_.start(capture, request);
    setDecoding(true);
}

namespace {

// Whether the decoders would see the same samples in both.
bool SameSamples(const Capture &a, const Capture &b)
{
    if (a.sampleRateHz() != b.sampleRateHz() || a.sampleCount() != b.sampleCount()
        || a.records().size() != b.records().size())
        return false;
    return std::equal(a.records().begin(), a.records().end(), b.records().begin(),
                      [](const CaptureRecord &x, const CaptureRecord &y) {
                          return x.time == y.time && x.levels == y.levels;
                      });
}

} // namespace

void DecodersDock::captureChanged()
{
    // The end of a read tells of its capture more than once, inside the
    // press and at its end: what is being or has been decoded is not decoded
    // again for the same press. (Another press or a Load decodes again.)
    if ((decoding_ || result_) && !follower_->isFollowing() && stacks_ == decodedStacks_
        && decodedInTransaction_ == follower_->transactionCount() && !decodedCapture_.isEmpty()
        && SameSamples(form_.capture(), decodedCapture_))
        return;
    restart();
}

void DecodersDock::startLive(const DecodeRequest &request)
{
    liveStacks_ = stacks_;
    decodedCapture_ = Capture();
    engine_.startLive(follower_->sampleRateHz(), request);
    const std::vector<uint8_t> &samples = follower_->samples().samples();
    engine_.feed(samples.data(), samples.size());
    setDecoding(true);
}

void DecodersDock::samplesArrived(qsizetype first, qsizetype count)
{
    if (!engine_.isLive())
        return;
    engine_.feed(follower_->samples().samples().data() + first, size_t(count));
    // How far the capture has arrived, never all of it: only its end does that.
    const int length = std::max(1, form_.Slider1->value());
    progress_->setValue(std::min(99, int(int64_t(first + count) * 100 / length)));
}

void DecodersDock::markStacks()
{
    for (int line = 0; line < list_->count() && line < stacks_.size(); ++line) {
        QListWidgetItem *item = list_->item(line);
        QString text = stacks_[line];
        QStringList tip;
        QColor colour;
        const QString &unavailable = size_t(line) < unavailable_.size() ? unavailable_[size_t(line)] : QString();
        const int stack = size_t(line) < stackOfLine_.size() ? stackOfLine_[size_t(line)] : -1;
        if (!unavailable.isEmpty()) {
            text += QStringLiteral("   (not decoded)");
            tip << unavailable;
            colour = kUnavailableColor;
        } else if (result_ && stack >= 0) {
            for (const DecodeInstanceResult &instance : result_->instances) {
                if (instance.stack != stack)
                    continue;
                tip << Trouble(instance);
                if (!instance.stopped.isEmpty()) {
                    text += QStringLiteral("   (%1 %2)").arg(instance.name, instance.stopped);
                    if (!colour.isValid())
                        colour = kStoppedColor;
                }
                if (!instance.error.isEmpty()) {
                    text += QStringLiteral("   (%1 failed)").arg(instance.name);
                    colour = kErrorColor;
                }
            }
        }
        item->setText(text);
        item->setToolTip(tip.isEmpty() ? QStringLiteral("The decoders, as sigrok-cli -P takes them; double-click to edit")
                                       : tip.join(QLatin1Char('\n')));
        item->setForeground(colour.isValid() ? QBrush(colour) : QBrush());
    }
}

void DecodersDock::setResult(std::shared_ptr<const DecodeResult> result)
{
    if (!result && !result_)
        return;
    result_ = std::move(result);
    model_->setResult(result_);
    refreshStreams();
    emit resultChanged(result_);
}

void DecodersDock::showResult(std::shared_ptr<const DecodeResult> result)
{
    setDecoding(false);
    setResult(std::move(result));
    markStacks();
    const QStringList errors = result_->errors();
    QStringList status;
    for (const QString &u : unavailable_) {
        if (!u.isEmpty())
            status << QStringLiteral("Not decoded: %1").arg(u);
    }
    if (!result_->error.isEmpty())
        status << result_->error;
    for (const DecodeInstanceResult &instance : result_->instances)
        status << Trouble(instance);
    if (result_->stopped()) {
        status << QStringLiteral("Decoding %1 at sample %2 of %3; what was decoded until then is shown")
                      .arg(result_->stopText)
                      .arg(result_->decodedSamples)
                      .arg(result_->sampleCount);
    }
    status << QStringLiteral("%1 annotations").arg(model_->rowCount());
    status_->setText(status.join(QLatin1Char('\n')));
    if (table_)
        table_->resizeColumnsToContents();
    // A failing decoder fails again on every new capture: say so once, until
    // what fails changes. Its row in the strip and the status line keep it.
    // (Noted before the message: a capture may come in while it is open.)
    const bool tell = !errors.isEmpty() && errors != reportedErrors_;
    reportedErrors_ = errors;
    if (tell)
        ReportWarning(QStringLiteral("Decoders"), errors.join(QLatin1Char('\n')));
    emit resultShown();
}

void DecodersDock::refreshStreams()
{
    if (!streamChoice_)
        return; // the tab is filled when it is built
    const QString previous = streamChoice_->currentText();
    streams_ = result_ ? ByteStreamsOf(*result_) : std::vector<ByteStream>{};
    const QSignalBlocker block(streamChoice_);
    streamChoice_->clear();
    for (const ByteStream &s : streams_)
        streamChoice_->addItem(s.label);
    const int again = streamChoice_->findText(previous);
    streamChoice_->setCurrentIndex(again >= 0 ? again : (streams_.empty() ? -1 : 0));
    showStream();
}

void DecodersDock::showStream()
{
    const int i = streamChoice_->currentIndex();
    if (i < 0 || size_t(i) >= streams_.size()) {
        streamText_->setPlainText(result_ ? QStringLiteral("No decoder here gives a byte stream") : QString());
        return;
    }
    const QByteArray &bytes = streams_[size_t(i)].bytes;
    streamText_->setPlainText(streamFormat_->currentIndex() == 1 ? BytesAsHexDump(bytes) : BytesAsText(bytes));
}

std::vector<int> DecodersDock::shownSourceRows(bool selectedOnly) const
{
    std::vector<int> rows;
    if (selectedOnly && table_) {
        for (const QModelIndex &i : table_->selectionModel()->selectedRows())
            rows.push_back(proxy_->mapToSource(i).row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    for (int r = 0; r < proxy_->rowCount(); ++r)
        rows.push_back(proxy_->mapToSource(proxy_->index(r, 0)).row());
    return rows;
}

QString DecodersDock::copyText() const
{
    std::vector<int> rows = shownSourceRows(true);
    if (rows.empty())
        rows = shownSourceRows(false);
    QStringList lines;
    QStringList header;
    for (int c = 0; c < AnnotationTableModel::ColumnCount; ++c)
        header << model_->headerData(c, Qt::Horizontal).toString();
    lines << header.join(QLatin1Char('\t'));
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < AnnotationTableModel::ColumnCount; ++c)
            cells << model_->index(r, c).data().toString().replace(QLatin1Char('\t'), QLatin1Char(' '));
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void DecodersDock::copyToClipboard() const { QApplication::clipboard()->setText(copyText()); }

bool DecodersDock::exportCsv(const QString &path, QString *error) const
{
    QByteArray text = AnnotationCsvHeader().toUtf8() + '\n';
    for (int r : shownSourceRows(false))
        text += AnnotationCsvRow(*model_->line(r)).toUtf8() + '\n';
    return WriteFileAtomically(path, text, error);
}

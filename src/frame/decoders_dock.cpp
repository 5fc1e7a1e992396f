#include "frame/decoders_dock.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/error_report.h"
#include "app/form1.h"
#include "decode/decode_request.h"

namespace {

// Times of the results in seconds from the capture start, "12.345 us".
QString TimeText(int64_t sample, uint64_t rateHz)
{
    if (rateHz == 0)
        return QString::number(sample);
    const double us = double(sample) * 1e6 / double(rateHz);
    return us >= 1000 ? QStringLiteral("%1 ms").arg(us / 1000, 0, 'f', 4) : QStringLiteral("%1 us").arg(us, 0, 'f', 2);
}

} // namespace

DecodersDock::DecodersDock(Form1 &form, QWidget *parent) : QDockWidget(QStringLiteral("Decoders"), parent), form_(form)
{
    setObjectName(QStringLiteral("decodersDock"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    list_ = new QListWidget(body);
    list_->setObjectName(QStringLiteral("decoderList"));
    list_->setMaximumHeight(60);
    top->addWidget(list_, 1);
    auto *remove = new QPushButton(QStringLiteral("Remove"), body);
    connect(remove, &QPushButton::clicked, this, &DecodersDock::removeSelected);
    top->addWidget(remove);
    layout->addLayout(top);
    filter_ = new QLineEdit(body);
    filter_->setObjectName(QStringLiteral("decoderFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter the results by text"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, this, &DecodersDock::filter);
    layout->addWidget(filter_);
    status_ = new QLabel(body);
    status_->setObjectName(QStringLiteral("decoderStatus"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    results_ = new QTableWidget(0, 5, body);
    results_->setObjectName(QStringLiteral("decoderResults"));
    results_->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Decoder"),
                                         QStringLiteral("Row"), QStringLiteral("Text")});
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->verticalHeader()->hide();
    results_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(results_, 1);
    setWidget(body);

    connect(&engine_, &DecodeEngine::catalogReady, this, [this](std::shared_ptr<const DecoderCatalog> catalog) {
        catalog_ = std::move(catalog);
        const QStringList waiting = waiting_;
        waiting_.clear();
        for (const QString &s : waiting)
            addDecoder(s);
    });
    connect(&engine_, &DecodeEngine::finished, this, &DecodersDock::showResult);
    connect(&form_, &Form1::captureChanged, this, &DecodersDock::restart);
}

void DecodersDock::addDecoder(const QString &stack)
{
    show();
    if (!catalog_) {
        // The catalogue loads on the worker (about 0.4 s the first time).
        waiting_ << stack;
        status_->setText(QStringLiteral("Loading the decoders…"));
        engine_.requestCatalog();
        return;
    }
    DecoderStack parsed;
    QString error;
    if (!ParseDecoderStack(stack, *catalog_, &parsed, &error)) {
        ReportWarning(QStringLiteral("Add decoder"), error);
        return;
    }
    stacks_ << FormatDecoderStack(parsed);
    list_->addItem(stacks_.last());
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
    stacks_.clear();
    list_->clear();
    restart();
}

void DecodersDock::restart()
{
    if (stacks_.isEmpty() || !catalog_) {
        engine_.cancel();
        results_->setRowCount(0);
        result_.reset();
        status_->setText(stacks_.isEmpty() ? QStringLiteral("No decoder: add one from the Decode menu or from Detect protocols")
                                           : QString());
        return;
    }
    const Capture capture = form_.capture();
    if (capture.isEmpty()) {
        engine_.cancel();
        results_->setRowCount(0);
        status_->setText(QStringLiteral("No capture in view"));
        return;
    }
    DecodeRequest request;
    QString error;
    if (!ParseDecodeRequest(stacks_, *catalog_, &request, &error)) {
        status_->setText(error);
        return;
    }
    status_->setText(QStringLiteral("Decoding…"));
    engine_.start(capture, request);
}

void DecodersDock::showResult(std::shared_ptr<const DecodeResult> result)
{
    result_ = std::move(result);
    results_->setRowCount(0);
    const QStringList errors = result_->errors();
    int n = 0;
    for (const DecodeInstanceResult &inst : result_->instances)
        n += int(inst.annotationCount());
    results_->setRowCount(n);
    int row = 0;
    for (const DecodeInstanceResult &inst : result_->instances) {
        for (const DecodeAnnotation *a : inst.inEmissionOrder()) {
            const QString rowName = inst.decoder && a->row >= 0 && a->row < int(inst.decoder->rows.size())
                ? inst.decoder->rows[size_t(a->row)].description
                : QString();
            const QStringList cells{TimeText(a->start, result_->sampleRateHz), TimeText(a->end, result_->sampleRateHz),
                                    inst.name, rowName, a->texts.value(0)};
            for (int c = 0; c < cells.size(); ++c)
                results_->setItem(row, c, new QTableWidgetItem(cells[c]));
            ++row;
        }
    }
    status_->setText(errors.isEmpty() ? QStringLiteral("%1 annotations").arg(n) : errors.join(QLatin1Char('\n')));
    if (!errors.isEmpty())
        ReportWarning(QStringLiteral("Decoders"), errors.join(QLatin1Char('\n')));
    filter();
    emit resultShown();
}

void DecodersDock::filter()
{
    const QString text = filter_->text();
    for (int r = 0; r < results_->rowCount(); ++r) {
        const QTableWidgetItem *item = results_->item(r, 4);
        results_->setRowHidden(r, !text.isEmpty() && !(item && item->text().contains(text, Qt::CaseInsensitive)));
    }
}

void AddDecodeMenu(QMenu *menu, DecodersDock *dock, QMainWindow &window)
{
    QAction *add = menu->addAction(QStringLiteral("&Add decoder…"), dock, [dock, &window] {
        bool ok = false;
        const QString text = QInputDialog::getText(
            &window, QStringLiteral("Add decoder"),
            QStringLiteral("Decoder, its channels and options, as sigrok-cli -P takes them\n"
                           "(uart:rx=CH1:baudrate=115200, i2c:scl=CH5:sda=CH6,eeprom24xx):"),
            QLineEdit::Normal, QString(), &ok);
        if (ok && !text.trimmed().isEmpty())
            dock->addDecoder(text.trimmed());
    });
    add->setObjectName(QStringLiteral("actionAddDecoder"));
    add->setToolTip(QStringLiteral("Decode the capture with one of the installed protocol decoders"));
    QAction *removeAll = menu->addAction(QStringLiteral("Remove a&ll decoders"), dock, &DecodersDock::removeAll);
    removeAll->setObjectName(QStringLiteral("actionRemoveAllDecoders"));
    QAction *panel = dock->toggleViewAction();
    panel->setText(QStringLiteral("&Decoders panel"));
    panel->setObjectName(QStringLiteral("actionDecodersPanel"));
    menu->addAction(panel);
}

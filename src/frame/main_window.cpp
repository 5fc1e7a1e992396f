#include "frame/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "app/form1.h"
#include "app/picture_box.h"
#include "frame/analysis_menu.h"
#include "frame/capture_commands.h"
#include "frame/decode_menu.h"
#include "frame/recent_files.h"
#include "frame/session_commands.h"
#include "frame/window_fit.h"
#include "export/capture_formats.h"
#include "frame/status_panel.h"
#include "frame/view_navigation.h"
#include "panels/analysis_docks.h"
#include "panels/annotation_strip.h"
#include "panels/decoders_dock.h"
#include "panels/notes_dock.h"
#include "panels/overview_band.h"

MainWindow::MainWindow(Form1 *form, const QString &portText, QWidget *parent)
    : QMainWindow(parent), form_(form), portText_(portText)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(form_->windowTitle());
    setWindowIcon(form_->windowIcon());
    // Form1 keeps its fixed size and the frame grows around it. Above it the
    // overview of the whole capture; under it the decoders' annotation
    // strip, hidden (no height) while nothing is decoded. The column keeps
    // its own size and scrolls when the frame is made smaller.
    auto *central = new QWidget;
    central->setObjectName(QStringLiteral("centralArea"));
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    overview_ = new OverviewBand(*form_, central);
    column->addWidget(overview_);
    column->addWidget(form_);
    // The strip scrolls its rows beyond a few, so the fixed-size window stays
    // on the screen however many decoders there are.
    stripArea_ = new QScrollArea(central);
    stripArea_->setObjectName(QStringLiteral("annotationStripArea"));
    stripArea_->setFrameShape(QFrame::NoFrame);
    stripArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stripArea_->setWidgetResizable(true);
    strip_ = new AnnotationStrip;
    stripArea_->setWidget(strip_);
    stripArea_->hide();
    column->addWidget(stripArea_);
    auto *room = new FittingScrollArea(central, this);
    room->setObjectName(QStringLiteral("centralRoom"));
    setCentralWidget(room);
    form_->installEventFilter(this);
    // Panels share the room beside and below the window, side by side or
    // as tabs, as the user drags them.
    setDockOptions(AnimatedDocks | AllowNestedDocks | AllowTabbedDocks);
    setAcceptDrops(true);

    navigator_ = new ViewNavigator(*form_, this);
    // The overview moves the view with the scroll bar, as the wheel does.
    connect(overview_, &OverviewBand::centreRequested, navigator_, &ViewNavigator::centreOn);
    connect(overview_, &OverviewBand::viewStartRequested, navigator_, &ViewNavigator::setViewStart);
    navigator_->addWheelArea(overview_, [this](const QPointF &p) { return overview_->pictureXAt(p); });
    buildMenus();
    statusBar()->setSizeGripEnabled(false);
    status_ = new StatusPanel(*form_, *statusBar(), portText_, this);
    connect(captureCommands_, &CaptureCommands::importNotice, status_, &StatusPanel::showNotice);
    connect(form_, &Form1::transactionStarted, this, &MainWindow::syncRunCaption);
    connect(form_, &Form1::transactionEnded, this, &MainWindow::syncRunCaption);

    fitToContent();
}

MainWindow::~MainWindow()
{
    // The window is destroyed after this body: no filter of the frame may
    // look at it or its buttons then.
    delete navigator_;
    form_->removeEventFilter(this);
    // The panels are hidden as the frame goes: nobody around it may take
    // that for the user's choice.
    for (QDockWidget *dock : findChildren<QDockWidget *>())
        QObject::disconnect(dock, nullptr, this, nullptr);
    for (auto it = mirrors_.cbegin(); it != mirrors_.cend(); ++it)
        it.key()->removeEventFilter(this);
}

void MainWindow::followView()
{
    // The strip draws sample t where the traces do: at Picture1's x = 40 +
    // (t - view start) * magnification.
    const int fieldLeft = strip_->mapFromGlobal(form_->Picture1->mapToGlobal(QPoint(40, 0))).x();
    strip_->setView(form_->HScroll1->value(), form_->state.Magnification, fieldLeft);
}

QAction *MainWindow::action(const QString &objectName) const { return findChild<QAction *>(objectName); }

void MainWindow::fitToContent()
{
    if (sizedByUser_)
        return;
    QRect area = availableArea_;
    if (area.isEmpty()) {
        const QScreen *s = screen();
        area = s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
    }
    // Before the first show the frame's decorations are not known: a title
    // bar and borders of usual size are allowed for.
    const QSize extra = isVisible() ? frameGeometry().size() - size() : QSize(16, 40);
    QSize hint = sizeHint();
    // Shorter than the column: its vertical scroll bar takes width beside it.
    if (FittedWindowSize(hint, minimumSizeHint(), extra, area).height() < hint.height())
        hint.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize wanted = FittedWindowSize(hint, minimumSizeHint(), extra, area);
    fitting_ = true;
    if (wanted != size()) {
        fittedSize_ = wanted;
        resize(wanted);
    }
    // What the screen cannot give is taken from the panels first, so the
    // window keeps as much of its room as they can spare: once the new size
    // has reached the layout, what the column still lacks is known.
    QTimer::singleShot(0, this, [this] {
        if (sizedByUser_)
            return;
        const QSize lack = centralWidget()->sizeHint() - centralWidget()->size();
        shrinkPanels(Qt::Vertical, lack.height());
        shrinkPanels(Qt::Horizontal, lack.width());
    });
    fitting_ = false;
}

void MainWindow::shrinkPanels(Qt::Orientation orientation, int shortfall)
{
    if (shortfall <= 0)
        return;
    const bool v = orientation == Qt::Vertical;
    const Qt::DockWidgetArea area = v ? Qt::BottomDockWidgetArea : Qt::RightDockWidgetArea;
    QList<QDockWidget *> docks;
    for (QDockWidget *d : findChildren<QDockWidget *>()) {
        if (d->isVisible() && !d->isFloating() && dockWidgetArea(d) == area)
            docks << d;
    }
    // Panels stacked in the area share the cut, each down to a usable size.
    QList<int> sizes;
    bool smaller = false;
    for (QDockWidget *d : docks) {
        const int now = v ? d->height() : d->width();
        const int least = std::max(kLeastPanelSize, v ? d->minimumSizeHint().height() : d->minimumSizeHint().width());
        sizes << std::max(least, now - shortfall / int(docks.size()));
        smaller = smaller || sizes.last() < now;
    }
    if (smaller)
        resizeDocks(docks, sizes, orientation);
}

bool MainWindow::event(QEvent *event)
{
    const bool done = QMainWindow::event(event);
    // A band or panel shown, hidden or grown: the frame follows while the
    // user has not sized it.
    if (event->type() == QEvent::LayoutRequest && !fitting_)
        fitToContent();
    return done;
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!fitting_ && event->spontaneous() && event->size() != fittedSize_ && isVisible())
        sizedByUser_ = true;
}

namespace {
// The one local capture file of a drag, or empty.
QString DroppedCaptureFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    const QString path = data->urls().first().toLocalFile();
    return CaptureFormatForPath(path) ? path : QString();
}
} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedCaptureFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString path = DroppedCaptureFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over, so the dragging program is not kept waiting.
    QTimer::singleShot(0, captureCommands_, [commands = captureCommands_, path] { commands->open(path); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    emit aboutToClose();
    // The same path as the window's own close box: the port is closed and the
    // program ends at once, also from inside a wait.
    event->accept();
    form_->Form_QueryUnload();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == form_ && event->type() == QEvent::WindowTitleChange)
        setWindowTitle(form_->windowTitle()); // the mode switch renames the window
    if (event->type() == QEvent::EnabledChange) {
        if (QAction *a = mirrors_.value(watched))
            a->setEnabled(static_cast<QWidget *>(watched)->isEnabled());
    }
    return QMainWindow::eventFilter(watched, event);
}

QAction *MainWindow::addCommand(QMenu *menu, const QString &name, const QString &text, const QKeySequence &key,
                                const QString &tip)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    a->setToolTip(tip);
    a->setStatusTip(tip);
    return a;
}

void MainWindow::mirrorButton(QAction *action, QPushButton *button)
{
    mirrors_.insert(button, action);
    action->setEnabled(button->isEnabled());
    button->installEventFilter(this);
    // A menu command is a click on the button, nothing else.
    connect(action, &QAction::triggered, button, [button] { button->click(); });
}

void MainWindow::syncRunCaption()
{
    runAction_->setText(form_->Command1[1]->text() == QLatin1String("Stop") ? QStringLiteral("&Stop")
                                                                            : QStringLiteral("&Run"));
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    mirrorButton(addCommand(file, QStringLiteral("actionLoad"), QStringLiteral("&Load…"), QKeySequence::Open,
                            QStringLiteral("Load a capture file (*.log), as the Load button")),
                 form_->Command2[0]);
    mirrorButton(addCommand(file, QStringLiteral("actionSave"), QStringLiteral("&Save…"), QKeySequence::Save,
                            QStringLiteral("Save the capture to a file (*.log), as the Save button")),
                 form_->Command2[1]);
    file->addSeparator();
    captureCommands_ = new CaptureCommands(*form_, *this);
    QMenu *exportMenu = new QMenu(QStringLiteral("&Export"), file);
    exportMenu->setObjectName(QStringLiteral("menuExport"));
    QMenu *edit = new QMenu(QStringLiteral("&Edit"), this);
    edit->setObjectName(QStringLiteral("menuEdit"));
    captureCommands_->addTo(file, exportMenu, edit);
    QMenu *recent = file->addMenu(QStringLiteral("Open &Recent"));
    recent->setObjectName(QStringLiteral("menuRecent"));
    recent_ = new RecentFiles(*form_, *captureCommands_, *this, recent);
    sessions_ = new SessionCommands(*this, file);
    file->addMenu(exportMenu);
    file->addSeparator();
    QAction *quit = addCommand(file, QStringLiteral("actionQuit"), QStringLiteral("&Quit"),
                               QKeySequence(Qt::CTRL | Qt::Key_Q), QStringLiteral("Close the port and quit"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    menuBar()->addMenu(edit);

    QMenu *instrument = menuBar()->addMenu(QStringLiteral("&Instrument"));
    instrument->setObjectName(QStringLiteral("menuInstrument"));
    mirrorButton(addCommand(instrument, QStringLiteral("actionSetting"), QStringLiteral("Se&tting"), {},
                            QStringLiteral("Send the settings to the instrument")),
                 form_->Command1[0]);
    runAction_ = addCommand(instrument, QStringLiteral("actionRun"), QStringLiteral("&Run"), QKeySequence(Qt::Key_F5),
                            QStringLiteral("Start a measurement, or stop the one running"));
    mirrorButton(runAction_, form_->Command1[1]);
    mirrorButton(addCommand(instrument, QStringLiteral("actionSetRead"), QStringLiteral("Set R&ead"), {},
                            QStringLiteral("Read the instrument's settings into the window")),
                 form_->Command1[3]);
    mirrorButton(addCommand(instrument, QStringLiteral("actionDataRead"), QStringLiteral("&DataRead"), {},
                            QStringLiteral("Read the last capture from the instrument")),
                 form_->Command1[2]);
    connect(instrument, &QMenu::aboutToShow, this, &MainWindow::syncRunCaption);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("menuView"));
    QAction *in = addCommand(view, QStringLiteral("actionZoomIn"), QStringLiteral("Zoom &in"),
                             QKeySequence(Qt::CTRL | Qt::Key_Equal), QStringLiteral("One magnification step up"));
    in->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    connect(in, &QAction::triggered, navigator_, &ViewNavigator::zoomIn);
    QAction *out = addCommand(view, QStringLiteral("actionZoomOut"), QStringLiteral("Zoom &out"),
                              QKeySequence(Qt::CTRL | Qt::Key_Minus), QStringLiteral("One magnification step down"));
    connect(out, &QAction::triggered, navigator_, &ViewNavigator::zoomOut);
    view->addSeparator();
    QAction *start = addCommand(view, QStringLiteral("actionGoToStart"), QStringLiteral("Go to &start"), {},
                                QStringLiteral("Show the start of the capture"));
    connect(start, &QAction::triggered, navigator_, &ViewNavigator::goToStart);
    QAction *end = addCommand(view, QStringLiteral("actionGoToEnd"), QStringLiteral("Go to &end"), {},
                              QStringLiteral("Show the end of the capture"));
    connect(end, &QAction::triggered, navigator_, &ViewNavigator::goToEnd);
    view->addSeparator();
    QAction *overview = addCommand(view, QStringLiteral("actionOverview"), QStringLiteral("&Overview"), {},
                                   QStringLiteral("Show the whole capture in a band above the window"));
    overview->setCheckable(true);
    overview->setChecked(true);
    connect(overview, &QAction::toggled, overview_, &QWidget::setVisible);
    notes_ = new NotesDock(this);
    addDockWidget(Qt::RightDockWidgetArea, notes_);
    notes_->hide();
    QAction *notes = notes_->toggleViewAction();
    notes->setText(QStringLiteral("&Notes panel"));
    notes->setObjectName(QStringLiteral("actionNotes"));
    notes->setToolTip(QStringLiteral("Free text kept with the capture when a session is saved"));
    view->addAction(notes);

    QMenu *decode = menuBar()->addMenu(QStringLiteral("&Decode"));
    decode->setObjectName(QStringLiteral("menuDecode"));
    decoders_ = new DecodersDock(*form_, this);
    addDockWidget(Qt::BottomDockWidgetArea, decoders_);
    decoders_->hide(); // without panels the window is exactly as before
    AddDecodeMenu(decode, decoders_);
    connect(decoders_, &DecodersDock::partialResult, overview_, &OverviewBand::setLiveDecodeResult);
    connect(decoders_, &DecodersDock::resultChanged, this, [this](std::shared_ptr<const DecodeResult> result) {
        overview_->setDecodeResult(result);
        strip_->setResult(std::move(result));
        const int rows = std::min(strip_->rowCount(), kStripRowsShown);
        stripArea_->setFixedHeight(strip_->heightOfRows(rows));
        stripArea_->setVisible(rows > 0);
        followView();
    });
    connect(form_, &Form1::viewChanged, this, &MainWindow::followView);
    connect(form_, &Form1::captureChanged, this, &MainWindow::followView);
    connect(decoders_, &DecodersDock::spanRequested, navigator_, &ViewNavigator::showSpan);
    connect(strip_, &AnnotationStrip::annotationActivated, navigator_,
            [this](const QString &, qint64 first, qint64 last) { navigator_->showSpan(first, last); });

    QMenu *analyze = menuBar()->addMenu(QStringLiteral("&Analyze"));
    analyze->setObjectName(QStringLiteral("menuAnalyze"));
    analysis_ = new AnalysisCommands(*form_, *this, analyze);
    // "Add decoder" on a finding adds it with those channels and options.
    connect(analysis_->detection(), &DetectionDock::decoderRequested, decoders_, &DecodersDock::addDecoder);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction *keys = addCommand(help, QStringLiteral("actionKeys"), QStringLiteral("&Keyboard and mouse"), {},
                               QStringLiteral("Keys and mouse actions of the waveform view"));
    connect(keys, &QAction::triggered, this, &MainWindow::showKeyboardHelp);
    QAction *about = addCommand(help, QStringLiteral("actionAbout"), QStringLiteral("&About"), {},
                                QStringLiteral("Program version, Qt version and port"));
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

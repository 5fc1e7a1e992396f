#pragma once

#include <QHash>
#include <QRect>
#include <QMainWindow>
#include <QString>

class Form1;
class QAction;
class QMenu;
class QPushButton;
class QScrollArea;
class AnalysisCommands;
class NotesDock;
class SessionCommands;
class AnnotationStrip;
class CaptureCommands;
class DecodersDock;
class OverviewBand;
class RecentFiles;
class StatusPanel;
class ViewNavigator;

// The desktop frame around the instrument's window: menus, status bar and,
// later, panels. Form1 sits in it unchanged as the central widget, at its own
// fixed size. The frame listens to Form1's signals and acts on it only as a
// user would (a button's click, a scroll bar's arrows), so the window's
// handlers run exactly as they do without the frame.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `portText` names the port in the status bar ("/dev/ttyUSB0",
    // "simulated instrument"). The frame takes ownership of `form`.
    MainWindow(Form1 *form, const QString &portText, QWidget *parent = nullptr);
    ~MainWindow() override;

    Form1 &form() { return *form_; }
    StatusPanel &status() { return *status_; }
    ViewNavigator &navigator() { return *navigator_; }
    CaptureCommands &captureCommands() { return *captureCommands_; }
    AnalysisCommands &analysis() { return *analysis_; }
    DecodersDock &decoders() { return *decoders_; }
    AnnotationStrip &annotationStrip() { return *strip_; }
    OverviewBand &overview() { return *overview_; }
    RecentFiles &recentFiles() { return *recent_; }
    NotesDock &notes() { return *notes_; }
    SessionCommands &sessions() { return *sessions_; }
    QString portText() const { return portText_; }

    // The action of a menu command, by object name ("actionRun" ...), for tests.
    QAction *action(const QString &objectName) const;

    // Until the user resizes it, the frame takes the size its window, bands
    // and panels ask for, inside the screen's available area (tests give
    // their own area). After a resize by the user it keeps that size.
    void fitToContent();
    void setAvailableArea(const QRect &area) { availableArea_ = area; fitToContent(); }
    bool sizedByUser() const { return sizedByUser_; }
    void setSizedByUser(bool on) { sizedByUser_ = on; }

signals:
    // The frame is closing; the program ends right after (what is to be
    // remembered is written now).
    void aboutToClose();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &text, const QKeySequence &key,
                        const QString &tip);
    // The action follows its button: enabled state at every change, caption
    // whenever it can be seen.
    void mirrorButton(QAction *action, QPushButton *button);
    void syncRunCaption();
    void showKeyboardHelp();
    void showAbout();
    // Keeps the annotation strip on the traces' samples.
    void followView();
    // Takes up to `shortfall` pixels from the docked panels beside (Horizontal)
    // or below (Vertical) the window.
    void shrinkPanels(Qt::Orientation orientation, int shortfall);

    Form1 *form_;
    QString portText_;
    StatusPanel *status_ = nullptr;
    ViewNavigator *navigator_ = nullptr;
    CaptureCommands *captureCommands_ = nullptr;
    AnalysisCommands *analysis_ = nullptr;
    DecodersDock *decoders_ = nullptr;
    AnnotationStrip *strip_ = nullptr;
    OverviewBand *overview_ = nullptr;
    RecentFiles *recent_ = nullptr;
    NotesDock *notes_ = nullptr;
    SessionCommands *sessions_ = nullptr;
    QRect availableArea_; // empty: the screen's
    QSize fittedSize_;    // the size fitToContent gave last
    bool fitting_ = false;
    bool sizedByUser_ = false;
    QScrollArea *stripArea_ = nullptr;
    static constexpr int kStripRowsShown = 8; // more rows scroll
    static constexpr int kLeastPanelSize = 120; // a panel squeezed to fit keeps this much
    QAction *runAction_ = nullptr;
    QHash<QObject *, QAction *> mirrors_; // button -> its menu command
};

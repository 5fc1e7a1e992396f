#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>

class Form1;
class QAction;
class QMenu;
class QPushButton;
class QScrollArea;
class AnalysisCommands;
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
    QString portText() const { return portText_; }

    // The action of a menu command, by object name ("actionRun" ...), for tests.
    QAction *action(const QString &objectName) const;

protected:
    void closeEvent(QCloseEvent *event) override;
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
    QScrollArea *stripArea_ = nullptr;
    static constexpr int kStripRowsShown = 8; // more rows scroll
    QAction *runAction_ = nullptr;
    QHash<QObject *, QAction *> mirrors_; // button -> its menu command
};

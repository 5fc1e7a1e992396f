#include "frame/analysis_menu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

#include "app/form1.h"
#include "panels/analysis_docks.h"

AnalysisCommands::AnalysisCommands(Form1 &form, QMainWindow &window, QMenu *analyze)
    : QObject(&window), form_(form)
{
    detection_ = new DetectionDock(form_, &window);
    measurements_ = new MeasurementsDock(form_, &window);
    for (QDockWidget *d : {static_cast<QDockWidget *>(detection_), static_cast<QDockWidget *>(measurements_)}) {
        window.addDockWidget(Qt::BottomDockWidgetArea, d);
        d->hide(); // without panels the window is exactly as before
    }
    window.splitDockWidget(detection_, measurements_, Qt::Vertical); // full width each

    QAction *detect = analyze->addAction(QStringLiteral("&Detect protocols"), this, [this] {
        detection_->show();
        detection_->detect();
    });
    detect->setObjectName(QStringLiteral("actionDetect"));
    detect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    detect->setToolTip(QStringLiteral("Name what each channel carries, with the decoder that reads it"));
    autoDetect_ = analyze->addAction(QStringLiteral("Detect after every &new capture"));
    autoDetect_->setObjectName(QStringLiteral("actionAutoDetect"));
    autoDetect_->setCheckable(true);
    autoDetect_->setToolTip(QStringLiteral("Run the detection whenever a capture is read or loaded"));
    connect(&form_, &Form1::captureChanged, this, [this] {
        if (autoDetect_->isChecked() && form_.state.LastSampleIndex >= 0) {
            detection_->show();
            detection_->detect();
        }
    });
    analyze->addSeparator();
    QAction *measure = measurements_->toggleViewAction();
    measure->setText(QStringLiteral("&Measurements panel"));
    measure->setObjectName(QStringLiteral("actionMeasurements"));
    measure->setToolTip(QStringLiteral("Edges, frequency, duty and pulses of every channel"));
    analyze->addAction(measure);
}

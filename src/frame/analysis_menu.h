#pragma once

#include <QObject>

class DetectionDock;
class Form1;
class MeasurementsDock;
class QAction;
class QMainWindow;
class QMenu;

// The Analyze menu and its two panels.
class AnalysisCommands : public QObject {
    Q_OBJECT
public:
    AnalysisCommands(Form1 &form, QMainWindow &window, QMenu *analyzeMenu);

    DetectionDock *detection() const { return detection_; }
    MeasurementsDock *measurements() const { return measurements_; }
    QAction *autoDetect() const { return autoDetect_; }

private:
    Form1 &form_;
    DetectionDock *detection_;
    MeasurementsDock *measurements_;
    QAction *autoDetect_;
};

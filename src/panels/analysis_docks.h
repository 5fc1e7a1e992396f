#pragma once

#include <QTimer>

#include "panels/dock_built_when_shown.h"

class Form1;
class QCheckBox;
class QLabel;
class QTableWidget;

// Analyze → Detect protocols: what each channel carries, with the decoder
// that would decode it.
class DetectionDock : public DockBuiltWhenShown {
    Q_OBJECT
public:
    DetectionDock(Form1 &form, QWidget *parent = nullptr);

    // Looks at the capture in view and lists the findings.
    void detect();
    QTableWidget *table() { return ensureBuilt(), table_; }

signals:
    // "Add decoder" on a finding: a decoder in sigrok-cli's -P syntax.
    void decoderRequested(const QString &decoder);

private:
    void buildBody() override;

    Form1 &form_;
    QTableWidget *table_ = nullptr;
};

// Measurements of every channel over the whole capture or, when the user asks
// for it in the panel, between the two time cursors (following their drags).
class MeasurementsDock : public DockBuiltWhenShown {
    Q_OBJECT
public:
    MeasurementsDock(Form1 &form, QWidget *parent = nullptr);

    void refresh();
    QTableWidget *table() { return ensureBuilt(), table_; }
    QCheckBox *betweenCursors() { return ensureBuilt(), between_; }
    QString spanText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildBody() override;

    Form1 &form_;
    QCheckBox *between_ = nullptr;
    QLabel *span_ = nullptr;
    QTableWidget *table_ = nullptr;
    QTimer coalesce_; // cursor drags come in quick succession
};

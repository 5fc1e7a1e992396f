#pragma once

#include <QDockWidget>
#include <QTimer>

class Form1;
class QCheckBox;
class QLabel;
class QTableWidget;

// Analyze → Detect protocols: what each channel carries, with the decoder
// that would decode it.
class DetectionDock : public QDockWidget {
    Q_OBJECT
public:
    DetectionDock(Form1 &form, QWidget *parent = nullptr);

    // Looks at the capture in view and lists the findings.
    void detect();
    QTableWidget *table() const { return table_; }

signals:
    // "Add decoder" on a finding: a decoder in sigrok-cli's -P syntax.
    void decoderRequested(const QString &decoder);

private:
    Form1 &form_;
    QTableWidget *table_;
};

// Measurements of every channel over the whole capture or, when the user asks
// for it in the panel, between the two time cursors (following their drags).
class MeasurementsDock : public QDockWidget {
    Q_OBJECT
public:
    MeasurementsDock(Form1 &form, QWidget *parent = nullptr);

    void refresh();
    QTableWidget *table() const { return table_; }
    QCheckBox *betweenCursors() const { return between_; }
    QString spanText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    Form1 &form_;
    QCheckBox *between_;
    QLabel *span_;
    QTableWidget *table_;
    QTimer coalesce_; // cursor drags come in quick succession
};

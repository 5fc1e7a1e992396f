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
    // The table is built when the panel first shows (or is asked for).
    QTableWidget *table() { return build(), table_; }
    void setVisible(bool visible) override;

signals:
    // "Add decoder" on a finding: a decoder in sigrok-cli's -P syntax.
    void decoderRequested(const QString &decoder);

private:
    void build();

    Form1 &form_;
    QTableWidget *table_ = nullptr;
};

// Measurements of every channel over the whole capture or, when the user asks
// for it in the panel, between the two time cursors (following their drags).
class MeasurementsDock : public QDockWidget {
    Q_OBJECT
public:
    MeasurementsDock(Form1 &form, QWidget *parent = nullptr);

    void refresh();
    // The body is built when the panel first shows (or is asked for).
    QTableWidget *table() { return build(), table_; }
    QCheckBox *betweenCursors() { return build(), between_; }
    QString spanText();
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();

    Form1 &form_;
    QCheckBox *between_ = nullptr;
    QLabel *span_ = nullptr;
    QTableWidget *table_ = nullptr;
    QTimer coalesce_; // cursor drags come in quick succession
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/app_state.h"
#include "app/file_dialog.h"
#include "capture/capture.h"

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSlider;
class PictureBox;
class SerialPortService;

// How Form_Load reaches the instrument.
struct PortChoice {
    enum Kind { Device, Detached } kind = Device;
    QString deviceName; // for Device; empty = port 1 of the machine
};

// The one window of the program. Its member functions are the event handlers,
// named after the control and the event; the handlers of each subsystem live in
// the folder of that subsystem (device/, settings/, display/, files/).
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(const PortChoice &port = PortChoice(), QWidget *parent = nullptr);
    ~Form1() override;

    // ---- start-up and shut-down ----
    // Throws FatalError when the serial port cannot be opened.
    void Form_Load();
    void Form_QueryUnload();

    // ---- device link ----
    void Command1_Click(int index);
    void MSComm1_OnComm();
    // Tests and benchmarks: handles `chunk` at once as if one receive event
    // had taken it from the port (same path as MSComm1_OnComm, no event queue).
    void ReceiveChunkForTest(const QByteArray &chunk);

    // ---- acquisition settings ----
    void Option4_Click(int index);
    void Combo1_Click();
    void Slider1_Scroll();
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Option3_Click(int index);
    void Check1_Click(int index);

    // ---- waveform display ----
    void HScroll1_Change();
    void VScroll1_Change();
    void Combo2_Click();
    void VScroll2_Change();
    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture1_MouseMove(int button, int shift, float x, float y);
    void Picture1_MouseUp(int button, int shift, float x, float y);

    // ---- capture files ----
    void Command2_Click(int index);

    // The shared state, owned by the window for its whole life.
    AppState state;

    // ---- controls (design state built in form1_layout.cpp) ----
    QFrame *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr, *Frame4 = nullptr;
    QPushButton *Option1[2] = {};
    QPushButton *Option2[4] = {};
    QPushButton *Option3[4] = {};
    QPushButton *Option4[2] = {};
    QPushButton *Check1[4] = {};
    QButtonGroup *Option1Group = nullptr, *Option2Group = nullptr, *Option3Group = nullptr,
                 *Option4Group = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
    QLabel *Label3[4] = {};
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr;
    QPushButton *Command1[4] = {};
    QPushButton *Command2[2] = {};
    QSlider *Slider1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QScrollBar *VScroll1 = nullptr, *VScroll2 = nullptr, *HScroll1 = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *Picture1Border = nullptr;
    PictureBox *Picture1 = nullptr;
    SerialPortService *MSComm1 = nullptr;
    CommonDialog CommonDialog1;

    // Tag texts of the trigger-condition buttons (the condition codes).
    static const char *const Option2Tag[4];

    // ---- control operations shared by the handlers ----
    // Logic mode is the state in which Option4(0) is selected.
    bool isLogicMode() const;
    bool isAnalogMode() const { return !isLogicMode(); }
    bool isOptionSelected(QPushButton *option) const;
    // Selects an option button; runs its click handler when it was not selected.
    void selectOption(QPushButton *option);
    // Check value 0 or 1.
    int checkValue(int index) const;
    // Sets a check box; runs Check1_Click when the state changes.
    void setCheckValue(int index, int value);
    // Sets a list's selected index; runs its click handler when the index
    // changes. An index the list does not have is refused (false, nothing changes).
    bool setListIndex(QComboBox *list, int index);
    // Fills a list without selecting anything and without running its handler.
    void fillList(QComboBox *list, const QStringList &entries);
    // The slider's position and maximum set by code never run Slider1_Scroll.
    void setSliderValue(int value);
    void setSliderMaximum(int maximum);
    // "Run", "DataRead" and "Save" disabled: the settings on screen are not
    // the instrument's any more.
    void disableRunReadSave();
    // Gives Picture1 the keyboard focus; false when it cannot take it.
    bool focusPicture();
    // Pumps pending window events once.
    void pumpEvents();
    // Text of a time (and frequency) for a count of sample periods.
    QString UpdateReadouts(int32_t count, bool withFrequency) const;
    // The voltage between the two voltage cursors, as shown in Label4.
    QString voltageReadout() const;

    // How the program ends from Form_QueryUnload (at once, even from inside a
    // wait). Tests replace it.
    static std::function<void(int)> endProgram;
    // Modal dialogs go through this so tests can replace them.
    std::function<DialogResult(CommonDialog &, bool save)> showFileDialog;

    // Upper limit of records a sample stream may fill; bytes of records past
    // it are read but not stored.
    static constexpr int32_t kMaxStreamRecords = 1 << 20;

    // The capture in view as a read-only value (empty while there is none),
    // with the settings on screen: mode, rate, trigger and analog range.
    Capture capture() const;

signals:
    // Emitted after the handlers that change what capture() returns: a
    // device button press (which empties the store and may read a new
    // capture), Load, the mode switch, the rate and the analog range.
    void captureChanged();
    // Emitted at the end of every redraw of the view (HScroll1_Change).
    void viewChanged();
    // A device button's transaction began (after its preamble) and ended
    // (after its epilogue). Presses nest: Run reads the data itself, and Stop
    // is pressed while Run waits.
    void transactionStarted(int button);
    void transactionEnded(int button);
    // A time cursor was dragged to a new sample (XRefSample, XAxisSample).
    void timeCursorsMoved();
    // The serial port failed for good; the text says why.
    void portFailed(const QString &reason);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    void setTabOrder();
    void fitLabelsToFont();
    bool WaitIdle(); // false when the port failed for good
    void ProcessRxChunk(const QByteArray &input);
    void ProcessRxByte(uint8_t b);
    void ProcessStreamByte(uint8_t b, bool analog);
    void ProcessSettingsReplyByte(uint8_t b);
    void ProcessStopReplyByte(uint8_t b);
    void ProcessRangeReport(uint8_t b);
    void ensureStoreCovers(int32_t record, int field);
    void handleDeviceFailure(const QString &errorText);
    void Load();
    void Save();

    PortChoice portChoice_;
    bool rxInProgress_ = false;      // a chunk is being processed
    int settingsReplyRate_ = 0;      // rate position of the settings reply, for the mode switch
    bool portClosedReported_ = false;
    // Sample periods asked of the instrument for the capture in the store;
    // 0 for a loaded capture, whose file does not record it.
    int32_t captureLength_ = 0;
};

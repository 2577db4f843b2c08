#pragma once

// The comm device's settings dialog: port, line and buffer settings, checked in a fixed order,
// applied to the device, and put back as they were when the port cannot be opened with them.

#include <QDialog>
#include <QString>
#include <cstdint>

#include "Nxcommdevice.h"

class Prompt;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace QuillComm {

// The dialog's texts in the language of a locale identifier (2052, 1028, else English).
class TMsgStrings {
public:
    static constexpr int kCount = 36;

    TMsgStrings();
    explicit TMsgStrings(uint32_t lcId) : lcId_(lcId) {}
    QString fGetMsg(int i) const;

private:
    uint32_t lcId_;
};

// The settings the dialog remembers and applies.
struct CommDeviceSettings {
    QString portName;
    long baud = 115200;  // the port object's number, any value
    int parity = ptNoParity;
    int byteSize = 8;
    int stopBits = sbOneStopBit;
    int flowControl = fcNone;
    int autoAnswer = 0;
    long inBufSize = 8192;
    long outBufSize = 8192;
};

CommDeviceSettings ReadDeviceSettings(const TNxCustomCommDevice& device);

// Applies in the dialog's order (the port name first, which closes the port), then sets
// Active. Throws what the device throws, unless ignoreErrors: then every step is tried.
void ApplyDeviceSettings(TNxCustomCommDevice& device, const CommDeviceSettings& settings,
                         bool active, bool ignoreErrors = false);

// The dialog's input as its controls hold it; an index of -1 means no selection.
struct CommSettingsInput {
    int portIndex = -1;
    QString portName;
    QString baud;
    int byteSizeIndex = -1;
    int parityIndex = -1;
    int stopBitsIndex = -1;
    int flowIndex = -1;
    QString autoAnswer;
    QString inBufSize;
    QString outBufSize;
};

enum class SettingsField {
    None,
    Port,
    Baud,
    ByteSize,
    Parity,
    StopBits,
    FlowControl,
    AutoAnswer,
    InBufSize,
    OutBufSize
};

struct SettingsCheck {
    SettingsField field = SettingsField::None;
    int message = -1;  // the TMsgStrings entry to show
};

constexpr long kMinBufferSize = 4096;

// The checks in the dialog's order; the first that fails is returned. On success settings
// holds what to apply.
SettingsCheck CheckSettingsInput(const CommSettingsInput& input, CommDeviceSettings* settings);

class TForm_NxCommDevice_Settings : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 393;
    static constexpr int kHeight = 228;

    // prompt shows the dialog's message boxes.
    TForm_NxCommDevice_Settings(QWidget* owner, bool reopen, TNxCustomCommDevice* device,
                                Prompt& prompt);

    QGroupBox* GboxBase;
    QGroupBox* GBoxModem;
    QGroupBox* GBoxBuffer;
    QLabel* lbPort;
    QLabel* lbBaud;
    QLabel* lbCheck;
    QLabel* lbBits;
    QLabel* lbStops;
    QLabel* lbFlow;
    QLabel* lbAAns;
    QLabel* lbInbs;
    QLabel* lbOutbs;
    QComboBox* CbPort;
    QComboBox* CbSelBaud;
    QComboBox* CbParity;
    QComboBox* CbByteSize;
    QComboBox* CbStopBits;
    QComboBox* CbFlow;
    QLineEdit* EditAutoAns;
    QLineEdit* EditInBufSize;
    QLineEdit* EditOutBufSize;
    QPushButton* BnAbout;
    QPushButton* BnDefault;
    QPushButton* BnOK;
    QPushButton* BnCancel;

    void BnOKClick();
    void BnCancelClick();
    void BnDefaultClick();
    void BnAboutClick();
    bool MoveCtrlFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ShowSettings(const CommDeviceSettings& settings);
    CommSettingsInput Input() const;
    QWidget* FieldControl(SettingsField field) const;
    void ShowError(const QString& text);

    TNxCustomCommDevice* device_;
    bool reopen_;
    bool wasActive_;
    CommDeviceSettings remembered_;
    Prompt& prompt_;
    TMsgStrings msg_;
};

// Shows the device's settings dialog modally; true when it was closed with OK. prompt (may be
// null: real message boxes) answers the dialog's messages.
bool SettingsDialog(TNxCustomCommDevice& device, QWidget* owner, bool reopen,
                    Prompt* prompt = nullptr);

}  // namespace QuillComm

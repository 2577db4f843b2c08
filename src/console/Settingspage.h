#pragma once

// Page 1 of the console's notebook: the scanner's configuration commands and the log of what
// was sent and what the scanner answered. The window feeds it the received chunks while the
// page shows and gives it the way to the port.

#include <QWidget>
#include <functional>

#include "DeviceCommands.h"
#include "Textlines.h"

class Prompt;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace console {

class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    // Hands bytes to the open port; false when no port is open.
    using SendBytes = std::function<bool(const QByteArray& bytes)>;

    TSettingsPage(QWidget* parent, Prompt& prompt, SendBytes sendBytes);

    void ButtonSendLazserClick();
    void SendCommandText(const QString& text);
    void btnClearClick();
    void btnMaxMinDistanceClick();
    void btnSetMotorFreqClick();
    void btnMotorClick();
    void btnAngleClick();
    void btn1Click();

    void AssembleTextLines(const uint8_t* bytes, int count);
    void AddLogLine(const char* line, int length);
    void ParseSettingsReply(const char* line, int length);

    // The memo's line count as its owner counts it: an empty memo has none.
    int LogLineCount() const;

    QPlainTextEdit* mmoLog = nullptr;
    QLineEdit* EditSendLaser = nullptr;
    QPushButton* ButtonSendLazser = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnMCUID = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnSave = nullptr;
    QLineEdit* edtMaxDistance = nullptr;
    QLineEdit* edtMinDistance = nullptr;
    QPushButton* btnMaxMinDistance = nullptr;
    QComboBox* cbbBand = nullptr;
    QPushButton* btn1 = nullptr;
    QComboBox* cbbMotor = nullptr;
    QPushButton* btnSetMotorFreq = nullptr;
    QCheckBox* chkMotor = nullptr;
    QCheckBox* chkMotorAuto = nullptr;
    QCheckBox* chkMinDistance = nullptr;
    QCheckBox* chkMaxDistance = nullptr;
    QCheckBox* chkDistance = nullptr;
    QCheckBox* chkAngle = nullptr;
    QPushButton* btnMotor = nullptr;
    QLineEdit* edtAngleStart = nullptr;
    QLineEdit* edtAngleEnd = nullptr;
    QPushButton* btnAngle = nullptr;
    QPushButton* btnForceOutput = nullptr;
    QToolButton* btnExitSet = nullptr;

private:
    void BuildControls();
    void Log(const QString& text);
    // Checks both boxes in order; the first that fails gets the focus.
    bool CheckPair(QLineEdit* first, QLineEdit* second, int min, int max);
    QCheckBox* ModeBox(int bit) const;

    Prompt& prompt_;
    SendBytes sendBytes_;
    TTextLineAssembler lines_;
};

// The selected item of an editable combo box, or -1 once its text no longer is that item's.
int SelectedIndex(const QComboBox& combo);

}  // namespace console

#pragma once

// TfrmVYK10 of the zone tool: the console's scan display and acquisition loop with the zone
// editing and transfer beside it. The rules live in TZoneTool and the shared scan classes.

#include <memory>

#include "Portlink.h"
#include "ScanWindow.h"
#include "Zonesummary.h"
#include "Zonetool.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TProcessForm;

namespace zone {

constexpr char kDesignCaption[] = "VYK-05Halvex激光雷达区域防护设置V7.08.09";
constexpr int kCmdShowLog = 2003;
constexpr int kCmdOpenRecording = 2006;
constexpr int kCmdLeaveReplay = 2007;

using ZoneToolOptions = scanwindow::WindowOptions;

// The output group box's controls, by output.
struct OutputControls {
    QGroupBox* group = nullptr;
    QLineEdit* coordinate[ZoneBoxes::kCoordinates] = {};
    QLabel* pointLabel[ProtectZone::kPairs] = {};
    QLineEdit* sensitivity = nullptr;
    QCheckBox* level = nullptr;
    QCheckBox* shape = nullptr;
    QPushButton* clear = nullptr;
    QPushButton* save = nullptr;
};

class TfrmVYK10 : public scanwindow::TScanWindow {
    Q_OBJECT
public:
    explicit TfrmVYK10(ZoneToolOptions options, QWidget* parent = nullptr);
    ~TfrmVYK10() override;

    void SystemCommand(int command) override;

    TZoneTool& Tool() { return tool_; }
    // The zones of the shown group over the whole recording replayed, or null.
    const ZoneRecordingSummary* Summary() const { return summary_.get(); }

    // "打开历史文件": a recording replayed under the zones instead of the live scan.
    void OpenRecordingExecute();
    // Back to the live scan through the port dialog.
    void LeaveReplayExecute();

    QWidget* pnl1 = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPlay = nullptr;
    QPushButton* btnReadPara = nullptr;
    QComboBox* cbbRectIndex = nullptr;
    OutputControls outputs[kZoneOutputs];
    QWidget* pnlLog = nullptr;
    QPlainTextEdit* mmoLog = nullptr;
    QLineEdit* edt1 = nullptr;
    QPushButton* btnSend = nullptr;
    QComboBox* cbbBand = nullptr;
    QPushButton* btn2 = nullptr;
    QPushButton* btnClear = nullptr;
    TProcessForm* processForm = nullptr;
    QLabel* lblZoneSummary = nullptr;
    QTimer* tmrZoneSummary = nullptr;

protected:
    QByteArray ChangeHistoryText() const override;
    void Shown() override;
    void PortChanged() override;
    // nbMain stays on its graph page: every chunk goes to the zone tool's line assembler.
    bool EchoActive() const override { return true; }

private:
    void BuildControls();
    QWidget* BuildOutput(int output, QWidget* parent);
    void BuildLogPanel(QWidget* parent);
    void ConnectTool();
    void FormCreate();
    void FormDestroy();
    void ShowBoxes(int output);
    void TakeBoxes(int output);
    // The replay's mode on or off: the tool, the graph's outputs and the summary's controls.
    void ShowReplayMode(bool replaying);
    // The live scan again, through the port dialog.
    void ReturnToLive();
    void ShowSummary();

    PortLink link_;
    TZoneTool tool_;
    std::unique_ptr<ZoneRecordingSummary> summary_;
};

}  // namespace zone

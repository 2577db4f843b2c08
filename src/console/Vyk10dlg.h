#pragma once

// TfrmVYK10: the console's main window. It owns the port while connected, the decoder, the
// graph and the point buffer; the rules it follows live in the plain classes it calls.

#include <functional>
#include <memory>

#include "ConsoleRecording.h"
#include "ExportProgress.h"
#include "HistoryReplay.h"
#include "Logfile.h"
#include "RecordingExports.h"
#include "ScanWindow.h"

class IapPort;
class IniFile;
class Prompt;
class QAction;
class QMenu;
class QToolButton;

namespace record {
class TfrmFileProcess;
}  // namespace record

namespace console {

class TSettingsPage;

constexpr char kDesignCaption[] = "VYK-10Halvex激光雷达点云数据采集分析系统V7.08.03";

struct ConsoleOptions : scanwindow::WindowOptions {
    // Empty: the upgrade window's own comm device, its COM numbers mapped by ini.
    std::function<std::unique_ptr<IapPort>(Prompt&, const IniFile*)> makeUpgradePort;
    int32_t segmentLimit = record::kSegmentLimit;  // of a recording's segment files
};

class TfrmVYK10 : public scanwindow::TScanWindow {
    Q_OBJECT
public:
    explicit TfrmVYK10(ConsoleOptions options, QWidget* parent = nullptr);
    ~TfrmVYK10() override;

    void FormResize() override;
    void ShowTimeButtons(int viewType, bool relayout);
    void ButtonTimeZoomUpClick();
    void ButtonTimeZoomDownClick();

    void SystemCommand(int command) override;
    void SelectView(int viewType);
    void pm1Popup();
    void statMainMouseUp(Qt::MouseButton button, int x, QPoint globalPos);
    void pmDebugPopup();
    void mniSetDebugModeClick();
    void mniN5Click();
    void mniDecodeToolsClick();
    void ShowSettingsPage(bool on);

    void btnOpenSaveLogFileClick();
    void btnOpenFileClick();
    // Live the newest complete revolution; during a replay the one shown.
    void ExportScan();
    void ExportRange();
    void ExportMcap();

    bool displayFilter = false;
    QString historyFile;
    int recordButtonImage = kImageRecordIdle;

    static constexpr int kImageRecordIdle = 8;
    static constexpr int kImageRecording = 30;

    const record::TLogFile* Recording() const { return recording_.Log(); }
    HistoryReplay& Replay() { return replay_; }

    QAction* btnOpenFile = nullptr;
    QAction* btnOpenSaveLogFile = nullptr;
    QAction* btn2 = nullptr;
    QAction* btn3 = nullptr;
    QAction* btnTimeSeparator = nullptr;
    QAction* ButtonTimeZoomUp = nullptr;
    QAction* ButtonTimeZoomDown = nullptr;
    QMenu* pm1 = nullptr;
    QAction* mniSet = nullptr;
    QAction* mniCircle = nullptr;
    QAction* mniData = nullptr;
    QAction* mniMulCircle = nullptr;
    QAction* mniDecodeTools = nullptr;
    QMenu* pmDebug = nullptr;
    QAction* mniSetDebugMode = nullptr;
    QAction* mniN5 = nullptr;
    TSettingsPage* settingsPage = nullptr;
    QToolButton* btnExitSet = nullptr;
    record::TfrmFileProcess* frmFileProcess = nullptr;
    ExportProgressDialog exportProgress{this};

protected:
    QByteArray ChangeHistoryText() const override;
    bool EchoActive() const override;
    void Image2RightButtonDown(int x, int y, QPoint globalPos) override;
    bool ViewBusy() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void FormCreate();
    void FormDestroy();
    void ApplyTimeZoom(bool changed);
    void ShowUpgradeWindow();
    void ShowRecordButton(int image);
    void StopRecording();
    void ShowRecordingFault();
    void LeaveLiveOperation();
    void OpenReplay(const QString& path);
    void ShowLoadedFromStart();
    // The exports as the settings and the recording's folder have them now.
    RecordingExports& Exports();

    std::function<std::unique_ptr<IapPort>(Prompt&, const IniFile*)> makeUpgradePort_;
    ConsoleRecording recording_;
    HistoryReplay replay_;
    RecordingExports exports_;
};

}  // namespace console

#pragma once

// TfrmVYK10: the console's main window. It owns the port while connected, the decoder, the
// graph and the point buffer; the rules it follows live in the plain classes it calls.

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "Acquisition.h"
#include "ConsoleSettings.h"
#include "HistoryReplay.h"
#include "Interaction.h"
#include "Lasernode.h"
#include "Logfile.h"
#include "PortReconnect.h"
#include "Setportdlg.h"

class IapPort;
class IniFile;
class Prompt;
class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolButton;
class SystemMenu;
class TSerialPort;
class TVykGraph;
class WidgetPrompt;

namespace record {
class TfrmFileProcess;
}  // namespace record

namespace console {

class TSettingsPage;

// The control the scan is drawn on: shows the graph's target and reports the mouse.
class ScanImage : public QWidget {
    Q_OBJECT
public:
    explicit ScanImage(QWidget* parent);
    QImage target;

signals:
    void MouseMoved(int x, int y);
    void MousePressed(Qt::MouseButton button, int x, int y, QPoint globalPos);
    void MouseReleased();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

struct ConsoleOptions {
    QString iniPath;
    Prompt* prompt = nullptr;                      // null: real dialogs
    setport::PortSource portSource;                // empty: the machine's COM devices
    std::function<bool(const QString&)> openFile;  // empty: the desktop's default program
    // Empty: a plain TSerialPort. Throws when the object cannot be had.
    std::function<std::unique_ptr<TSerialPort>(Prompt&, const IniFile*)> makePort;
    // Empty: the upgrade window's own comm device, its COM numbers mapped by ini.
    std::function<std::unique_ptr<IapPort>(Prompt&, const IniFile*)> makeUpgradePort;
    int32_t segmentLimit = record::kSegmentLimit;  // of a recording's segment files
};

class TfrmVYK10 : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmVYK10(ConsoleOptions options, QWidget* parent = nullptr);
    ~TfrmVYK10() override;

    // Runs the port dialog; false when no port is open afterwards (the program then ends).
    bool FormShow();

    void ConnectActionExecute();
    void DisconnectActionExecute();
    void ReleasePort();
    void tmrComportTimer();
    void ShowLatest();
    void RedrawView();
    void ShowPortStatus();
    void ShowZoomStatus();
    void ShowPointStatus();
    void ShowByteStatus();

    void FormResize();
    void ShowTimeButtons(int viewType, bool relayout);
    void ButtonTimeZoomUpClick();
    void ButtonTimeZoomDownClick();
    void Image2MouseMove(int x, int y);
    void Image2MouseDown(Qt::MouseButton button, int x, int y, QPoint globalPos);
    void Image2MouseUp();
    void FormMouseWheelDown(QPoint globalPos);
    void FormMouseWheelUp(QPoint globalPos);

    void SystemCommand(int command);
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
    void scrlbrHisLogChange();
    void ExportScan();

    // State and controls, open to the tests as a form's published parts are.
    PointStore store;
    ConsoleSettings settings;
    bool displayFilter = false;
    QString historyFile;
    int referenceDistance = 0;
    int referenceAngleCopy = 0;
    bool scrollGuard = true;
    TimeZoomButtons timeZoom;
    DragState drag;
    WheelGate wheelDown;
    WheelGate wheelUp;
    uint8_t portNumber = 0;
    int recordButtonImage = kImageRecordIdle;

    static constexpr int kImageRecordIdle = 8;
    static constexpr int kImageRecording = 30;

    TVykGraph* Graph() const { return graph_.get(); }
    AcquisitionLoop& Loop() { return loop_; }
    bool PortOpen() const { return port_ != nullptr; }
    const TSerialPort* Port() const { return port_.get(); }
    IniFile& Ini() { return *ini_; }
    const record::TLogFile* Recording() const { return logFile_.get(); }
    HistoryReplay& Replay() { return replay_; }

    QAction* ConnectAction = nullptr;
    QAction* DisconnectAction = nullptr;
    QAction* btnOpenFile = nullptr;
    QAction* btnOpenSaveLogFile = nullptr;
    QAction* btn2 = nullptr;
    QAction* btn3 = nullptr;
    QAction* btnTimeSeparator = nullptr;
    QAction* ButtonTimeZoomUp = nullptr;
    QAction* ButtonTimeZoomDown = nullptr;
    QStackedWidget* nbMain = nullptr;
    QWidget* pnlGragh = nullptr;
    ScanImage* Image2 = nullptr;
    QLabel* LabelGraphData = nullptr;
    QScrollBar* scrlbrHisLog = nullptr;
    QStatusBar* statMain = nullptr;
    QLabel* statPanels[8] = {};
    QTimer* tmrComport = nullptr;
    QMenu* pm1 = nullptr;
    QAction* mniSet = nullptr;
    QAction* mniCircle = nullptr;
    QAction* mniData = nullptr;
    QAction* mniMulCircle = nullptr;
    QAction* mniDecodeTools = nullptr;
    QMenu* pmDebug = nullptr;
    QAction* mniSetDebugMode = nullptr;
    QAction* mniN5 = nullptr;
    SystemMenu* systemMenu = nullptr;
    TSettingsPage* settingsPage = nullptr;
    QToolButton* btnExitSet = nullptr;
    record::TfrmFileProcess* frmFileProcess = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void FormCreate();
    void FormDestroy();
    void ApplyTimeZoom(bool changed);
    void WheelStep(WheelGate& gate, QPoint globalPos, void (TVykGraph::*step)(int));
    bool SendToPort(const QByteArray& bytes);
    // OpenPort with the console's settings, then the monitor; false when the port did not open.
    bool StartPort(TSerialPort& port);
    std::unique_ptr<TSerialPort> ReopenPort();
    void ShowUpgradeWindow();
    void ShowRecordButton(int image);
    void LeaveLiveOperation();

    ConsoleOptions options_;
    std::unique_ptr<IniFile> ini_;
    std::unique_ptr<WidgetPrompt> ownPrompt_;
    Prompt* prompt_;
    std::unique_ptr<TSerialPort> port_;
    TLaserDecode decoder_;
    std::unique_ptr<TVykGraph> graph_;
    AcquisitionLoop loop_;
    PortReconnect reconnect_;
    std::unique_ptr<record::TLogFile> logFile_;
    HistoryReplay replay_;
};

}  // namespace console

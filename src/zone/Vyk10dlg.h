#pragma once

// TfrmVYK10 of the zone tool: the console's scan display and acquisition loop with the zone
// editing and transfer beside it. The rules live in TZoneTool and the shared scan classes.

#include <QMainWindow>
#include <functional>
#include <memory>

#include "Acquisition.h"
#include "ConsoleSettings.h"
#include "Interaction.h"
#include "Lasernode.h"
#include "Portlink.h"
#include "Setportdlg.h"
#include "Zonetool.h"

class IniFile;
class Prompt;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QStackedWidget;
class QStatusBar;
class QTimer;
class SystemMenu;
class TProcessForm;
class TSerialPort;
class TVykGraph;
class WidgetPrompt;

namespace console {
class ScanImage;
}

namespace zone {

constexpr char kDesignCaption[] = "VYK-05Halvex激光雷达区域防护设置V7.08.09";
constexpr int kZoneToolBaud = 115200;
constexpr int kCmdShowLog = 2003;

struct ZoneToolOptions {
    QString iniPath;
    Prompt* prompt = nullptr;                      // null: real dialogs
    setport::PortSource portSource;                // empty: the machine's COM devices
    std::function<bool(const QString&)> openFile;  // empty: the desktop's default program
};

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

class TfrmVYK10 : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmVYK10(ZoneToolOptions options, QWidget* parent = nullptr);
    ~TfrmVYK10() override;

    // Runs the port dialog; false when no port is open afterwards (the program then ends).
    bool FormShow();
    void ConnectActionExecute();
    void ReleasePort();
    void tmrComportTimer();
    void ShowLatest();
    void RedrawView();
    void SystemCommand(int command);
    void FormResize();
    void Image2MouseMove(int x, int y);
    void Image2MouseDown(Qt::MouseButton button, int x, int y);
    void Image2MouseUp();
    void scrlbrHisLogChange();

    console::PointStore store;
    console::ConsoleSettings settings;
    console::DragState drag;
    int referenceDistance = 0;
    int referenceAngleCopy = 0;
    bool scrollGuard = true;
    uint8_t portNumber = 0;

    TZoneTool& Tool() { return tool_; }
    TVykGraph* Graph() const { return graph_.get(); }
    console::AcquisitionLoop& Loop() { return loop_; }
    bool PortOpen() const { return port_ != nullptr; }
    const TSerialPort* Port() const { return port_.get(); }

    QAction* ConnectAction = nullptr;
    QAction* DisconnectAction = nullptr;
    QStackedWidget* nbMain = nullptr;
    QWidget* pnl1 = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPlay = nullptr;
    QPushButton* btnReadPara = nullptr;
    QComboBox* cbbRectIndex = nullptr;
    OutputControls outputs[kZoneOutputs];
    QWidget* pnlLog = nullptr;
    QLabel* LabelGraphData = nullptr;
    QPlainTextEdit* mmoLog = nullptr;
    QLineEdit* edt1 = nullptr;
    QPushButton* btnSend = nullptr;
    QComboBox* cbbBand = nullptr;
    QPushButton* btn2 = nullptr;
    QPushButton* btnClear = nullptr;
    QWidget* pnlGragh = nullptr;
    console::ScanImage* Image2 = nullptr;
    QScrollBar* scrlbrHisLog = nullptr;
    QStatusBar* statMain = nullptr;
    QLabel* statPanels[8] = {};
    QTimer* tmrComport = nullptr;
    SystemMenu* systemMenu = nullptr;
    TProcessForm* processForm = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildOutput(int output, QWidget* parent);
    void BuildLogPanel(QWidget* parent);
    void ConnectTool();
    void FormCreate();
    void FormDestroy();
    void ShowBoxes(int output);
    void TakeBoxes(int output);
    void ShowPortStatus();
    void ShowPointStatus();
    void ShowByteStatus();

    ZoneToolOptions options_;
    std::unique_ptr<IniFile> ini_;
    std::unique_ptr<WidgetPrompt> ownPrompt_;
    Prompt* prompt_;
    std::unique_ptr<TSerialPort> port_;
    PortLink link_;
    TZoneTool tool_;
    TLaserDecode decoder_;
    std::unique_ptr<TVykGraph> graph_;
    console::AcquisitionLoop loop_;
};

}  // namespace zone

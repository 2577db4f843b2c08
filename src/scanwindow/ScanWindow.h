#pragma once

// TScanWindow: what the console's and the zone tool's main windows share: the port with its
// dialog and its reconnection, the acquisition loop on the timer, the scan image with its mouse
// and wheel handling, the status bar and the system menu's common commands. Each window lays
// these controls out beside its own; where the programs differ, the window's ScanWindowKind or
// one of the hooks below says how.

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "Acquisition.h"
#include "FileReplace.h"
#include "Interaction.h"
#include "Lasernode.h"
#include "PortReconnect.h"
#include "RecordingReplay.h"
#include "ScanImage.h"
#include "ScannerInterface.h"
#include "Setportdlg.h"
#include "Vykgraph.h"
#include "WindowSettings.h"

class IniFile;
class Prompt;
class QAction;
class QComboBox;
class QLabel;
class QScrollBar;
class QShortcut;
class QSlider;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolBar;
class SystemMenu;
class TSerialPort;
class WidgetPrompt;

namespace scanwindow {

class TfrmLinkStatus;

struct WindowOptions {
    QString iniPath;
    Prompt* prompt = nullptr;                      // null: real dialogs
    setport::PortSource portSource;                // empty: the machine's COM devices
    std::function<bool(const QString&)> openFile;  // empty: the desktop's default program
    // Empty: a plain TSerialPort. Throws when the object cannot be had.
    std::function<std::unique_ptr<TSerialPort>(Prompt&, const IniFile*)> makePort;
};

// Where the two programs' scan windows differ in what they share.
struct ScanWindowKind {
    setport::Program dialog;  // the port dialog's variant
    GraphProgram graph;
    int timerIntervalMs;
    int defaultBaud;  // BandRate without an INI value
    int redrawAbove;  // a tick with more new records than this redraws
    bool ratesEverySecondTick;
    bool baudBoxShown;  // the port dialog's baud box: hidden, or shown and locked
    // RedrawView moves the scroll bar in the multi-circle view as in the strip view.
    bool multiCircleScrolls;
};

// The zone tool ticks every 30 ms instead of 20, starts at 115200 baud, redraws after more than
// 1 new record instead of 10, recomputes the rates every second tick instead of every 31st,
// shows the baud box locked instead of hiding it, and scrolls in the strip view only.
constexpr ScanWindowKind kConsoleWindow = [] {
    ScanWindowKind kind{};
    kind.dialog = setport::Program::Console;
    kind.graph = GraphProgram::Console;
    kind.timerIntervalMs = 20;
    kind.defaultBaud = scanner::kConsoleBaud;
    kind.redrawAbove = kRedrawAbove;
    kind.ratesEverySecondTick = false;
    kind.baudBoxShown = false;
    kind.multiCircleScrolls = true;
    return kind;
}();
constexpr ScanWindowKind kZoneToolWindow = [] {
    ScanWindowKind kind{};
    kind.dialog = setport::Program::ZoneTool;
    kind.graph = GraphProgram::ZoneTool;
    kind.timerIntervalMs = 30;
    kind.defaultBaud = scanner::kZoneToolBaud;
    kind.redrawAbove = 1;
    kind.ratesEverySecondTick = true;
    kind.baudBoxShown = true;
    kind.multiCircleScrolls = false;
    return kind;
}();

class TScanWindow : public QMainWindow {
    Q_OBJECT
public:
    TScanWindow(WindowOptions options, const ScanWindowKind& kind, QWidget* parent);
    ~TScanWindow() override;

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
    // The link's health beside the panels, red while something was lost lately.
    void ShowLinkStatus();
    // The system menu's "链路状态": the window of the link's figures, made once.
    void ShowLinkStatusWindow();
    virtual void FormResize();
    void Image2MouseMove(int x, int y);
    void Image2MouseDown(Qt::MouseButton button, int x, int y, QPoint globalPos = {});
    void Image2MouseUp();
    void FormMouseWheelDown(QPoint globalPos);
    void FormMouseWheelUp(QPoint globalPos);
    void scrlbrHisLogChange();
    // The commands both programs have: change history, help, distance limit.
    virtual void SystemCommand(int command);

    // Replays the whole recording path belongs to, from the revolution the index finds first
    // in it; the point buffer keeps what it holds until the user moves. False with the reason
    // when no recording can be made of the file; a replay shown before goes either way.
    bool StartReplay(const QString& path, QString& error);
    // Ends the replay shown, its controls hidden; the point buffer keeps what it holds.
    void StopReplay();
    // The replay shown, or null.
    RecordingReplay* Replaying() const { return replaying_.get(); }
    // The keys' moves; an end reached does nothing, a segment that cannot be read is told.
    void ReplayMoveExecute(ReplayMove move);
    void ReplayPlayExecute();
    void SetReplaySpeed(record::PlaybackSpeed speed);
    // The line speed the replay is timed at, BandRate until the user gives another.
    void AskReplayBaudExecute();
    void sldTimelineChange(int step);
    void tmrReplayTimer();

    // State and controls, open to the tests as a form's published parts are.
    PointStore store;
    WindowSettings settings;
    int referenceDistance = 0;
    int referenceAngleCopy = 0;
    bool scrollGuard = true;
    TimeZoomButtons timeZoom;
    DragState drag;
    WheelGate wheelDown;
    WheelGate wheelUp;
    uint8_t portNumber = 0;
    int replayBaud = 0;  // the line speed a replay is timed at; 0: BandRate

    TVykGraph* Graph() const { return graph_.get(); }
    AcquisitionLoop& Loop() { return loop_; }
    bool PortOpen() const { return port_ != nullptr; }
    const TSerialPort* Port() const { return port_.get(); }

    QAction* ConnectAction = nullptr;
    QAction* DisconnectAction = nullptr;
    QToolBar* tlbMain = nullptr;
    QStackedWidget* nbMain = nullptr;
    QWidget* pnlGragh = nullptr;
    ScanImage* Image2 = nullptr;
    QLabel* LabelGraphData = nullptr;
    QScrollBar* scrlbrHisLog = nullptr;
    // The whole recording under the view while a replay is shown; each window lays it out.
    QSlider* sldTimeline = nullptr;
    QComboBox* cbxReplaySpeed = nullptr;
    QAction* ReplayPlayAction = nullptr;
    QLabel* lblReplayPosition = nullptr;
    QTimer* tmrReplay = nullptr;
    QStatusBar* statMain = nullptr;
    QLabel* statPanels[8] = {};
    QLabel* lblLinkStatus = nullptr;
    TfrmLinkStatus* frmLinkStatus = nullptr;
    QTimer* tmrComport = nullptr;
    SystemMenu* systemMenu = nullptr;

protected:
    // The change history as the program carries it: GBK with CR LF line ends.
    virtual QByteArray ChangeHistoryText() const = 0;
    // After FormShow opened the port.
    virtual void Shown() {}
    // The port object came or went (connect, release, lost, back).
    virtual void PortChanged() {}
    // Whether this tick's chunks go to the loop's echo.
    virtual bool EchoActive() const = 0;
    // The right button drags as the left one does, unless the window uses it.
    virtual void Image2RightButtonDown(int x, int y, QPoint globalPos);
    // True while the point buffer is not the live one to show or clear (a replay loading).
    virtual bool ViewBusy() const { return false; }

    // Parts of FormCreate: the settings of section "Main", the graph on Image2, and the system
    // menu's items that both programs have at its end.
    void ReadMainSettings();
    void AddLinkStatusItem();
    void CreateGraph();
    // The scroll bar over the point buffer, at value, without its handler moving the view.
    void SetScrollPosition(int value);
    bool SendToPort(const QByteArray& bytes);
    // A settings write that failed is told; the file was kept as it was.
    void TellIfNotSaved(const WriteResult& result);
    // Shows the replay's revolution: drawn alone in the circle view; in the views with a time
    // axis, with moved, the window goes to it, its segment loaded first when another is held.
    void ShowReplayed(bool moved);
    // A button on tlbMain, after those added before it and left of the system menu's button.
    QAction* AddToolButton(const QString& text);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    WindowOptions options_;
    std::unique_ptr<IniFile> ini_;
    std::unique_ptr<WidgetPrompt> ownPrompt_;
    Prompt* prompt_;
    std::unique_ptr<TSerialPort> port_;
    TLaserDecode decoder_;
    vykgraph::TViewState viewState_;  // one per program, whatever graph draws
    std::unique_ptr<TVykGraph> graph_;
    AcquisitionLoop loop_;
    QAction* toolbarEnd_ = nullptr;

private:
    void BuildSharedControls();
    // OpenPort with the window's settings, then the monitor; false when the port did not open.
    bool StartPort(TSerialPort& port);
    std::unique_ptr<TSerialPort> ReopenPort();
    void WheelStep(WheelGate& gate, QPoint globalPos, void (TVykGraph::*step)(int));
    void BuildReplayControls();
    void ShowReplayControls(bool open);
    double ReplayNow() const;
    void LoadReplaySegment(int k);
    void ShowReplayPosition();
    void ShowReplayPlaying();
    bool DrawsReplayedRevolution() const;

    const ScanWindowKind kind_;
    PortReconnect reconnect_;

    std::unique_ptr<RecordingReplay> replaying_;
    QElapsedTimer replayClock_;
    std::vector<QShortcut*> replayKeys_;
    QAction* replaySpeedItem_ = nullptr;  // cbxReplaySpeed on the toolbar
    bool timelineGuard_ = true;           // off while the program moves the timeline
    int replaySegment_ = -1;              // the segment the point buffer holds
    // Where each revolution of that segment begins in the buffer, in order.
    std::vector<int> segmentMarkers_;
    // The revolution shown, as the circle view draws it: after one point, between two markers.
    std::vector<ScanPoint> revolutionPoints_;
};

}  // namespace scanwindow

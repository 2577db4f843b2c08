#include "ScanWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include "AppPaths.h"
#include "DesktopOpen.h"
#include "IniFile.h"
#include "Linkstatusdlg.h"
#include "OpenFailure.h"
#include "ScanImage.h"
#include "ScannerInterface.h"
#include "SerialByteSource.h"
#include "SerialPort.h"
#include "Shell.h"
#include "StatusTexts.h"
#include "SystemMenu.h"
#include "Tick.h"
#include "WidgetPrompt.h"

namespace scanwindow {

namespace {

constexpr int kOpenPortEventMask = 9;
constexpr int kSendBufferSize = 65536;

}  // namespace

TScanWindow::TScanWindow(WindowOptions options, const ScanWindowKind& kind, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      ini_(std::make_unique<IniFile>(options_.iniPath)),
      ownPrompt_(options_.prompt ? nullptr : std::make_unique<WidgetPrompt>(this)),
      prompt_(options_.prompt ? options_.prompt : ownPrompt_.get()),
      loop_(store),
      kind_(kind),
      reconnect_([this] { return ReopenPort(); }) {
    if (!options_.portSource.probe)
        options_.portSource = setport::SystemPortSource(ini_.get());
    if (!options_.openFile)
        options_.openFile = OpenWithDesktop;
    if (!options_.makePort) {
        options_.makePort = [](Prompt& prompt, const IniFile* ini) {
            return std::make_unique<TSerialPort>(prompt, ini);
        };
    }
    BuildSharedControls();
    // Construction: no port, the timer running, panels 0 and 1 written.
    DisconnectAction->setEnabled(false);
    ConnectAction->setEnabled(true);
    ShowPortStatus();
    ShowZoomStatus();
    loop_.redrawAbove = kind_.redrawAbove;
    loop_.ratesEverySecondTick = kind_.ratesEverySecondTick;
    loop_.showLatest = [this] { ShowLatest(); };
    tmrComport->start();
}

TScanWindow::~TScanWindow() = default;

void TScanWindow::BuildSharedControls() {
    ConnectAction = new QAction(QStringLiteral("ConnectAction"), this);
    DisconnectAction = new QAction(QStringLiteral("DisconnectAction"), this);
    connect(ConnectAction, &QAction::triggered, this, &TScanWindow::ConnectActionExecute);
    connect(DisconnectAction, &QAction::triggered, this, &TScanWindow::DisconnectActionExecute);
    systemMenu = new SystemMenu(this);
    connect(systemMenu, &SystemMenu::Command, this, &TScanWindow::SystemCommand);
    tlbMain = addToolBar(QStringLiteral("tlbMain"));
    tlbMain->setMovable(false);
    auto* spacer = new QWidget(tlbMain);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbarEnd_ = tlbMain->addWidget(spacer);
    tlbMain->addWidget(systemMenu->CreateButton(tlbMain));

    nbMain = new QStackedWidget(this);
    LabelGraphData = new QLabel(this);
    QFont big = LabelGraphData->font();
    big.setPointSize(14);
    LabelGraphData->setFont(big);
    pnlGragh = new QWidget(this);
    pnlGragh->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pnlGragh->installEventFilter(this);
    Image2 = new ScanImage(pnlGragh);
    connect(Image2, &ScanImage::MouseMoved, this, &TScanWindow::Image2MouseMove);
    connect(Image2, &ScanImage::MousePressed, this, &TScanWindow::Image2MouseDown);
    connect(Image2, &ScanImage::MouseReleased, this, &TScanWindow::Image2MouseUp);
    scrlbrHisLog = new QScrollBar(Qt::Horizontal, this);
    scrlbrHisLog->setEnabled(false);
    connect(scrlbrHisLog, &QScrollBar::valueChanged, this, &TScanWindow::scrlbrHisLogChange);

    statMain = statusBar();
    statMain->setSizeGripEnabled(false);
    for (int i = 0; i < 8; ++i) {
        statPanels[i] = new QLabel(statMain);
        statPanels[i]->setFixedWidth(kStatusPanelWidths[i]);
        statPanels[i]->setFrameShape(QFrame::Panel);
        statPanels[i]->setFrameShadow(QFrame::Sunken);
        statMain->addWidget(statPanels[i], i == 7 ? 1 : 0);
    }
    lblLinkStatus = new QLabel(statMain);
    lblLinkStatus->setFrameShape(QFrame::Panel);
    lblLinkStatus->setFrameShadow(QFrame::Sunken);
    lblLinkStatus->setMinimumWidth(kLinkStatusWidth);
    statMain->addPermanentWidget(lblLinkStatus);
    statPanels[5]->setText(QString::fromLatin1(kBuildText));
    statPanels[6]->setText(QString::fromLatin1(kPanel6Text));

    tmrComport = new QTimer(this);
    tmrComport->setInterval(kind_.timerIntervalMs);
    tmrComport->setTimerType(Qt::PreciseTimer);
    connect(tmrComport, &QTimer::timeout, this, &TScanWindow::tmrComportTimer);
    BuildReplayControls();
}

void TScanWindow::ReadMainSettings() {
    settings = LoadSettings(*ini_, windowTitle(), kind_.defaultBaud);
    setWindowTitle(settings.caption);
    loop_.distanceLimit = settings.distanceLimit;
}

void TScanWindow::AddLinkStatusItem() {
    systemMenu->AddSeparator();
    systemMenu->AddItem(QStringLiteral("链路状态"), kCmdLinkStatus);
}

void TScanWindow::CreateGraph() {
    graph_ = std::make_unique<TVykGraph>(&Image2->target, 1, vykgraph::kViewCircle, kind_.graph,
                                         &viewState_);
    store.viewLength = graph_->PointsPerView();
}

bool TScanWindow::FormShow() {
    ConnectActionExecute();
    if (!port_)
        return false;
    Shown();
    ShowPortStatus();
    return true;
}

void TScanWindow::ConnectActionExecute() {
    if (port_) {
        prompt_->Message(QStringLiteral("请先关闭串口！"));
        ConnectAction->setEnabled(false);
        return;
    }
    TSetPortForm dialog(kind_.dialog, options_.portSource, *prompt_, this);
    dialog.SetBaudVisible(kind_.baudBoxShown);
    if (kind_.baudBoxShown)
        dialog.SetBaudEnabled(false);
    dialog.SetBaudRate(settings.baudRate);
    dialog.SetPortNumber(portNumber);
    if (dialog.exec() != QDialog::Accepted)
        return;

    portNumber = dialog.PortNumber();
    settings.baudRate = dialog.BaudRate();
    // Whatever keeps the object from being built (memory, the descriptors of its events) is
    // the one failure the user is told about.
    try {
        port_ = options_.makePort(*prompt_, ini_.get());
    } catch (...) {
        prompt_->Message(QStringLiteral("打开串口申请内存失败!"));
        return;
    }
    if (StartPort(*port_)) {
        loop_.PortOpened();
        loop_.Health().SetNominalBaud(settings.baudRate);
        DisconnectAction->setEnabled(true);
        ConnectAction->setEnabled(false);
        PortChanged();
    } else {
        const QString device = port_->DevicePath();
        const int error = port_->OpenError();
        port_.reset();
        const QString named = device.isEmpty() ? QStringLiteral("COM%1").arg(portNumber) : device;
        prompt_->Message(QString::fromStdString(
            OpenFailedText(named.toStdString(), error, OpenFailureStyle::Dialog)));
        DisconnectAction->setEnabled(false);
        ConnectAction->setEnabled(true);
    }
    ShowPortStatus();
}

bool TScanWindow::StartPort(TSerialPort& port) {
    if (!port.OpenPort(this, portNumber, settings.baudRate, 'N', scanner::kDataBits,
                       scanner::kStopBits, kOpenPortEventMask, kSendBufferSize)) {
        return false;
    }
    port.StartMonitor();
    return true;
}

// The device of a lost port, tried again without a word while it is not back.
std::unique_ptr<TSerialPort> TScanWindow::ReopenPort() {
    std::unique_ptr<TSerialPort> port;
    try {
        port = options_.makePort(*prompt_, ini_.get());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!StartPort(*port))
        return nullptr;
    return port;
}

void TScanWindow::ReleasePort() {
    reconnect_.Cancel();
    if (!port_)
        return;
    port_->ClosePort();
    port_.reset();
    PortChanged();
}

void TScanWindow::DisconnectActionExecute() {
    DisconnectAction->setEnabled(false);
    ConnectAction->setEnabled(true);
    ReleasePort();
    ShowPortStatus();
}

void TScanWindow::tmrComportTimer() {
    const PortReconnect::Change change = reconnect_.Tick(port_, GetTickCount());
    if (change != PortReconnect::Change::None) {
        if (change == PortReconnect::Change::Back)
            loop_.PortReopened();
        PortChanged();
        ShowPortStatus();
    }
    if (!port_)
        return;
    SerialByteSource source(*port_);
    loop_.Tick(source, GetTickCount(), EchoActive());
    ShowByteStatus();
    ShowLinkStatus();
}

QAction* TScanWindow::AddToolButton(const QString& text) {
    auto* action = new QAction(text, tlbMain);
    tlbMain->insertAction(toolbarEnd_, action);
    return action;
}

bool TScanWindow::SendToPort(const QByteArray& bytes) {
    if (!port_)
        return false;
    port_->SendBytes(bytes);
    return true;
}

void TScanWindow::ShowLatest() {
    store.ViewNewest();
    RedrawView();
    LabelGraphData->setText(ReferenceText(referenceDistance, referenceAngleCopy));
}

void TScanWindow::RedrawView() {
    if (ViewBusy())
        return;
    const int length = store.ClampViewWindow();
    if (graph_ && DrawsReplayedRevolution()) {
        // The same revolution is drawn again when the view changes.
        viewState_.lastDrawnRevolution = -1;
        graph_->Draw(revolutionPoints_.data(), 0, static_cast<int>(revolutionPoints_.size()));
        graph_->GetReferencePoint(referenceDistance, referenceAngleCopy);
        Image2->update();
    } else if (graph_) {
        graph_->Draw(store.pointBuffer.data() + store.viewStart, store.viewStart, length);
        graph_->GetReferencePoint(referenceDistance, referenceAngleCopy);
        Image2->update();
    }
    ShowPointStatus();
    const bool scrolls = settings.viewType == vykgraph::kViewData ||
                         (kind_.multiCircleScrolls && HasTimeAxis(settings.viewType));
    if (scrlbrHisLog->isEnabled() && scrolls)
        SetScrollPosition(store.viewStart);
}

void TScanWindow::SetScrollPosition(int value) {
    scrollGuard = false;
    scrlbrHisLog->setMaximum(store.pointCount);
    scrlbrHisLog->setValue(value);
    scrollGuard = true;
}

void TScanWindow::ShowPortStatus() {
    statPanels[0]->setText(PortStatusText(port_ != nullptr, portNumber, settings.baudRate));
}

void TScanWindow::ShowZoomStatus() {
    statPanels[1]->setText(ZoomStatusText(timeZoom.TimeZoom()));
}

void TScanWindow::ShowPointStatus() {
    statPanels[2]->setText(PointStatusText(store.pointCount, loop_.PointRate()));
}

void TScanWindow::ShowByteStatus() {
    statPanels[3]->setText(ByteStatusText(port_ ? port_->ReceivedTotal() : 0, loop_.ByteRate()));
    statPanels[4]->setText(UnsetValueText());
}

void TScanWindow::ShowLinkStatus() {
    const QString text = loop_.Health().StatusText();
    if (lblLinkStatus->text() != text)
        lblLinkStatus->setText(text);
    const QString style = loop_.Health().Alarm() ? QStringLiteral("color: red;") : QString();
    if (lblLinkStatus->styleSheet() != style)
        lblLinkStatus->setStyleSheet(style);
}

void TScanWindow::ShowLinkStatusWindow() {
    if (!frmLinkStatus)
        frmLinkStatus = new TfrmLinkStatus(loop_.Health(), this);
    frmLinkStatus->Refresh();
    frmLinkStatus->show();
    frmLinkStatus->raise();
}

void TScanWindow::FormResize() {
    Image2->setGeometry(0, 0, pnlGragh->width(), pnlGragh->height());
    Image2->target = QImage(pnlGragh->size(), QImage::Format_RGB32);
    if (!graph_)
        return;
    graph_->SetView(settings.viewType, 1, pnlGragh->width(), pnlGragh->height());
    store.viewLength = graph_->PointsPerView();
    RedrawView();
}

void TScanWindow::Image2MouseMove(int x, int y) {
    if (settings.viewType == vykgraph::kViewCircle) {
        graph_->PickReferenceAngle(x, y);
        const QString text = ReferenceText(referenceDistance, referenceAngleCopy);
        RedrawView();
        LabelGraphData->setText(text);
        return;
    }
    const int row = graph_->HitRow(x, y);
    const bool wasDragging = drag.dragging;
    if (drag.Move(row, x, timeZoom.TimeZoom(), store))
        RedrawView();
    if (row == 0 || wasDragging)
        return;
    const int i = SampleUnderMouse(store, x, graph_->PlotLeft(), timeZoom.TimeZoom(), row);
    if (i >= 0)
        LabelGraphData->setText(SampleText(store.pointBuffer[i]));
}

void TScanWindow::Image2MouseDown(Qt::MouseButton button, int x, int y, QPoint globalPos) {
    switch (button) {
        case Qt::MiddleButton:
            if (!ViewBusy())
                store.pointCount = 0;
            break;
        case Qt::RightButton:
            Image2RightButtonDown(x, y, globalPos);
            break;
        case Qt::LeftButton:
            drag.Press(graph_->HitRow(x, y), x);
            break;
        default:
            break;
    }
}

void TScanWindow::Image2RightButtonDown(int x, int y, QPoint) {
    drag.Press(graph_->HitRow(x, y), x);
}

void TScanWindow::Image2MouseUp() {
    drag.Release();
}

void TScanWindow::FormMouseWheelDown(QPoint globalPos) {
    WheelStep(wheelDown, globalPos, &TVykGraph::GrowRowScale);
}

void TScanWindow::FormMouseWheelUp(QPoint globalPos) {
    WheelStep(wheelUp, globalPos, &TVykGraph::ShrinkRowScale);
}

void TScanWindow::WheelStep(WheelGate& gate, QPoint globalPos, void (TVykGraph::*step)(int)) {
    if (!gate.Event())
        return;
    const QPoint at = Image2->mapFromGlobal(globalPos);
    const int row = graph_->HitRow(at.x(), at.y());
    if (row <= 0)
        return;
    (graph_.get()->*step)(row - 1);
    RedrawView();
}

void TScanWindow::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const QPoint globalPos = event->globalPosition().toPoint();
    if (delta < 0)
        FormMouseWheelDown(globalPos);
    if (delta > 0)
        FormMouseWheelUp(globalPos);
    event->accept();
}

void TScanWindow::scrlbrHisLogChange() {
    if (!scrollGuard || ViewBusy())
        return;
    const int position = scrlbrHisLog->value();
    if (position < store.pointCount && position != store.viewStart) {
        store.viewStart = position;
        RedrawView();
    }
}

void TScanWindow::SystemCommand(int command) {
    switch (command) {
        case kCmdChangeHistory: {
            const QString path = BesideIni(options_.iniPath,
                                           QFileInfo(options_.iniPath).completeBaseName() + ".txt");
            if (WriteHistoryText(path, ChangeHistoryText()))
                options_.openFile(path);
            break;
        }
        case kCmdHelp:
            prompt_->Message(HelpText());
            break;
        case kCmdLinkStatus:
            ShowLinkStatusWindow();
            break;
        case kCmdReplayBaud:
            AskReplayBaudExecute();
            break;
        case kCmdDistanceLimit:
            if (AskDistanceLimit(*prompt_, settings.distanceLimit)) {
                loop_.distanceLimit = settings.distanceLimit;
                TellIfNotSaved(SaveDistanceLimit(*ini_, settings.distanceLimit));
            }
            break;
        default:
            break;
    }
}

void TScanWindow::TellIfNotSaved(const WriteResult& result) {
    if (!result)
        prompt_->Message(SettingsNotSavedText(options_.iniPath, result), QString(),
                         Prompt::Icon::Warning);
}

// Once closing has begun nothing may wait on the user: the window is about to go.
void TScanWindow::closeEvent(QCloseEvent* event) {
    if (port_)
        port_->SilenceWarnings();
    reconnect_.Cancel();
    QMainWindow::closeEvent(event);
}

bool TScanWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlGragh && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace scanwindow

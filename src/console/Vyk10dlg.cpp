#include "Vyk10dlg.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "AppPaths.h"
#include "Decodedlg.h"
#include "DesktopOpen.h"
#include "Iapdlg.h"
#include "IniFile.h"
#include "Logfile.h"
#include "NxIapPort.h"
#include "OpenFailure.h"
#include "Progressdlg.h"
#include "Prompt.h"
#include "ScanExport.h"
#include "ScannerInterface.h"
#include "Settingspage.h"
#include "SerialByteSource.h"
#include "SerialPort.h"
#include "ShellCommands.h"
#include "StatusTexts.h"
#include "SystemMenu.h"
#include "Tick.h"
#include "Vykgraph.h"

namespace console {

namespace {

constexpr int kOpenPortEventMask = 9;
constexpr int kSendBufferSize = 65536;
constexpr int kTimerIntervalMs = 20;
constexpr char kHistoryFilter[] =
    "激光压缩数据文件 (*.Zip);;激光数据文件 (*.000);;所有文件 (*)";

}  // namespace

ScanImage::ScanImage(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScanImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, target);
}

void ScanImage::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(event->position().toPoint().x(), event->position().toPoint().y());
}

void ScanImage::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit MousePressed(event->button(), at.x(), at.y(), event->globalPosition().toPoint());
}

void ScanImage::mouseReleaseEvent(QMouseEvent*) {
    emit MouseReleased();
}

TfrmVYK10::TfrmVYK10(ConsoleOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      ini_(std::make_unique<IniFile>(options_.iniPath)),
      ownPrompt_(options_.prompt ? nullptr : std::make_unique<WidgetPrompt>(this)),
      prompt_(options_.prompt ? options_.prompt : ownPrompt_.get()),
      loop_(store, decoder_),
      reconnect_([this] { return ReopenPort(); }),
      replay_(store, decoder_, *prompt_, historyFile) {
    if (!options_.portSource.probe)
        options_.portSource = setport::SystemPortSource(ini_.get());
    if (!options_.openFile)
        options_.openFile = OpenWithDesktop;
    if (!options_.makePort) {
        options_.makePort = [](Prompt& prompt, const IniFile* ini) {
            return std::make_unique<TSerialPort>(prompt, ini);
        };
    }

    setWindowTitle(QString::fromUtf8(kDesignCaption));
    BuildControls();
    BuildMenus();
    // Construction: no port, the timer running, panels 0 and 1 written, the graph page.
    DisconnectAction->setEnabled(false);
    ConnectAction->setEnabled(true);
    ShowPortStatus();
    ShowZoomStatus();
    nbMain->setCurrentIndex(0);
    loop_.showLatest = [this] { ShowLatest(); };
    loop_.recorder = [this](const uint8_t* bytes, int count) {
        if (logFile_)
            logFile_->WriteStream(bytes, count);
    };
    replay_.showPath = [this](const QString& text) { statPanels[7]->setText(text); };
    frmFileProcess = new record::TfrmFileProcess(this);
    decoder_.SetProgressReport([this](const char* label, int step, int steps) {
        frmFileProcess->ReportProgress(QString::fromUtf8(label), step, steps);
    });
    ShowRecordButton(kImageRecordIdle);
    loop_.echo = [this](const uint8_t* bytes, int count) {
        settingsPage->AssembleTextLines(bytes, count);
    };
    tmrComport->start();
    FormCreate();
}

TfrmVYK10::~TfrmVYK10() {
    FormDestroy();
}

void TfrmVYK10::BuildControls() {
    auto* toolbar = addToolBar(QStringLiteral("tlbMain"));
    toolbar->setMovable(false);
    ConnectAction = new QAction(QStringLiteral("ConnectAction"), this);
    DisconnectAction = new QAction(QStringLiteral("DisconnectAction"), this);
    connect(ConnectAction, &QAction::triggered, this, &TfrmVYK10::ConnectActionExecute);
    connect(DisconnectAction, &QAction::triggered, this, &TfrmVYK10::DisconnectActionExecute);

    btnOpenFile = toolbar->addAction(QStringLiteral("打开"));
    btnOpenFile->setToolTip(QStringLiteral("打开历史文件"));
    connect(btnOpenFile, &QAction::triggered, this, &TfrmVYK10::btnOpenFileClick);
    btnOpenSaveLogFile = toolbar->addAction(QStringLiteral("录制"));
    btnOpenSaveLogFile->setToolTip(QStringLiteral("设置保存文件名"));
    connect(btnOpenSaveLogFile, &QAction::triggered, this, &TfrmVYK10::btnOpenSaveLogFileClick);
    btn2 = toolbar->addAction(QStringLiteral("停止"));
    connect(btn2, &QAction::triggered, this, [this] { SendToPort(scanner::kCmdMotorStop); });
    btn3 = toolbar->addAction(QStringLiteral("运行"));
    connect(btn3, &QAction::triggered, this, [this] { SendToPort(scanner::kCmdMotorFast); });
    btnTimeSeparator = toolbar->addSeparator();
    ButtonTimeZoomUp = toolbar->addAction(QStringLiteral("＋"));
    ButtonTimeZoomUp->setToolTip(QStringLiteral("时间放大"));
    connect(ButtonTimeZoomUp, &QAction::triggered, this, &TfrmVYK10::ButtonTimeZoomUpClick);
    ButtonTimeZoomDown = toolbar->addAction(QStringLiteral("－"));
    ButtonTimeZoomDown->setToolTip(QStringLiteral("时间缩小"));
    connect(ButtonTimeZoomDown, &QAction::triggered, this, &TfrmVYK10::ButtonTimeZoomDownClick);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    systemMenu = new SystemMenu(this);
    toolbar->addWidget(systemMenu->CreateButton(toolbar));

    nbMain = new QStackedWidget(this);
    auto* graphPage = new QWidget(nbMain);
    graphPage->setObjectName(QStringLiteral("Graph"));
    auto* graphLayout = new QVBoxLayout(graphPage);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    graphLayout->setSpacing(0);
    LabelGraphData = new QLabel(graphPage);
    QFont big = LabelGraphData->font();
    big.setPointSize(14);
    LabelGraphData->setFont(big);
    pnlGragh = new QWidget(graphPage);
    pnlGragh->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pnlGragh->installEventFilter(this);
    Image2 = new ScanImage(pnlGragh);
    scrlbrHisLog = new QScrollBar(Qt::Horizontal, graphPage);
    scrlbrHisLog->setEnabled(false);
    connect(scrlbrHisLog, &QScrollBar::valueChanged, this, &TfrmVYK10::scrlbrHisLogChange);
    graphLayout->addWidget(LabelGraphData);
    graphLayout->addWidget(pnlGragh, 1);
    graphLayout->addWidget(scrlbrHisLog);
    connect(Image2, &ScanImage::MouseMoved, this, &TfrmVYK10::Image2MouseMove);
    connect(Image2, &ScanImage::MousePressed, this, &TfrmVYK10::Image2MouseDown);
    connect(Image2, &ScanImage::MouseReleased, this, &TfrmVYK10::Image2MouseUp);

    settingsPage = new TSettingsPage(nbMain, *prompt_,
                                     [this](const QByteArray& bytes) { return SendToPort(bytes); });
    btnExitSet = settingsPage->btnExitSet;
    connect(btnExitSet, &QToolButton::clicked, this, [this] { ShowSettingsPage(false); });
    nbMain->addWidget(graphPage);
    nbMain->addWidget(settingsPage);
    setCentralWidget(nbMain);

    statMain = statusBar();
    statMain->setSizeGripEnabled(false);
    for (int i = 0; i < 8; ++i) {
        statPanels[i] = new QLabel(statMain);
        statPanels[i]->setFixedWidth(kStatusPanelWidths[i]);
        statPanels[i]->setFrameShape(QFrame::Panel);
        statPanels[i]->setFrameShadow(QFrame::Sunken);
        statMain->addWidget(statPanels[i], i == 7 ? 1 : 0);
    }
    statPanels[5]->setText(QString::fromLatin1(kBuildText));
    statPanels[6]->setText(QString::fromLatin1(kPanel6Text));
    // The panels ignore the mouse, so a release over panel 0 reaches the bar once.
    statMain->installEventFilter(this);

    tmrComport = new QTimer(this);
    tmrComport->setInterval(kTimerIntervalMs);
    tmrComport->setTimerType(Qt::PreciseTimer);
    connect(tmrComport, &QTimer::timeout, this, &TfrmVYK10::tmrComportTimer);
}

void TfrmVYK10::BuildMenus() {
    pm1 = new QMenu(this);
    mniSet = pm1->addAction(QStringLiteral("参数设置"));
    pm1->addSeparator();
    mniCircle = pm1->addAction(QStringLiteral("圆形界面"));
    mniData = pm1->addAction(QStringLiteral("详细数据"));
    mniMulCircle = pm1->addAction(QStringLiteral("多圆界面"));
    pm1->addSeparator();
    mniDecodeTools = pm1->addAction(QStringLiteral("解码工具"));
    connect(pm1, &QMenu::aboutToShow, this, &TfrmVYK10::pm1Popup);
    connect(mniSet, &QAction::triggered, this, [this] { ShowSettingsPage(true); });
    connect(mniCircle, &QAction::triggered, this, [this] { SelectView(vykgraph::kViewCircle); });
    connect(mniData, &QAction::triggered, this, [this] { SelectView(vykgraph::kViewData); });
    connect(mniMulCircle, &QAction::triggered, this,
            [this] { SelectView(vykgraph::kViewMultiCircle); });
    connect(mniDecodeTools, &QAction::triggered, this, &TfrmVYK10::mniDecodeToolsClick);

    pmDebug = new QMenu(this);
    mniSetDebugMode = pmDebug->addAction(QStringLiteral("打开调试模式"));
    mniN5 = pmDebug->addAction(QStringLiteral("设置标题名称"));
    connect(pmDebug, &QMenu::aboutToShow, this, &TfrmVYK10::pmDebugPopup);
    connect(mniSetDebugMode, &QAction::triggered, this, &TfrmVYK10::mniSetDebugModeClick);
    connect(mniN5, &QAction::triggered, this, &TfrmVYK10::mniN5Click);
}

void TfrmVYK10::FormCreate() {
    systemMenu->AddSeparator();
    systemMenu->AddItem(QStringLiteral("在线升级(&U)"), kCmdUpgrade);
    systemMenu->AddItem(QStringLiteral("版本修改历史(&V)"), kCmdChangeHistory);
    systemMenu->AddItem(QStringLiteral("帮助(&H)"), kCmdHelp);
    systemMenu->AddSeparator();
    systemMenu->AddItem(QStringLiteral("显示过滤"), kCmdDisplayFilter);
    systemMenu->AddItem(QStringLiteral("最远距离设置"), kCmdDistanceLimit);
    connect(systemMenu, &SystemMenu::Command, this, &TfrmVYK10::SystemCommand);

    settings = LoadSettings(*ini_, windowTitle());
    setWindowTitle(settings.caption);
    loop_.distanceLimit = settings.distanceLimit;
    replay_.distanceLimit = settings.distanceLimit;
    btnOpenFile->setVisible(settings.HistoryButtonVisible());
    ShowTimeButtons(settings.viewType, false);

    graph_ = std::make_unique<TVykGraph>(&Image2->target, 1, vykgraph::kViewCircle,
                                         GraphProgram::Console);
    store.viewLength = graph_->PointsPerView();
}

void TfrmVYK10::FormDestroy() {
    SaveExitSettings(*ini_, settings);
    tmrComport->stop();
    ReleasePort();
    // Packs the recording's last segment.
    logFile_.reset();
    store.pointCount = 0;
    graph_.reset();
}

bool TfrmVYK10::FormShow() {
    ConnectActionExecute();
    if (!port_)
        return false;
    ShowPortStatus();
    return true;
}

void TfrmVYK10::ConnectActionExecute() {
    if (port_) {
        prompt_->Message(QStringLiteral("请先关闭串口！"));
        ConnectAction->setEnabled(false);
        return;
    }
    TSetPortForm dialog(setport::Program::Console, options_.portSource, *prompt_, this);
    dialog.SetBaudVisible(false);
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
        DisconnectAction->setEnabled(true);
        ConnectAction->setEnabled(false);
    } else {
        const QString device = port_->DevicePath();
        const int error = port_->OpenError();
        port_.reset();
        prompt_->Message(OpenFailedText(
            device.isEmpty() ? QStringLiteral("COM%1").arg(portNumber) : device, error));
        DisconnectAction->setEnabled(false);
        ConnectAction->setEnabled(true);
    }
    ShowPortStatus();
}

bool TfrmVYK10::StartPort(TSerialPort& port) {
    if (!port.OpenPort(this, portNumber, settings.baudRate, 'N', scanner::kDataBits,
                       scanner::kStopBits, kOpenPortEventMask, kSendBufferSize)) {
        return false;
    }
    port.StartMonitor();
    return true;
}

// The device of a lost port, tried again without a word while it is not back.
std::unique_ptr<TSerialPort> TfrmVYK10::ReopenPort() {
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

void TfrmVYK10::ReleasePort() {
    reconnect_.Cancel();
    if (!port_)
        return;
    port_->ClosePort();
    port_.reset();
}

void TfrmVYK10::DisconnectActionExecute() {
    DisconnectAction->setEnabled(false);
    ConnectAction->setEnabled(true);
    ReleasePort();
    ShowPortStatus();
}

void TfrmVYK10::tmrComportTimer() {
    if (reconnect_.Tick(port_, GetTickCount()) != PortReconnect::Change::None)
        ShowPortStatus();
    if (!port_)
        return;
    SerialByteSource source(*port_);
    loop_.Tick(source, GetTickCount(), nbMain->currentIndex() == 1);
    ShowByteStatus();
}

void TfrmVYK10::ShowLatest() {
    store.ViewNewest();
    RedrawView();
    LabelGraphData->setText(ReferenceText(referenceDistance, referenceAngleCopy));
}

void TfrmVYK10::RedrawView() {
    // A load in progress owns the buffer until it is decoded.
    if (replay_.Busy())
        return;
    const int length = store.ClampViewWindow();
    if (graph_) {
        graph_->Draw(store.pointBuffer.data() + store.viewStart, store.viewStart, length);
        graph_->GetReferencePoint(referenceDistance, referenceAngleCopy);
        Image2->update();
    }
    ShowPointStatus();
    if (scrlbrHisLog->isEnabled() && HasTimeAxis(settings.viewType)) {
        scrollGuard = false;
        scrlbrHisLog->setMaximum(store.pointCount);
        scrlbrHisLog->setValue(store.viewStart);
        scrollGuard = true;
    }
}

void TfrmVYK10::ShowPortStatus() {
    statPanels[0]->setText(PortStatusText(port_ != nullptr, portNumber, settings.baudRate));
}

void TfrmVYK10::ShowZoomStatus() {
    statPanels[1]->setText(ZoomStatusText(timeZoom.TimeZoom()));
}

void TfrmVYK10::ShowPointStatus() {
    statPanels[2]->setText(PointStatusText(store.pointCount, loop_.PointRate()));
}

void TfrmVYK10::ShowByteStatus() {
    statPanels[3]->setText(ByteStatusText(port_ ? port_->ReceivedTotal() : 0, loop_.ByteRate()));
    statPanels[4]->setText(UnsetValueText());
}

void TfrmVYK10::FormResize() {
    btnOpenFile->setEnabled(HasTimeAxis(settings.viewType));
    Image2->setGeometry(0, 0, pnlGragh->width(), pnlGragh->height());
    Image2->target = QImage(pnlGragh->size(), QImage::Format_RGB32);
    if (!graph_)
        return;
    graph_->SetView(settings.viewType, 1, pnlGragh->width(), pnlGragh->height());
    store.viewLength = graph_->PointsPerView();
    RedrawView();
}

void TfrmVYK10::ShowTimeButtons(int viewType, bool relayout) {
    const bool visible = HasTimeAxis(viewType);
    btnTimeSeparator->setVisible(visible);
    ButtonTimeZoomUp->setVisible(visible);
    ButtonTimeZoomDown->setVisible(visible);
    if (relayout)
        FormResize();
}

void TfrmVYK10::ButtonTimeZoomUpClick() {
    ApplyTimeZoom(timeZoom.Up());
}

void TfrmVYK10::ButtonTimeZoomDownClick() {
    ApplyTimeZoom(timeZoom.Down());
}

void TfrmVYK10::ApplyTimeZoom(bool changed) {
    if (changed) {
        store.viewLength = graph_->SetTimeZoom(timeZoom.TimeZoom());
        RedrawView();
    }
    ButtonTimeZoomUp->setEnabled(timeZoom.UpEnabled());
    ButtonTimeZoomDown->setEnabled(timeZoom.DownEnabled());
    ShowZoomStatus();
}

void TfrmVYK10::Image2MouseMove(int x, int y) {
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

void TfrmVYK10::Image2MouseDown(Qt::MouseButton button, int x, int y, QPoint globalPos) {
    switch (button) {
        case Qt::MiddleButton:
            if (!replay_.Busy())
                store.pointCount = 0;
            break;
        case Qt::RightButton:
            if (settings.PopupAvailable() && historyFile.isEmpty())
                pm1->popup(globalPos);
            break;
        case Qt::LeftButton:
            drag.Press(graph_->HitRow(x, y), x);
            break;
        default:
            break;
    }
}

void TfrmVYK10::Image2MouseUp() {
    drag.Release();
}

void TfrmVYK10::FormMouseWheelDown(QPoint globalPos) {
    WheelStep(wheelDown, globalPos, &TVykGraph::GrowRowScale);
}

void TfrmVYK10::FormMouseWheelUp(QPoint globalPos) {
    WheelStep(wheelUp, globalPos, &TVykGraph::ShrinkRowScale);
}

void TfrmVYK10::WheelStep(WheelGate& gate, QPoint globalPos, void (TVykGraph::*step)(int)) {
    if (!gate.Event())
        return;
    const QPoint at = Image2->mapFromGlobal(globalPos);
    const int row = graph_->HitRow(at.x(), at.y());
    if (row <= 0)
        return;
    (graph_.get()->*step)(row - 1);
    RedrawView();
}

void TfrmVYK10::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const QPoint globalPos = event->globalPosition().toPoint();
    if (delta < 0)
        FormMouseWheelDown(globalPos);
    if (delta > 0)
        FormMouseWheelUp(globalPos);
    event->accept();
}

void TfrmVYK10::SystemCommand(int command) {
    switch (command) {
        case kCmdChangeHistory: {
            const QString path = BesideIni(options_.iniPath,
                                           QFileInfo(options_.iniPath).completeBaseName() + ".txt");
            if (WriteChangeHistory(path))
                options_.openFile(path);
            break;
        }
        case kCmdHelp:
            prompt_->Message(HelpText());
            break;
        case kCmdUpgrade:
            ShowUpgradeWindow();
            break;
        case kCmdDisplayFilter:
            displayFilter = !displayFilter;
            graph_->SetDisplayFilter(displayFilter);
            break;
        case kCmdDistanceLimit:
            if (AskDistanceLimit(*prompt_, settings.distanceLimit)) {
                loop_.distanceLimit = settings.distanceLimit;
                replay_.distanceLimit = settings.distanceLimit;
                SaveDistanceLimit(*ini_, settings.distanceLimit);
            }
            break;
        default:
            break;
    }
}

void TfrmVYK10::SelectView(int viewType) {
    settings.viewType = viewType;
    ShowTimeButtons(viewType, true);
}

void TfrmVYK10::pm1Popup() {
    mniCircle->setEnabled(settings.viewType != vykgraph::kViewCircle);
    mniData->setEnabled(settings.viewType != vykgraph::kViewData);
    mniMulCircle->setEnabled(settings.viewType != vykgraph::kViewMultiCircle);
}

void TfrmVYK10::statMainMouseUp(Qt::MouseButton button, int x, QPoint globalPos) {
    if (OpensDebugMenu(button == Qt::RightButton, x))
        pmDebug->popup(globalPos);
}

void TfrmVYK10::pmDebugPopup() {
    mniSetDebugMode->setText(settings.debugMode ? QStringLiteral("关闭调试模式")
                                                : QStringLiteral("打开调试模式"));
}

void TfrmVYK10::mniSetDebugModeClick() {
    settings.debugMode = !settings.debugMode;
}

void TfrmVYK10::mniN5Click() {
    const QString title = AskTitle(*prompt_, windowTitle());
    setWindowTitle(title);
    SaveCaption(*ini_, title);
}

void TfrmVYK10::mniDecodeToolsClick() {
    TfrmDecode decodeTool(this, *prompt_);
    decodeTool.exec();
}

void TfrmVYK10::ShowSettingsPage(bool on) {
    nbMain->setCurrentIndex(on ? 1 : 0);
    if (on) {
        btnOpenFile->setEnabled(false);
        btnOpenSaveLogFile->setEnabled(false);
        ButtonTimeZoomUp->setVisible(false);
        ButtonTimeZoomDown->setVisible(false);
        return;
    }
    btnOpenFile->setEnabled(HasTimeAxis(settings.viewType));
    btnOpenSaveLogFile->setEnabled(true);
    ButtonTimeZoomUp->setVisible(btnOpenFile->isEnabled());
    ButtonTimeZoomDown->setVisible(btnOpenFile->isEnabled());
}

void TfrmVYK10::btnOpenSaveLogFileClick() {
    if (settings.viewType == vykgraph::kViewCircle) {
        ExportScan();
        return;
    }
    if (logFile_) {
        logFile_.reset();
        historyFile.clear();
        statPanels[7]->clear();
        ShowRecordButton(kImageRecordIdle);
    }
    const QString chosen = prompt_->SaveFileName(
        QString(), QFileInfo(historyFile).path(), QStringLiteral("激光压缩数据文件 (*.Zip)"));
    if (chosen.isEmpty())
        return;
    const QString name = record::ChangeFileExt(chosen, QStringLiteral(".Zip"));
    if (QFileInfo::exists(name)) {
        prompt_->Message(name + QStringLiteral(" 已经存在！"));
        return;
    }
    auto logFile = std::make_unique<record::TLogFile>(name, record::kLogBufferSize,
                                                      options_.segmentLimit, record::kArchiveCount);
    if (!logFile->HasBuffer()) {
        statPanels[7]->setText(QStringLiteral("Create Save LogFile Failed！"));
        return;
    }
    logFile_ = std::move(logFile);
    statPanels[7]->setText(name);
    ShowRecordButton(kImageRecording);
}

void TfrmVYK10::ShowRecordButton(int image) {
    recordButtonImage = image;
    btnOpenSaveLogFile->setIcon(style()->standardIcon(
        image == kImageRecording ? QStyle::SP_MediaStop : QStyle::SP_DialogSaveButton));
}

void TfrmVYK10::ExportScan() {
    record::ExportScan(store.pointBuffer.data(), store.pointCount, options_.openFile);
}

void TfrmVYK10::btnOpenFileClick() {
    if (replay_.Busy())
        return;
    if (store.pointBuffer.empty()) {
        prompt_->Message(QStringLiteral("内存申请失败，请重新启动电脑再试一试！"));
        return;
    }
    const QString path = prompt_->OpenFileName(QString(), QFileInfo(historyFile).path(),
                                               QString::fromUtf8(kHistoryFilter));
    if (path.isEmpty())
        return;
    historyFile = path;
    LeaveLiveOperation();
    LoadResult result;
    if (HistoryReplay::IsArchivePath(path)) {
        result = replay_.LoadArchiveEntry(0);
    } else {
        result = replay_.LoadHistoryFile(path);
        replay_.archiveEntryCount = 0;
        statPanels[7]->setText(path);
    }
    if (result != LoadResult::Loaded)
        return;
    store.viewStart = 0;
    store.viewLength = graph_->PointsPerView();
    RedrawView();
    scrollGuard = false;
    scrlbrHisLog->setMaximum(store.pointCount);
    scrlbrHisLog->setValue(0);
    scrollGuard = true;
}

// Live operation does not come back in this run.
void TfrmVYK10::LeaveLiveOperation() {
    btn2->setVisible(false);
    btn3->setVisible(false);
    btnOpenSaveLogFile->setVisible(false);
    for (QAction* item : pm1->actions()) item->setVisible(false);
    tmrComport->stop();
    ReleasePort();
    ShowPortStatus();
    scrlbrHisLog->setEnabled(true);
}

void TfrmVYK10::scrlbrHisLogChange() {
    if (!scrollGuard || replay_.Busy())
        return;
    const int position = scrlbrHisLog->value();
    if (position < store.pointCount && position != store.viewStart) {
        store.viewStart = position;
        RedrawView();
    }
}

bool TfrmVYK10::SendToPort(const QByteArray& bytes) {
    if (!port_)
        return false;
    port_->SendBytes(bytes);
    return true;
}

// The upgrade window takes the serial line over; once it closes, the program ends.
void TfrmVYK10::ShowUpgradeWindow() {
    std::unique_ptr<TfrmIAP> upgrade;
    try {
        auto port = options_.makeUpgradePort
                        ? options_.makeUpgradePort(*prompt_, ini_.get())
                        : std::make_unique<NxIapPort>(ini_.get(), options_.prompt);
        upgrade = std::make_unique<TfrmIAP>(std::move(port), *ini_, *prompt_, this);
    } catch (const std::bad_alloc&) {
        return;
    }
    ReleasePort();
    upgrade->exec();
    upgrade.reset();
    close();
}

// Once closing has begun nothing may wait on the user: the window is about to go.
void TfrmVYK10::closeEvent(QCloseEvent* event) {
    if (port_)
        port_->SilenceWarnings();
    reconnect_.Cancel();
    QMainWindow::closeEvent(event);
}

bool TfrmVYK10::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlGragh && event->type() == QEvent::Resize)
        FormResize();
    if (event->type() == QEvent::MouseButtonRelease && watched == statMain) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = statMain->mapFromGlobal(mouse->globalPosition().toPoint());
        statMainMouseUp(mouse->button(), at.x(), mouse->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace console

#include "Vyk10dlg.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Decodedlg.h"
#include "Iapdlg.h"
#include "IniFile.h"
#include "NxIapPort.h"
#include "Progressdlg.h"
#include "Prompt.h"
#include "ScanExport.h"
#include "ScannerInterface.h"
#include "Settingspage.h"
#include "Shell.h"
#include "ShellCommands.h"
#include "SystemMenu.h"

namespace console {

using namespace scanwindow;

namespace {

ReplayedRecording Replayed(const RecordingReplay& replay) {
    return {replay.Set(), replay.Index(), std::max(replay.Revolution(), 0), replay.Baud()};
}

}  // namespace

TfrmVYK10::TfrmVYK10(ConsoleOptions options, QWidget* parent)
    : TScanWindow(options, kConsoleWindow, parent),
      makeUpgradePort_(std::move(options.makeUpgradePort)),
      recording_(*prompt_, options.segmentLimit),
      replay_(store, decoder_, *prompt_, historyFile),
      exports_(*prompt_, exportProgress) {
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    BuildControls();
    BuildMenus();
    nbMain->setCurrentIndex(0);
    loop_.recorder = [this](const uint8_t* bytes, int count) {
        if (recording_.Write(bytes, count))
            ShowRecordingFault();
    };
    replay_.showPath = [this](const QString& text) { statPanels[7]->setText(text); };
    frmFileProcess = new record::TfrmFileProcess(this);
    decoder_.SetProgressReport([this](const char* label, int step, int steps) {
        frmFileProcess->ReportProgress(QString::fromUtf8(label), step, steps);
    });
    ShowRecordButton(kImageRecordIdle);
    // The last panel takes the rest of the bar, so that a path or a recording's warning is read
    // whole.
    statPanels[7]->setMaximumWidth(QWIDGETSIZE_MAX);
    loop_.echo = [this](const uint8_t* bytes, int count) {
        settingsPage->AssembleTextLines(bytes, count);
    };
    FormCreate();
}

TfrmVYK10::~TfrmVYK10() {
    FormDestroy();
}

void TfrmVYK10::BuildControls() {
    btnOpenFile = AddToolButton(QStringLiteral("打开"));
    btnOpenFile->setToolTip(QStringLiteral("打开历史文件"));
    connect(btnOpenFile, &QAction::triggered, this, &TfrmVYK10::btnOpenFileClick);
    btnOpenSaveLogFile = AddToolButton(QStringLiteral("录制"));
    btnOpenSaveLogFile->setToolTip(QStringLiteral("设置保存文件名"));
    connect(btnOpenSaveLogFile, &QAction::triggered, this, &TfrmVYK10::btnOpenSaveLogFileClick);
    btn2 = AddToolButton(QStringLiteral("停止"));
    connect(btn2, &QAction::triggered, this, [this] { SendToPort(scanner::kCmdMotorStop); });
    btn3 = AddToolButton(QStringLiteral("运行"));
    connect(btn3, &QAction::triggered, this, [this] { SendToPort(scanner::kCmdMotorFast); });
    btnTimeSeparator = tlbMain->insertSeparator(toolbarEnd_);
    ButtonTimeZoomUp = AddToolButton(QStringLiteral("＋"));
    ButtonTimeZoomUp->setToolTip(QStringLiteral("时间放大"));
    connect(ButtonTimeZoomUp, &QAction::triggered, this, &TfrmVYK10::ButtonTimeZoomUpClick);
    ButtonTimeZoomDown = AddToolButton(QStringLiteral("－"));
    ButtonTimeZoomDown->setToolTip(QStringLiteral("时间缩小"));
    connect(ButtonTimeZoomDown, &QAction::triggered, this, &TfrmVYK10::ButtonTimeZoomDownClick);

    auto* graphPage = new QWidget(nbMain);
    graphPage->setObjectName(QStringLiteral("Graph"));
    auto* graphLayout = new QVBoxLayout(graphPage);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    graphLayout->setSpacing(0);
    graphLayout->addWidget(LabelGraphData);
    graphLayout->addWidget(pnlGragh, 1);
    graphLayout->addWidget(scrlbrHisLog);
    graphLayout->addWidget(sldTimeline);

    settingsPage = new TSettingsPage(nbMain, *prompt_,
                                     [this](const QByteArray& bytes) { return SendToPort(bytes); });
    btnExitSet = settingsPage->btnExitSet;
    connect(btnExitSet, &QToolButton::clicked, this, [this] { ShowSettingsPage(false); });
    nbMain->addWidget(graphPage);
    nbMain->addWidget(settingsPage);
    setCentralWidget(nbMain);

    // The panels ignore the mouse, so a release over panel 0 reaches the bar once.
    statMain->installEventFilter(this);
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
    systemMenu->AddItem(QStringLiteral("回放波特率..."), kCmdReplayBaud);
    systemMenu->AddSeparator();
    systemMenu->AddItem(QStringLiteral("导出区间..."), kCmdExportRange);
    systemMenu->AddItem(QStringLiteral("导出MCAP..."), kCmdExportMcap);
    AddLinkStatusItem();

    ReadMainSettings();
    replay_.distanceLimit = settings.distanceLimit;
    btnOpenFile->setVisible(settings.HistoryButtonVisible());
    ShowTimeButtons(settings.viewType, false);

    CreateGraph();
}

void TfrmVYK10::FormDestroy() {
    TellIfNotSaved(SaveExitSettings(*ini_, settings));
    tmrComport->stop();
    ReleasePort();
    // Packs the recording's last segment.
    recording_.Stop();
    store.pointCount = 0;
    graph_.reset();
}

void TfrmVYK10::FormResize() {
    btnOpenFile->setEnabled(HasTimeAxis(settings.viewType));
    TScanWindow::FormResize();
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

void TfrmVYK10::Image2RightButtonDown(int, int, QPoint globalPos) {
    // A replay of a whole recording offers the views; the file shown alone does not.
    if (settings.PopupAvailable() && (historyFile.isEmpty() || Replaying()))
        pm1->popup(globalPos);
}

bool TfrmVYK10::ViewBusy() const {
    // A load in progress owns the buffer until it is decoded.
    return replay_.Busy();
}

bool TfrmVYK10::EchoActive() const {
    return nbMain->currentIndex() == 1;
}

QByteArray TfrmVYK10::ChangeHistoryText() const {
    return console::ChangeHistoryText();
}

void TfrmVYK10::SystemCommand(int command) {
    switch (command) {
        case kCmdUpgrade:
            ShowUpgradeWindow();
            break;
        case kCmdDisplayFilter:
            displayFilter = !displayFilter;
            graph_->SetDisplayFilter(displayFilter);
            break;
        case kCmdExportRange:
            ExportRange();
            break;
        case kCmdExportMcap:
            ExportMcap();
            break;
        default:
            TScanWindow::SystemCommand(command);
            replay_.distanceLimit = settings.distanceLimit;
            break;
    }
}

void TfrmVYK10::SelectView(int viewType) {
    settings.viewType = viewType;
    ShowTimeButtons(viewType, true);
    if (Replaying())
        ShowReplayed(true);
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
    TellIfNotSaved(SaveCaption(*ini_, title));
}

void TfrmVYK10::mniDecodeToolsClick() {
    TfrmDecode decodeTool(this, *prompt_);
    decodeTool.exec();
}

void TfrmVYK10::ShowSettingsPage(bool on) {
    nbMain->setCurrentIndex(on ? 1 : 0);
    if (on) {
        btnOpenFile->setEnabled(false);
        btnOpenSaveLogFile->setEnabled(recording_.Active());
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
    // A replay records nothing: the button exports what it shows.
    if (Replaying()) {
        ExportScan();
        return;
    }
    if (recording_.Active()) {
        StopRecording();
        // The button stops a recording in every view; only the data views start one.
        if (settings.viewType == vykgraph::kViewCircle || nbMain->currentIndex() == 1)
            return;
    } else if (settings.viewType == vykgraph::kViewCircle) {
        ExportScan();
        return;
    }
    const QString chosen = prompt_->SaveFileName(QString(), QFileInfo(historyFile).path(),
                                                 QStringLiteral("激光压缩数据文件 (*.Zip)"));
    if (chosen.isEmpty())
        return;
    switch (recording_.Start(chosen)) {
        case ConsoleRecording::Started::Yes:
            statPanels[7]->setText(recording_.Name());
            ShowRecordButton(kImageRecording);
            break;
        case ConsoleRecording::Started::NoBuffer:
            statPanels[7]->setText(QStringLiteral("Create Save LogFile Failed！"));
            break;
        case ConsoleRecording::Started::Exists:
            break;
    }
}

// Packs the last segment; a failure of that pack stays in panel 7.
void TfrmVYK10::StopRecording() {
    const bool failed = recording_.Stop();
    if (failed)
        ShowRecordingFault();
    historyFile.clear();
    if (!failed) {
        statPanels[7]->clear();
        statPanels[7]->setToolTip(QString());
    }
    ShowRecordButton(kImageRecordIdle);
    if (nbMain->currentIndex() == 1)
        btnOpenSaveLogFile->setEnabled(false);
}

// Panel 7 always shows the newest failure; the message box comes once per recording, after the
// tick, since a modal box inside the loop would let the timer run the loop again.
void TfrmVYK10::ShowRecordingFault() {
    const QString text = recording_.FaultText();
    statPanels[7]->setText(text);
    statPanels[7]->setToolTip(text);
    if (!recording_.FirstFault())
        return;
    QTimer::singleShot(0, this,
                       [this, text] { prompt_->Message(text, QString(), Prompt::Icon::Warning); });
}

void TfrmVYK10::ShowRecordButton(int image) {
    recordButtonImage = image;
    btnOpenSaveLogFile->setIcon(style()->standardIcon(
        image == kImageRecording ? QStyle::SP_MediaStop : QStyle::SP_DialogSaveButton));
}

void TfrmVYK10::ExportScan() {
    const RecordingReplay* replay = Replaying();
    const record::ExportOutcome outcome =
        replay ? record::ExportRevolution(replay->Samples().data(),
                                          static_cast<int>(replay->Samples().size()),
                                          options_.openFile)
               : record::ExportScan(store.pointBuffer.data(), store.pointCount, options_.openFile);
    if (outcome.result == record::ExportResult::Failed)
        prompt_->Message(record::ExportFailedText(outcome), QString(), Prompt::Icon::Warning);
}

void TfrmVYK10::ExportRange() {
    if (!Replaying()) {
        prompt_->Message(QStringLiteral("请先打开历史文件，再导出其中的区间！"), QString(),
                         Prompt::Icon::Warning);
        return;
    }
    Exports().ExportRange(Replayed(*Replaying()));
}

// Without a replay the recording is chosen here and converted without being shown.
void TfrmVYK10::ExportMcap() {
    if (Replaying()) {
        Exports().ExportMcap(Replayed(*Replaying()));
        return;
    }
    const QString recording =
        prompt_->OpenFileName(QStringLiteral("导出MCAP"), QFileInfo(historyFile).path(),
                              QString::fromUtf8(kRecordingFilter));
    if (!recording.isEmpty())
        Exports().ExportMcapOfFile(recording, settings.baudRate);
}

RecordingExports& TfrmVYK10::Exports() {
    exports_.distanceLimit = settings.distanceLimit;
    exports_.folder = QFileInfo(historyFile).path();
    return exports_;
}

void TfrmVYK10::btnOpenFileClick() {
    if (replay_.Busy())
        return;
    if (store.pointBuffer.empty()) {
        prompt_->Message(QStringLiteral("内存申请失败，请重新启动电脑再试一试！"));
        return;
    }
    const QString path = prompt_->OpenFileName(QString(), QFileInfo(historyFile).path(),
                                               QString::fromUtf8(kRecordingFilter));
    if (path.isEmpty())
        return;
    historyFile = path;
    LeaveLiveOperation();
    OpenReplay(path);
    if (HistoryReplay::IsArchivePath(path))
        recording_.OfferLeftovers(path);
    if (replay_.LoadChosen(path) == LoadResult::Loaded)
        ShowLoadedFromStart();
}

void TfrmVYK10::ShowLoadedFromStart() {
    store.viewStart = 0;
    store.viewLength = graph_->PointsPerView();
    RedrawView();
    SetScrollPosition(0);
}

// The whole recording, shown from the same first segment as the file alone; a file no
// recording can be made of is told by the load that follows.
void TfrmVYK10::OpenReplay(const QString& path) {
    QString error;
    if (!StartReplay(path, error))
        return;
    // Sized once for the largest segment, so that moving between them never grows it.
    replay_.MakeRoom(Replaying()->SegmentRoom());
    btnOpenSaveLogFile->setVisible(true);
    btnOpenSaveLogFile->setToolTip(QStringLiteral("导出显示的一圈"));
    mniCircle->setVisible(true);
    mniData->setVisible(true);
    mniMulCircle->setVisible(true);
}

// Live operation does not come back in this run.
void TfrmVYK10::LeaveLiveOperation() {
    btn2->setVisible(false);
    btn3->setVisible(false);
    btnOpenSaveLogFile->setVisible(false);
    // No more data comes; packed now, its open segment is no leftover of the file opened.
    recording_.Stop();
    for (QAction* item : pm1->actions()) item->setVisible(false);
    tmrComport->stop();
    ReleasePort();
    ShowPortStatus();
    scrlbrHisLog->setEnabled(true);
}

// The upgrade window takes the serial line over; once it closes, the program ends.
void TfrmVYK10::ShowUpgradeWindow() {
    std::unique_ptr<TfrmIAP> upgrade;
    try {
        auto port = makeUpgradePort_ ? makeUpgradePort_(*prompt_, ini_.get())
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

bool TfrmVYK10::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == statMain) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = statMain->mapFromGlobal(mouse->globalPosition().toPoint());
        statMainMouseUp(mouse->button(), at.x(), mouse->globalPosition().toPoint());
    }
    return TScanWindow::eventFilter(watched, event);
}

}  // namespace console

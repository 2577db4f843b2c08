#include "Vyk10dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "IniFile.h"
#include "Process.h"
#include "Prompt.h"
#include "ScanImage.h"
#include "ScannerInterface.h"
#include "Shell.h"
#include "SystemMenu.h"

// The resource lives in a static library; nothing would pull it in otherwise.
static QByteArray ZoneHistoryText() {
    Q_INIT_RESOURCE(zone);
    QFile resource(QStringLiteral(":/zone/history.txt"));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

namespace zone {

using namespace scanwindow;

namespace {

constexpr int kLeftPanelWidth = 616;
constexpr int kSummaryIntervalMs = 200;

}  // namespace

TfrmVYK10::TfrmVYK10(ZoneToolOptions options, QWidget* parent)
    : TScanWindow(std::move(options), kZoneToolWindow, parent), tool_(link_, *prompt_) {
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    BuildControls();
    nbMain->setCurrentIndex(0);
    loop_.echo = [this](const uint8_t* bytes, int count) { tool_.Received(bytes, count); };
    // The command queue's send step, between the reads and the redraw of each tick.
    loop_.afterRead = [this] { tool_.Tick(); };
    ConnectTool();
    FormCreate();
}

TfrmVYK10::~TfrmVYK10() {
    FormDestroy();
}

void TfrmVYK10::BuildControls() {
    auto* graphPage = new QWidget(nbMain);
    graphPage->setObjectName(QStringLiteral("Graph"));
    auto* pageLayout = new QHBoxLayout(graphPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);

    pnl1 = new QWidget(graphPage);
    pnl1->setFixedWidth(kLeftPanelWidth);
    auto* left = new QVBoxLayout(pnl1);
    auto* buttons = new QHBoxLayout;
    btnStop = new QPushButton(QStringLiteral("停止"), pnl1);
    btnPlay = new QPushButton(QStringLiteral("马达旋转"), pnl1);
    btnReadPara = new QPushButton(QStringLiteral("读取设置"), pnl1);
    cbbRectIndex = new QComboBox(pnl1);
    for (int g = 0; g < kZoneGroups; ++g) cbbRectIndex->addItem(GroupName(g));
    for (QWidget* w : {static_cast<QWidget*>(btnStop), static_cast<QWidget*>(btnPlay),
                       static_cast<QWidget*>(btnReadPara), static_cast<QWidget*>(cbbRectIndex)})
        buttons->addWidget(w);
    left->addLayout(buttons);
    for (int o = 0; o < kZoneOutputs; ++o) left->addWidget(BuildOutput(o, pnl1));
    lblZoneSummary = new QLabel(pnl1);
    lblZoneSummary->setVisible(false);
    left->addWidget(lblZoneSummary);
    BuildLogPanel(pnl1);
    left->addWidget(pnlLog, 1);
    left->addStretch();

    pageLayout->addWidget(pnl1);
    pageLayout->addWidget(pnlGragh, 1);

    auto* pnlMain = new QWidget(this);
    auto* mainLayout = new QVBoxLayout(pnlMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    nbMain->addWidget(graphPage);
    auto* setPage = new QWidget(nbMain);
    setPage->setObjectName(QStringLiteral("Set"));
    nbMain->addWidget(setPage);
    mainLayout->addWidget(nbMain, 1);
    mainLayout->addWidget(scrlbrHisLog);
    mainLayout->addWidget(sldTimeline);
    setCentralWidget(pnlMain);

    tmrZoneSummary = new QTimer(this);
    tmrZoneSummary->setInterval(kSummaryIntervalMs);
    connect(tmrZoneSummary, &QTimer::timeout, this, &TfrmVYK10::ShowSummary);
}

QWidget* TfrmVYK10::BuildOutput(int output, QWidget* parent) {
    OutputControls& c = outputs[output];
    c.group = new QGroupBox(OutputTitle(output), parent);
    auto* grid = new QGridLayout(c.group);
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        c.pointLabel[k] = new QLabel(PointLabel(k, true), c.group);
        grid->addWidget(c.pointLabel[k], 0, k);
        for (int axis = 0; axis < 2; ++axis) {
            c.coordinate[2 * k + axis] = new QLineEdit(c.group);
            grid->addWidget(c.coordinate[2 * k + axis], 1 + axis, k);
        }
    }
    grid->addWidget(new QLabel(QStringLiteral("灵敏度"), c.group), 0, ProtectZone::kPairs);
    c.sensitivity = new QLineEdit(c.group);
    grid->addWidget(c.sensitivity, 1, ProtectZone::kPairs);
    c.level = new QCheckBox(LevelCaption(false), c.group);
    c.shape = new QCheckBox(ShapeCaption(true), c.group);
    c.clear = new QPushButton(QStringLiteral("清除"), c.group);
    c.save = new QPushButton(QStringLiteral("保存"), c.group);
    grid->addWidget(c.level, 3, 0);
    grid->addWidget(c.shape, 3, 1);
    grid->addWidget(c.clear, 3, 3);
    grid->addWidget(c.save, 3, 4);

    connect(c.level, &QCheckBox::clicked, this, [this, output](bool on) {
        outputs[output].level->setText(LevelCaption(on));
        tool_.Editor().Boxes(output).high = on;
    });
    connect(c.shape, &QCheckBox::clicked, this, [this, output](bool on) {
        TakeBoxes(output);
        tool_.Editor().ShapeChanged(output, on);
        ShowBoxes(output);
    });
    connect(c.clear, &QPushButton::clicked, this, [this, output] {
        TakeBoxes(output);
        tool_.Editor().ClearZoneInputs(output);
        ShowBoxes(output);
    });
    connect(c.save, &QPushButton::clicked, this, [this, output] {
        TakeBoxes(output);
        const TZoneEditor::SaveResult result = tool_.Editor().SaveZone(output);
        ShowBoxes(output);
        OutputControls& boxes = outputs[output];
        if (result.focus == ZoneBoxes::kSensitivityBox)
            boxes.sensitivity->setFocus();
        else if (result.focus >= 0)
            boxes.coordinate[result.focus]->setFocus();
    });
    return c.group;
}

void TfrmVYK10::BuildLogPanel(QWidget* parent) {
    pnlLog = new QWidget(parent);
    auto* layout = new QVBoxLayout(pnlLog);
    mmoLog = new QPlainTextEdit(pnlLog);
    mmoLog->setReadOnly(true);
    mmoLog->setMaximumBlockCount(TZoneTool::kKeptLogLines);
    auto* pnlCmd = new QHBoxLayout;
    edt1 = new QLineEdit(pnlLog);
    btnSend = new QPushButton(QStringLiteral("发送"), pnlLog);
    cbbBand = new QComboBox(pnlLog);
    cbbBand->setEditable(true);
    for (int rate : {230400, 460800, 921600}) cbbBand->addItem(QString::number(rate));
    btn2 = new QPushButton(QStringLiteral("强制输出"), pnlLog);
    btnClear = new QPushButton(QStringLiteral("清除"), pnlLog);
    for (QWidget* w : {static_cast<QWidget*>(edt1), static_cast<QWidget*>(btnSend),
                       static_cast<QWidget*>(cbbBand), static_cast<QWidget*>(btn2),
                       static_cast<QWidget*>(btnClear)})
        pnlCmd->addWidget(w);
    layout->addWidget(LabelGraphData);
    layout->addWidget(mmoLog, 1);
    layout->addLayout(pnlCmd);
    pnlLog->setVisible(false);
}

void TfrmVYK10::ConnectTool() {
    connect(btnStop, &QPushButton::clicked, this, [this] { tool_.StopClicked(); });
    connect(btnPlay, &QPushButton::clicked, this, [this] { tool_.PlayClicked(); });
    connect(btnReadPara, &QPushButton::clicked, this, [this] { tool_.ReadClicked(); });
    connect(cbbRectIndex, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        if (i < 0) {
            cbbRectIndex->setCurrentIndex(0);
            return;
        }
        tool_.cbbRectIndexChange(i);
        for (int o = 0; o < kZoneOutputs; ++o) ShowBoxes(o);
    });
    connect(btnSend, &QPushButton::clicked, this, [this] { tool_.SendClicked(edt1->text()); });
    connect(btn2, &QPushButton::clicked, this, [this] {
        if (!tool_.ForceOutputClicked(cbbBand->currentText()))
            cbbBand->setCurrentIndex(0);
    });
    connect(btnClear, &QPushButton::clicked, this, [this] { tool_.ClearLogClicked(); });

    tool_.setZone = [this](int slot, const ProtectZone& zone) {
        if (graph_)
            graph_->SetZone(slot, zone);
    };
    tool_.redraw = [this] {
        RedrawView();
        for (int o = 0; o < kZoneOutputs; ++o) ShowBoxes(o);
        if (summary_) {
            summary_->Follow(tool_.Table(), tool_.Editor().Group());
            ShowSummary();
        }
    };
    tool_.showProgress = [this](int maximum) {
        delete processForm;
        processForm = new TProcessForm(this);
        processForm->SetMax(maximum);
        processForm->SetPosition(0);
        processForm->open();
    };
    tool_.progressPosition = [this](int position) {
        if (processForm && processForm->isVisible())
            processForm->SetPosition(position);
    };
    // Appended, not rebuilt: a rebuild per received line grew with the log.
    tool_.logAppended = [this](const QString& line) { mmoLog->appendPlainText(line); };
    tool_.logCleared = [this] { mmoLog->clear(); };
    tool_.later = [this](std::function<void()> run) { QTimer::singleShot(0, this, run); };
    tool_.levelsChanged = [this] {
        for (int o = 0; o < kZoneOutputs; ++o) {
            const bool high = tool_.Editor().Boxes(o).high;
            outputs[o].level->setChecked(high);
            outputs[o].level->setText(LevelCaption(high));
        }
    };
}

// The editor's boxes and the widgets are two copies of one state: widgets to boxes before the
// editor acts, boxes to widgets after.
void TfrmVYK10::TakeBoxes(int output) {
    ZoneBoxes& boxes = tool_.Editor().Boxes(output);
    const OutputControls& c = outputs[output];
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i) boxes.coordinate[i] = c.coordinate[i]->text();
    boxes.sensitivity = c.sensitivity->text();
    boxes.polygon = c.shape->isChecked();
    boxes.high = c.level->isChecked();
}

void TfrmVYK10::ShowBoxes(int output) {
    const ZoneBoxes& boxes = tool_.Editor().Boxes(output);
    OutputControls& c = outputs[output];
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i) {
        c.coordinate[i]->setText(boxes.coordinate[i]);
        c.coordinate[i]->setVisible(CoordinateVisible(i, boxes.polygon));
    }
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        c.pointLabel[k]->setText(PointLabel(k, boxes.polygon));
        c.pointLabel[k]->setVisible(PointLabelVisible(k, boxes.polygon));
    }
    c.sensitivity->setText(boxes.sensitivity);
    c.shape->setChecked(boxes.polygon);
    c.shape->setText(ShapeCaption(boxes.polygon));
    c.level->setChecked(boxes.high);
    c.level->setText(LevelCaption(boxes.high));
}

void TfrmVYK10::FormCreate() {
    systemMenu->AddSeparator();
    systemMenu->AddItem(QStringLiteral("显示信息框"), kCmdShowLog);
    systemMenu->AddItem(QStringLiteral("最远距离设置"), kCmdDistanceLimit);
    systemMenu->AddItem(QStringLiteral("打开历史文件"), kCmdOpenRecording);
    systemMenu->AddItem(QStringLiteral("返回实时数据"), kCmdLeaveReplay)->setVisible(false);
    systemMenu->AddItem(QStringLiteral("版本修改历史(&V)"), kCmdChangeHistory);
    systemMenu->AddItem(QStringLiteral("帮助(&H)"), kCmdHelp);
    AddLinkStatusItem();

    ReadMainSettings();
    LoadZones(*ini_, tool_.Table());
    CreateGraph();
    for (int o = 0; o < kZoneOutputs; ++o) graph_->SetZone(o, tool_.Table().zones[o]);
}

void TfrmVYK10::FormDestroy() {
    delete processForm;
    processForm = nullptr;
    // It reads the replay's recording, which goes with the window.
    summary_.reset();
    {
        // One write of the file at exit; the inner writes go with the batch's commit.
        IniFile::Batch batch(*ini_);
        (void)SaveExitSettings(*ini_, settings);
        (void)SaveCaption(*ini_, windowTitle());
        batch.WriteString(QString::fromLatin1(kMainSection), QStringLiteral("hisFile"), QString());
        (void)StoreZones(*ini_, tool_.Table());
        TellIfNotSaved(batch.Commit());
    }
    tmrComport->stop();
    ReleasePort();
    store.pointCount = 0;
    graph_.reset();
}

void TfrmVYK10::Shown() {
    tool_.Start();
    for (int o = 0; o < kZoneOutputs; ++o) ShowBoxes(o);
}

void TfrmVYK10::PortChanged() {
    link_.SetPort(port_.get());
    // Back after an outage: what was queued meanwhile goes now, an interrupted zone whole.
    if (port_)
        tool_.Reconnected();
}

QByteArray TfrmVYK10::ChangeHistoryText() const {
    return ZoneHistoryText();
}

void TfrmVYK10::SystemCommand(int command) {
    if (command == kCmdShowLog)
        pnlLog->setVisible(true);
    else if (command == kCmdOpenRecording)
        OpenRecordingExecute();
    else if (command == kCmdLeaveReplay)
        LeaveReplayExecute();
    else
        TScanWindow::SystemCommand(command);
}

void TfrmVYK10::OpenRecordingExecute() {
    const QString path =
        prompt_->OpenFileName(QString(), QString(), QString::fromUtf8(kRecordingFilter));
    if (path.isEmpty())
        return;
    // The summary reads the recording a replay shown before holds open.
    summary_.reset();
    QString error;
    if (!StartReplay(path, error)) {
        prompt_->Message(error, QString(), Prompt::Icon::Warning);
        // A replay shown before went with it.
        if (tool_.Replaying())
            ReturnToLive();
        return;
    }
    // The scanner stays untouched while its zones are tried on the recording.
    ReleasePort();
    ShowPortStatus();
    summary_ = std::make_unique<ZoneRecordingSummary>(Replaying()->Set(), settings.distanceLimit);
    summary_->Follow(tool_.Table(), tool_.Editor().Group());
    ShowReplayMode(true);
}

void TfrmVYK10::LeaveReplayExecute() {
    if (!Replaying())
        return;
    summary_.reset();
    StopReplay();
    ReturnToLive();
}

void TfrmVYK10::ReturnToLive() {
    ShowReplayMode(false);
    store.pointCount = 0;
    RedrawView();
    ConnectActionExecute();
    ShowPortStatus();
}

void TfrmVYK10::ShowReplayMode(bool replaying) {
    tool_.SetReplaying(replaying);
    graph_->SetOutputsFromZones(replaying);
    systemMenu->Item(kCmdLeaveReplay)->setVisible(replaying);
    lblZoneSummary->setVisible(replaying);
    if (replaying) {
        ShowSummary();
        tmrZoneSummary->start();
    } else {
        tmrZoneSummary->stop();
    }
}

void TfrmVYK10::ShowSummary() {
    if (summary_)
        lblZoneSummary->setText(ZoneSummaryLines(summary_->Current()));
}

}  // namespace zone

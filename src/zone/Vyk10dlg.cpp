#include "Vyk10dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "AppPaths.h"
#include "DesktopOpen.h"
#include "IniFile.h"
#include "OpenFailure.h"
#include "Process.h"
#include "Prompt.h"
#include "ScannerInterface.h"
#include "SerialByteSource.h"
#include "SerialPort.h"
#include "ShellCommands.h"
#include "StatusTexts.h"
#include "SystemMenu.h"
#include "Tick.h"
#include "Vykgraph.h"
#include "console/Vyk10dlg.h"

namespace zone {

namespace {

constexpr int kOpenPortEventMask = 9;
constexpr int kSendBufferSize = 65536;
constexpr int kTimerIntervalMs = 30;
constexpr int kLeftPanelWidth = 616;
constexpr char kGroupTitles[kZoneOutputs][32] = {"区域保护IO输出1", "区域保护IO输出2",
                                                 "区域保护IO输出3"};
constexpr char kGroupNames[kZoneGroups][16] = {"第一组", "第二组", "第三组", "第四组"};

}  // namespace
}  // namespace zone

// The resource lives in a static library; nothing would pull it in otherwise.
static QByteArray ZoneHistoryText() {
    Q_INIT_RESOURCE(zone);
    QFile resource(QStringLiteral(":/zone/history.txt"));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

namespace zone {
namespace {}  // namespace

TfrmVYK10::TfrmVYK10(ZoneToolOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      ini_(std::make_unique<IniFile>(options_.iniPath)),
      ownPrompt_(options_.prompt ? nullptr : std::make_unique<WidgetPrompt>(this)),
      prompt_(options_.prompt ? options_.prompt : ownPrompt_.get()),
      tool_(link_, *prompt_),
      loop_(store, decoder_) {
    if (!options_.portSource.probe)
        options_.portSource = setport::SystemPortSource(ini_.get());
    if (!options_.openFile)
        options_.openFile = OpenWithDesktop;
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    BuildControls();
    DisconnectAction->setEnabled(false);
    ConnectAction->setEnabled(true);
    ShowPortStatus();
    statPanels[1]->setText(console::ZoomStatusText(0));
    nbMain->setCurrentIndex(0);
    loop_.redrawAbove = 1;
    loop_.ratesEverySecondTick = true;
    loop_.showLatest = [this] { ShowLatest(); };
    loop_.echo = [this](const uint8_t* bytes, int count) { tool_.Received(bytes, count); };
    ConnectTool();
    tmrComport->start();
    FormCreate();
}

TfrmVYK10::~TfrmVYK10() {
    FormDestroy();
}

void TfrmVYK10::BuildControls() {
    ConnectAction = new QAction(QStringLiteral("ConnectAction"), this);
    DisconnectAction = new QAction(QStringLiteral("DisconnectAction"), this);
    auto* toolbar = addToolBar(QStringLiteral("tlbMain"));
    toolbar->setMovable(false);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    systemMenu = new SystemMenu(this);
    toolbar->addWidget(systemMenu->CreateButton(toolbar));

    nbMain = new QStackedWidget(this);
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
    for (const char* name : kGroupNames) cbbRectIndex->addItem(QString::fromUtf8(name));
    for (QWidget* w : {static_cast<QWidget*>(btnStop), static_cast<QWidget*>(btnPlay),
                       static_cast<QWidget*>(btnReadPara), static_cast<QWidget*>(cbbRectIndex)})
        buttons->addWidget(w);
    left->addLayout(buttons);
    for (int o = 0; o < kZoneOutputs; ++o) left->addWidget(BuildOutput(o, pnl1));
    BuildLogPanel(pnl1);
    left->addWidget(pnlLog, 1);
    left->addStretch();

    pnlGragh = new QWidget(graphPage);
    pnlGragh->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pnlGragh->installEventFilter(this);
    Image2 = new console::ScanImage(pnlGragh);
    connect(Image2, &console::ScanImage::MouseMoved, this, &TfrmVYK10::Image2MouseMove);
    connect(
        Image2, &console::ScanImage::MousePressed, this,
        [this](Qt::MouseButton button, int x, int y, QPoint) { Image2MouseDown(button, x, y); });
    connect(Image2, &console::ScanImage::MouseReleased, this, &TfrmVYK10::Image2MouseUp);
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
    scrlbrHisLog = new QScrollBar(Qt::Horizontal, pnlMain);
    scrlbrHisLog->setEnabled(false);
    connect(scrlbrHisLog, &QScrollBar::valueChanged, this, &TfrmVYK10::scrlbrHisLogChange);
    mainLayout->addWidget(nbMain, 1);
    mainLayout->addWidget(scrlbrHisLog);
    setCentralWidget(pnlMain);

    statMain = statusBar();
    statMain->setSizeGripEnabled(false);
    for (int i = 0; i < 8; ++i) {
        statPanels[i] = new QLabel(statMain);
        statPanels[i]->setFixedWidth(console::kStatusPanelWidths[i]);
        statPanels[i]->setFrameShape(QFrame::Panel);
        statPanels[i]->setFrameShadow(QFrame::Sunken);
        statMain->addWidget(statPanels[i], i == 7 ? 1 : 0);
    }
    statPanels[5]->setText(QString::fromLatin1(console::kBuildText));
    statPanels[6]->setText(QString::fromLatin1(console::kPanel6Text));

    tmrComport = new QTimer(this);
    tmrComport->setInterval(kTimerIntervalMs);
    tmrComport->setTimerType(Qt::PreciseTimer);
    connect(tmrComport, &QTimer::timeout, this, &TfrmVYK10::tmrComportTimer);
}

QWidget* TfrmVYK10::BuildOutput(int output, QWidget* parent) {
    OutputControls& c = outputs[output];
    c.group = new QGroupBox(QString::fromUtf8(kGroupTitles[output]), parent);
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
    LabelGraphData = new QLabel(pnlLog);
    QFont big = LabelGraphData->font();
    big.setPointSize(14);
    LabelGraphData->setFont(big);
    mmoLog = new QPlainTextEdit(pnlLog);
    mmoLog->setReadOnly(true);
    auto* pnlCmd = new QHBoxLayout;
    edt1 = new QLineEdit(pnlLog);
    btnSend = new QPushButton(QStringLiteral("发送"), pnlLog);
    cbbBand = new QComboBox(pnlLog);
    cbbBand->setEditable(true);
    for (int rate : {115200, 230400, 460800, 921600}) cbbBand->addItem(QString::number(rate));
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
    tool_.logChanged = [this] { mmoLog->setPlainText(tool_.Log().join('\n')); };
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
    systemMenu->AddItem(QStringLiteral("最远距离设置"), console::kCmdDistanceLimit);
    systemMenu->AddItem(QStringLiteral("版本修改历史(&V)"), console::kCmdChangeHistory);
    systemMenu->AddItem(QStringLiteral("帮助(&H)"), console::kCmdHelp);
    connect(systemMenu, &SystemMenu::Command, this, &TfrmVYK10::SystemCommand);

    settings = console::LoadSettings(*ini_, windowTitle());
    settings.baudRate = ini_->ReadInteger(QString::fromLatin1(console::kMainSection),
                                          QStringLiteral("BandRate"), kZoneToolBaud);
    setWindowTitle(settings.caption);
    loop_.distanceLimit = settings.distanceLimit;
    LoadZones(*ini_, tool_.Table());

    graph_ = std::make_unique<TVykGraph>(&Image2->target, 1, vykgraph::kViewCircle,
                                         GraphProgram::ZoneTool);
    store.viewLength = graph_->PointsPerView();
    for (int o = 0; o < kZoneOutputs; ++o) graph_->SetZone(o, tool_.Table().zones[o]);
}

void TfrmVYK10::FormDestroy() {
    delete processForm;
    processForm = nullptr;
    {
        // One write of the file at exit.
        const IniFile::Batch batch(*ini_);
        console::SaveExitSettings(*ini_, settings);
        console::SaveCaption(*ini_, windowTitle());
        ini_->WriteString(QString::fromLatin1(console::kMainSection), QStringLiteral("hisFile"),
                          QString());
        StoreZones(*ini_, tool_.Table());
    }
    tmrComport->stop();
    ReleasePort();
    store.pointCount = 0;
    graph_.reset();
}

bool TfrmVYK10::FormShow() {
    ConnectActionExecute();
    if (!port_)
        return false;
    tool_.Start();
    for (int o = 0; o < kZoneOutputs; ++o) ShowBoxes(o);
    ShowPortStatus();
    return true;
}

void TfrmVYK10::ConnectActionExecute() {
    if (port_)
        return;
    TSetPortForm dialog(setport::Program::ZoneTool, options_.portSource, *prompt_, this);
    dialog.SetBaudVisible(true);
    dialog.SetBaudEnabled(false);
    dialog.SetBaudRate(settings.baudRate);
    dialog.SetPortNumber(portNumber);
    if (dialog.exec() != QDialog::Accepted)
        return;
    portNumber = dialog.PortNumber();
    settings.baudRate = dialog.BaudRate();
    port_ = std::make_unique<TSerialPort>(*prompt_, ini_.get());
    if (port_->OpenPort(this, portNumber, settings.baudRate, 'N', scanner::kDataBits,
                        scanner::kStopBits, kOpenPortEventMask, kSendBufferSize)) {
        port_->StartMonitor();
        link_.SetPort(port_.get());
        DisconnectAction->setEnabled(true);
        ConnectAction->setEnabled(false);
    } else {
        const QString device = port_->DevicePath();
        const int error = port_->OpenError();
        port_.reset();
        prompt_->Message(OpenFailedText(
            device.isEmpty() ? QStringLiteral("COM%1").arg(portNumber) : device, error));
    }
    ShowPortStatus();
}

void TfrmVYK10::ReleasePort() {
    link_.SetPort(nullptr);
    if (!port_)
        return;
    port_->ClosePort();
    port_.reset();
}

void TfrmVYK10::tmrComportTimer() {
    if (!port_)
        return;
    console::SerialByteSource source(*port_);
    loop_.Tick(source, GetTickCount(), true);
    tool_.Tick();
    ShowByteStatus();
}

void TfrmVYK10::ShowLatest() {
    store.ViewNewest();
    RedrawView();
    LabelGraphData->setText(console::ReferenceText(referenceDistance, referenceAngleCopy));
}

void TfrmVYK10::RedrawView() {
    const int length = store.ClampViewWindow();
    if (graph_) {
        graph_->Draw(store.pointBuffer.data() + store.viewStart, store.viewStart, length);
        graph_->GetReferencePoint(referenceDistance, referenceAngleCopy);
        Image2->update();
    }
    ShowPointStatus();
    if (scrlbrHisLog->isEnabled() && settings.viewType == vykgraph::kViewData) {
        scrollGuard = false;
        scrlbrHisLog->setMaximum(store.pointCount);
        scrlbrHisLog->setValue(store.viewStart);
        scrollGuard = true;
    }
}

void TfrmVYK10::ShowPortStatus() {
    statPanels[0]->setText(
        console::PortStatusText(port_ != nullptr, portNumber, settings.baudRate));
}

void TfrmVYK10::ShowPointStatus() {
    statPanels[2]->setText(console::PointStatusText(store.pointCount, loop_.PointRate()));
}

void TfrmVYK10::ShowByteStatus() {
    statPanels[3]->setText(
        console::ByteStatusText(port_ ? port_->ReceivedTotal() : 0, loop_.ByteRate()));
    statPanels[4]->setText(console::UnsetValueText());
}

void TfrmVYK10::FormResize() {
    Image2->setGeometry(0, 0, pnlGragh->width(), pnlGragh->height());
    Image2->target = QImage(pnlGragh->size(), QImage::Format_RGB32);
    if (!graph_)
        return;
    graph_->SetView(settings.viewType, 1, pnlGragh->width(), pnlGragh->height());
    store.viewLength = graph_->PointsPerView();
    RedrawView();
}

void TfrmVYK10::Image2MouseMove(int x, int y) {
    if (settings.viewType == vykgraph::kViewCircle) {
        graph_->PickReferenceAngle(x, y);
        const QString text = console::ReferenceText(referenceDistance, referenceAngleCopy);
        RedrawView();
        LabelGraphData->setText(text);
        return;
    }
    const int row = graph_->HitRow(x, y);
    const bool wasDragging = drag.dragging;
    if (drag.Move(row, x, 0, store))
        RedrawView();
    if (row == 0 || wasDragging)
        return;
    const int i = console::SampleUnderMouse(store, x, graph_->PlotLeft(), 0, row);
    if (i >= 0)
        LabelGraphData->setText(console::SampleText(store.pointBuffer[i]));
}

// Both buttons drag here; the console's right button opens its popup instead.
void TfrmVYK10::Image2MouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::MiddleButton)
        store.pointCount = 0;
    else if (button == Qt::LeftButton || button == Qt::RightButton)
        drag.Press(graph_->HitRow(x, y), x);
}

void TfrmVYK10::Image2MouseUp() {
    drag.Release();
}

void TfrmVYK10::scrlbrHisLogChange() {
    if (!scrollGuard)
        return;
    const int position = scrlbrHisLog->value();
    if (position < store.pointCount && position != store.viewStart) {
        store.viewStart = position;
        RedrawView();
    }
}

void TfrmVYK10::SystemCommand(int command) {
    switch (command) {
        case kCmdShowLog:
            pnlLog->setVisible(true);
            break;
        case console::kCmdDistanceLimit:
            if (console::AskDistanceLimit(*prompt_, settings.distanceLimit)) {
                loop_.distanceLimit = settings.distanceLimit;
                console::SaveDistanceLimit(*ini_, settings.distanceLimit);
            }
            break;
        case console::kCmdChangeHistory: {
            const QString path = BesideIni(options_.iniPath,
                                           QFileInfo(options_.iniPath).completeBaseName() + ".txt");
            if (console::WriteHistoryText(path, ZoneHistoryText()))
                options_.openFile(path);
            break;
        }
        case console::kCmdHelp:
            prompt_->Message(console::HelpText());
            break;
        default:
            break;
    }
}

void TfrmVYK10::closeEvent(QCloseEvent* event) {
    if (port_)
        port_->SilenceWarnings();
    QMainWindow::closeEvent(event);
}

bool TfrmVYK10::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlGragh && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace zone

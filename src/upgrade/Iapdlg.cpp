#include "Iapdlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "IapSettings.h"
#include "IniFile.h"
#include "Prompt.h"
#include "ReceivedText.h"
#include "Tick.h"
#include "TopWindows.h"

const char* const OutsideToolTitle = "STC-ISP (V6.88) 官方网站: www.stcmcudata.com";

namespace {

constexpr int kClientWidth = 917;
constexpr int kClientHeight = 562;
constexpr int kTopHeight = 73;
constexpr int kLeftWidth = 545;
constexpr int kPanelWidths[5] = {140, 50, 50, 80, 50};
constexpr int kTimerMs = 2;

const QStringList kInstructions = {
    QStringLiteral("升级步骤："),
    QStringLiteral("1）连接好连接线"),
    QStringLiteral("2）串口升级必须先选择正确的串口号，波特率为115200"),
    QStringLiteral("3）CAN的波特率为50K"),
    QStringLiteral("4）选择正确的升级文件，程序文件为.bin,"),
    QStringLiteral("曲线文件为.dat,在标定数据页面双击响应的机器码即可。"),
    QStringLiteral("5）机器上电"),
    QString(),
    QStringLiteral("常见问题："),
    QStringLiteral("1）上电没有反应"),
    QStringLiteral("      请 检查连接线，并确认机器是否烧录引导程序。"),
};

const QString kOpen = QStringLiteral("打开串口");
const QString kCloseText = QStringLiteral("关闭串口");

}  // namespace

TfrmIAP::TfrmIAP(std::unique_ptr<IapPort> port, IniFile& ini, Prompt& prompt, QWidget* parent)
    : QDialog(parent),
      nxcmdvc1(std::move(port)),
      ini_(ini),
      prompt_(prompt),
      conversation_(*nxcmdvc1, *this) {
    BuildControls();
    LoadSettings();
    conversation_.SetFileName(edtFileName->text());
    tmr1->start();
}

TfrmIAP::~TfrmIAP() {
    tmr1->stop();
    SaveSettings();
}

void TfrmIAP::BuildControls() {
    setObjectName(QStringLiteral("frmIAP"));
    setWindowTitle(QStringLiteral("IAP（串口）升级工具  （Halvex）"));
    resize(kClientWidth, kClientHeight);

    auto* pnlTop = new QWidget(this);
    pnlTop->setFixedHeight(kTopHeight);
    grpFileName = new QGroupBox(QStringLiteral("选择升级文件"), pnlTop);
    edtFileName = new QLineEdit(grpFileName);
    btnSelectFile = new QPushButton(QStringLiteral("..."), grpFileName);
    btnSelectFile->setFixedWidth(30);
    btnHisFile = new QPushButton(QStringLiteral("历史"), grpFileName);
    lblCrc = new QLabel(QStringLiteral("CRC32:0000000        "), grpFileName);
    btnClearMsg = new QPushButton(QStringLiteral("清空列表"), grpFileName);
    chkAuto = new QCheckBox(QStringLiteral("根据ID自动选择   "), grpFileName);
    chkDisPowerData = new QCheckBox(QStringLiteral("升级能量曲线数据   "), grpFileName);
    chkDisPowerData->setEnabled(false);
    auto* fileRow = new QHBoxLayout(grpFileName);
    fileRow->addWidget(edtFileName, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{btnSelectFile, btnHisFile, lblCrc,
                                                      btnClearMsg, chkAuto, chkDisPowerData}) {
        fileRow->addWidget(w);
    }
    auto* topLayout = new QHBoxLayout(pnlTop);
    topLayout->setContentsMargins(4, 0, 4, 4);
    topLayout->addWidget(grpFileName);

    auto* pnlLeft = new QWidget(this);
    pnlLeft->setFixedWidth(kLeftWidth);
    nbMain = new QTabWidget(pnlLeft);
    auto* pnlUart = new QWidget;
    btnComport = new QPushButton(kOpen, pnlUart);
    btnSet = new QPushButton(QStringLiteral("串口设置"), pnlUart);
    auto* uartLayout = new QHBoxLayout(pnlUart);
    uartLayout->addWidget(btnComport);
    uartLayout->addWidget(btnSet);
    uartLayout->addStretch(1);
    auto* uartPage = new QWidget;
    auto* pageLayout = new QVBoxLayout(uartPage);
    pageLayout->addWidget(pnlUart);
    pageLayout->addStretch(1);
    nbMain->addTab(uartPage, QStringLiteral("串口"));
    auto* leftLayout = new QVBoxLayout(pnlLeft);
    leftLayout->setContentsMargins(4, 0, 0, 0);
    leftLayout->addWidget(nbMain);

    auto* pnlRight = new QWidget(this);
    ListBox1 = new QListWidget(pnlRight);
    ListBox1->setToolTip(QStringLiteral("调试信息框"));
    ListBox1->addItems(kInstructions);
    pbMain = new QProgressBar(pnlRight);
    pbMain->setToolTip(QStringLiteral("升级进度条"));
    pbMain->setTextVisible(false);
    pbMain->setValue(0);
    auto* rightLayout = new QVBoxLayout(pnlRight);
    rightLayout->setContentsMargins(4, 0, 4, 0);
    rightLayout->addWidget(ListBox1, 1);
    rightLayout->addWidget(pbMain);

    statMain = new QStatusBar(this);
    statMain->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        panels[i] = new QLabel(statMain);
        panels[i]->setFixedWidth(kPanelWidths[i]);
        statMain->addWidget(panels[i]);
    }
    for (int i = 1; i <= 3; ++i) panels[i]->setText(QStringLiteral("0"));

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addWidget(pnlLeft);
    middle->addWidget(pnlRight, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(pnlTop);
    layout->addLayout(middle, 1);
    layout->addWidget(statMain);

    pmHisFile = new QMenu(this);
    tmr1 = new QTimer(this);
    tmr1->setTimerType(Qt::PreciseTimer);
    tmr1->setInterval(kTimerMs);

    connect(btnClearMsg, &QPushButton::clicked, this, &TfrmIAP::btnClearMsgClick);
    connect(btnSelectFile, &QPushButton::clicked, this, &TfrmIAP::btnSelectFileClick);
    connect(btnHisFile, &QPushButton::clicked, this, &TfrmIAP::btnHisFileClick);
    connect(btnComport, &QPushButton::clicked, this, &TfrmIAP::btnComportClick);
    connect(btnSet, &QPushButton::clicked, this, &TfrmIAP::btnSetClick);
    connect(chkAuto, &QCheckBox::clicked, this, &TfrmIAP::chkAutoClick);
    connect(chkDisPowerData, &QCheckBox::clicked, this, &TfrmIAP::chkDisPowerDataClick);
    connect(edtFileName, &QLineEdit::textChanged, this,
            [this](const QString& text) { conversation_.SetFileName(text); });
    connect(tmr1, &QTimer::timeout, this, &TfrmIAP::tmr1Timer);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    aplctnvnts1Activate();
                else
                    aplctnvnts1Deactivate();
            });
}

void TfrmIAP::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
}

void TfrmIAP::LoadSettings() {
    const IapSettings settings = LoadIapSettings(ini_);
    for (const QString& path : settings.history) history_.Append(path);
    BuildHistoryMenu();
    nxcmdvc1->SetPortNo(settings.comPort);
    bAuto = settings.bAuto;
    bDisPowerData = settings.bDisPowerData;
    chkDisPowerData->setChecked(bDisPowerData);
    chkAuto->setChecked(bAuto);
    chkDisPowerData->setEnabled(bAuto);
    edtFileName->setText(settings.fileName);
    const bool known = settings.pageIndex >= 0 && settings.pageIndex < nbMain->count();
    nbMain->setCurrentIndex(known ? settings.pageIndex : 0);
}

void TfrmIAP::SaveSettings() {
    IapSettings settings;
    settings.pageIndex = nbMain->currentIndex();
    settings.fileName = edtFileName->text();
    settings.comPort = nxcmdvc1->PortNo();
    settings.bAuto = bAuto;
    settings.bDisPowerData = bDisPowerData;
    settings.history = history_.Entries();
    const WriteResult saved = SaveIapSettings(ini_, settings);
    if (!saved)
        prompt_.Message(SettingsNotSavedText(ini_.Path(), saved));
}

void TfrmIAP::btnClearMsgClick() {
    conversation_.ClearCounters();
    ListBox1->clear();
}

void TfrmIAP::btnSelectFileClick() {
    QString folder;
    const QString current = edtFileName->text();
    if (current.size() > 3 && QDir(QFileInfo(current).absolutePath()).exists())
        folder = QFileInfo(current).absolutePath();
    const QString path = prompt_.OpenFileName(
        QString(), folder, QStringLiteral("BIN File(*.bin);;HEX File(*.hex);;All File(*)"));
    if (path.isEmpty())
        return;
    edtFileName->setText(path);
    if (history_.AddHistoryFile(path))
        BuildHistoryMenu();
}

void TfrmIAP::btnHisFileClick() {
    pmHisFile->popup(btnHisFile->mapToGlobal(QPoint(10, btnHisFile->height())));
}

void TfrmIAP::BuildHistoryMenu() {
    if (history_.Entries().isEmpty())
        return;
    pmHisFile->clear();
    const QStringList& entries = history_.Entries();
    for (int i = 0; i < entries.size(); ++i) {
        const QString path = entries[i];
        pmHisFile->addAction(TFileHistory::MenuCaption(i, path), this,
                             [this, path] { HistoryItemClick(path); });
    }
}

void TfrmIAP::HistoryItemClick(const QString& path) {
    edtFileName->setText(path);
    if (history_.MoveToTop(path))
        BuildHistoryMenu();
}

void TfrmIAP::btnComportClick() {
    if (RefusedDuringTransfer())
        return;
    // A port that will not open is shown closed; the error itself is not reported.
    try {
        nxcmdvc1->SetActive(!nxcmdvc1->Active());
    } catch (const std::exception&) {
    }
    UpdatePortStatus();
}

void TfrmIAP::btnSetClick() {
    if (RefusedDuringTransfer())
        return;
    nxcmdvc1->SettingsDialog(this, true);
    UpdatePortStatus();
}

void TfrmIAP::chkAutoClick() {
    chkDisPowerData->setEnabled(chkAuto->isChecked());
    bAuto = chkAuto->isChecked();
}

void TfrmIAP::chkDisPowerDataClick() {
    bDisPowerData = chkDisPowerData->isChecked();
}

bool TfrmIAP::OnSerialPage() const {
    return nbMain->currentIndex() == 0;
}

void TfrmIAP::aplctnvnts1Activate() {
    if (!OnSerialPage() || nxcmdvc1->Active() || !TopLevelWindowExists(OutsideToolTitle))
        return;
    try {
        nxcmdvc1->SetActive(true);
    } catch (const std::exception&) {
    }
    if (nxcmdvc1->Active()) {
        ListBox1->clear();
        ShowOpenPort(QStringLiteral("串口:%1").arg(nxcmdvc1->PortNo()));
    }
}

void TfrmIAP::aplctnvnts1Deactivate() {
    // Switching to the outside tool mid-transfer would cut the image short.
    if (conversation_.Sending() || !OnSerialPage() || !nxcmdvc1->Active() ||
        !TopLevelWindowExists(OutsideToolTitle))
        return;
    try {
        nxcmdvc1->SetActive(false);
    } catch (const std::exception&) {
    }
    if (!nxcmdvc1->Active())
        ShowClosedPort(QStringLiteral("串口关闭"));
}

void TfrmIAP::tmr1Timer() {
    conversation_.tmr1Timer(GetTickCount());
    ShowTransferLock(conversation_.Sending());
}

void TfrmIAP::reject() {
    // Leaving mid-transfer leaves the scanner with a partial image.
    if (conversation_.Sending() &&
        prompt_.Message(QStringLiteral("正在传输文件，确定要退出吗？"), windowTitle(),
                        Prompt::Icon::Question, Prompt::Buttons::YesNo) != Prompt::Answer::Yes) {
        return;
    }
    QDialog::reject();
}

bool TfrmIAP::RefusedDuringTransfer() {
    if (!conversation_.Sending())
        return false;
    AddMessage(QStringLiteral("正在传输文件，请等待传输完成"));
    return true;
}

void TfrmIAP::ShowTransferLock(bool sending) {
    if (sending == transferLock_)
        return;
    transferLock_ = sending;
    btnComport->setEnabled(!sending);
    btnSet->setEnabled(!sending);
}

QString TfrmIAP::PortText() const {
    return QStringLiteral("%1, %2").arg(nxcmdvc1->PortNo()).arg(nxcmdvc1->BaudRate());
}

void TfrmIAP::UpdatePortStatus() {
    if (nxcmdvc1->Active()) {
        ListBox1->clear();
        ShowOpenPort(QStringLiteral("串口:") + PortText());
    } else {
        ShowClosedPort(QStringLiteral("串口关闭:") + PortText());
    }
}

void TfrmIAP::ShowOpenPort(const QString& status) {
    btnComport->setText(kCloseText);
    panels[0]->setText(status);
}

void TfrmIAP::ShowClosedPort(const QString& status) {
    btnComport->setText(kOpen);
    panels[0]->setText(status);
}

void TfrmIAP::AddMessage(const QString& text) {
    ListBox1->addItem(text);
    ListBox1->scrollToBottom();
}

void TfrmIAP::ShowCrc(const QString& caption) {
    lblCrc->setText(caption);
}

void TfrmIAP::ShowReceivedText(const uint8_t* bytes, int count) {
    for (const QString& line : ReceivedTextLines(bytes, count)) AddMessage(line);
}

void TfrmIAP::ShowProgress(uint32_t maximum, uint32_t position) {
    pbMain->setMaximum(static_cast<int>(maximum));
    pbMain->setValue(static_cast<int>(position));
}

void TfrmIAP::ShowSentBytes(int count) {
    panels[2]->setText(QString::number(count));
}

void TfrmIAP::ShowReceivedBytes(int count) {
    panels[1]->setText(QString::number(count));
}

void TfrmIAP::LineFailed(const LineLoss&) {
    UpdatePortStatus();
}

void TfrmIAP::PortClosed() {
    ShowClosedPort(QStringLiteral("串口关闭"));
    LowerTopLevelWindow(OutsideToolTitle);
}

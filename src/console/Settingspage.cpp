#include "Settingspage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "Prompt.h"
#include "ScannerInterface.h"

namespace console {

namespace {

constexpr int kClearLogAbove = 200;
constexpr int kDistanceMin = 1;
constexpr int kDistanceMax = scanner::kMaxRangeCm;
constexpr int kAngleMin = 0;
constexpr int kAngleMax = 360;
constexpr int kDefaultMotorItem = 4;  // "5HZ"
constexpr int kPanelWidth = 420;

QPushButton* Button(QWidget* parent, const char* caption) {
    return new QPushButton(QString::fromUtf8(caption), parent);
}

QLineEdit* Edit(QWidget* parent, const char* text) {
    auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setMinimumWidth(60);
    return edit;
}

QComboBox* Combo(QWidget* parent, const QStringList& items, int selected) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // A typed text is sent as typed; it never becomes an item of the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(selected);
    return combo;
}

}  // namespace

int SelectedIndex(const QComboBox& combo) {
    const int index = combo.currentIndex();
    return index >= 0 && combo.itemText(index) == combo.currentText() ? index : -1;
}

TSettingsPage::TSettingsPage(QWidget* parent, Prompt& prompt, SendBytes sendBytes)
    : QWidget(parent), prompt_(prompt), sendBytes_(std::move(sendBytes)) {
    setObjectName(QStringLiteral("Set"));
    BuildControls();
    connect(ButtonSendLazser, &QPushButton::clicked, this, &TSettingsPage::ButtonSendLazserClick);
    connect(btnClear, &QPushButton::clicked, this, &TSettingsPage::btnClearClick);
    connect(btnMCUID, &QPushButton::clicked, this,
            [this] { SendCommandText(QString::fromLatin1(scanner::kCmdSensorId)); });
    connect(btnRead, &QPushButton::clicked, this,
            [this] { SendCommandText(QString::fromLatin1(scanner::kCmdReadSettings)); });
    connect(btnSave, &QPushButton::clicked, this,
            [this] { SendCommandText(QString::fromLatin1(scanner::kCmdSaveSettings)); });
    connect(btnMaxMinDistance, &QPushButton::clicked, this, &TSettingsPage::btnMaxMinDistanceClick);
    connect(btn1, &QPushButton::clicked, this, &TSettingsPage::btn1Click);
    connect(btnSetMotorFreq, &QPushButton::clicked, this, &TSettingsPage::btnSetMotorFreqClick);
    connect(btnMotor, &QPushButton::clicked, this, &TSettingsPage::btnMotorClick);
    connect(btnAngle, &QPushButton::clicked, this, &TSettingsPage::btnAngleClick);
    connect(btnForceOutput, &QPushButton::clicked, this,
            [this] { SendCommandText(QString::fromLatin1(scanner::kCmdForceOutput)); });
}

void TSettingsPage::BuildControls() {
    mmoLog = new QPlainTextEdit(this);
    mmoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmoLog->setTabChangesFocus(true);
    mmoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* panel = new QWidget(this);
    panel->setFixedWidth(kPanelWidth);
    EditSendLaser = Edit(panel, scanner::kCmdDefaultSend);
    EditSendLaser->setMaxLength(kMaxCommandLength);
    ButtonSendLazser = Button(panel, "发送");
    btnClear = Button(panel, "清除");
    btnMCUID = Button(panel, "获取传感器ID");
    btnRead = Button(panel, "读取设置");
    btnSave = Button(panel, "保存设置");
    edtMaxDistance = Edit(panel, "3000");
    edtMinDistance = Edit(panel, "100");
    btnMaxMinDistance = Button(panel, "最远最近距离");
    cbbBand = Combo(panel, {"230400", "460800", "921600"}, 0);
    btn1 = Button(panel, "波特率");
    QStringList motorItems;
    for (int hz = scanner::kMotorFrequencyMin; hz <= scanner::kMotorFrequencyMax; ++hz)
        motorItems << QString::number(hz) + "HZ";
    cbbMotor = Combo(panel, motorItems, kDefaultMotorItem);
    btnSetMotorFreq = Button(panel, "马达频率");
    chkMotor = new QCheckBox(QString::fromUtf8("上电马达转动"), panel);
    chkMotorAuto = new QCheckBox(QString::fromUtf8("自动调速"), panel);
    chkMinDistance = new QCheckBox(QString::fromUtf8("最近距离过滤    "), panel);
    chkMaxDistance = new QCheckBox(QString::fromUtf8("最远距离过滤"), panel);
    chkDistance = new QCheckBox(QString::fromUtf8("数据过滤"), panel);
    chkAngle = new QCheckBox(QString::fromUtf8("角度过滤"), panel);
    btnMotor = Button(panel, "参数设置");
    edtAngleStart = Edit(panel, "0");
    edtAngleEnd = Edit(panel, "0");
    btnAngle = Button(panel, "角度输出");
    btnForceOutput = Button(panel, "强制输出数据");
    btnExitSet = new QToolButton(panel);
    btnExitSet->setText(QString::fromUtf8("退出设置"));
    btnExitSet->setStyleSheet(
        QStringLiteral("color: red; font-weight: bold; text-decoration: underline;"));

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(8, 0, 0, 0);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    auto withUnit = [panel](QLineEdit* edit) {
        auto* box = new QHBoxLayout;
        box->addWidget(edit, 1);
        box->addWidget(new QLabel(QStringLiteral("CM"), panel));
        return box;
    };
    int row = 0;
    grid->addWidget(EditSendLaser, row, 0, 1, 2);
    grid->addWidget(ButtonSendLazser, row, 2);
    grid->addWidget(btnClear, ++row, 2);
    grid->addWidget(btnMCUID, ++row, 0);
    grid->addWidget(btnRead, row, 1);
    grid->addWidget(btnSave, row, 2);
    grid->setRowMinimumHeight(++row, 12);
    grid->addLayout(withUnit(edtMaxDistance), ++row, 0);
    grid->addLayout(withUnit(edtMinDistance), row, 1);
    grid->addWidget(btnMaxMinDistance, row, 2);
    grid->addWidget(cbbBand, ++row, 0, 1, 2);
    grid->addWidget(btn1, row, 2);
    grid->addWidget(cbbMotor, ++row, 0, 1, 2);
    grid->addWidget(btnSetMotorFreq, row, 2);
    grid->setRowMinimumHeight(++row, 12);
    grid->addWidget(chkMotor, ++row, 0);
    grid->addWidget(chkMotorAuto, row, 1);
    grid->addWidget(chkMinDistance, ++row, 0);
    grid->addWidget(chkMaxDistance, row, 1);
    grid->addWidget(chkDistance, ++row, 0);
    grid->addWidget(chkAngle, row, 1);
    grid->addWidget(btnMotor, row, 2);
    grid->setRowMinimumHeight(++row, 12);
    grid->addWidget(edtAngleStart, ++row, 0);
    grid->addWidget(edtAngleEnd, row, 1);
    grid->addWidget(btnAngle, row, 2);
    grid->addWidget(btnForceOutput, ++row, 2);
    grid->setRowMinimumHeight(++row, 24);
    grid->addWidget(btnExitSet, ++row, 2);
    grid->setRowStretch(++row, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(mmoLog, 1);
    layout->addWidget(panel);

    QWidget* const tabOrder[] = {
        mmoLog,       EditSendLaser,  ButtonSendLazser, btnClear,        btnMCUID,
        btnRead,      btnSave,        edtMaxDistance,   edtMinDistance,  btnMaxMinDistance,
        cbbBand,      btn1,           cbbMotor,         btnSetMotorFreq, chkMotor,
        chkMotorAuto, chkMinDistance, chkMaxDistance,   chkDistance,     chkAngle,
        btnMotor,     edtAngleStart,  edtAngleEnd,      btnAngle,        btnForceOutput,
        btnExitSet,
    };
    for (size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TSettingsPage::ButtonSendLazserClick() {
    const QString command = CommandText(EditSendLaser->text());
    if (command.isEmpty() || !sendBytes_(CommandLine(command))) {
        Log(QString::fromUtf8(kNoPortToSend));
        return;
    }
    Log(QString::fromLatin1(kSentPrefix) + command);
}

void TSettingsPage::SendCommandText(const QString& text) {
    EditSendLaser->setText(text);
    ButtonSendLazserClick();
}

void TSettingsPage::btnClearClick() {
    mmoLog->clear();
}

bool TSettingsPage::CheckPair(QLineEdit* first, QLineEdit* second, int min, int max) {
    for (QLineEdit* edit : {first, second}) {
        const InputCheck check = CheckInteger(edit->text(), min, max);
        if (check == InputCheck::Ok)
            continue;
        if (check == InputCheck::OutOfRange)
            prompt_.Message(QString::fromUtf8(kOutOfRange));
        edit->setFocus();
        return false;
    }
    return true;
}

void TSettingsPage::btnMaxMinDistanceClick() {
    if (CheckPair(edtMaxDistance, edtMinDistance, kDistanceMin, kDistanceMax)) {
        SendCommandText(PairCommand(scanner::kCmdDistanceRange, edtMaxDistance->text(),
                                    edtMinDistance->text()));
    }
}

void TSettingsPage::btnAngleClick() {
    if (CheckPair(edtAngleStart, edtAngleEnd, kAngleMin, kAngleMax)) {
        SendCommandText(
            PairCommand(scanner::kCmdAngleRange, edtAngleStart->text(), edtAngleEnd->text()));
    }
}

void TSettingsPage::btnSetMotorFreqClick() {
    const std::optional<int> n = MotorFrequency(SelectedIndex(*cbbMotor), cbbMotor->currentText());
    if (!n) {
        prompt_.Message(QString::fromUtf8(kBadMotorValue));
        return;
    }
    SendCommandText(QString::fromLatin1(scanner::kCmdMotorFrequency) + QString::number(*n));
}

QCheckBox* TSettingsPage::ModeBox(int bit) const {
    QCheckBox* const boxes[kModeBitCount] = {chkMotor,       chkMotorAuto, chkMinDistance,
                                             chkMaxDistance, chkDistance,  chkAngle};
    return boxes[bit];
}

void TSettingsPage::btnMotorClick() {
    int bits = 0;
    for (int bit = 0; bit < kModeBitCount; ++bit) bits |= ModeBox(bit)->isChecked() << bit;
    SendCommandText(QString::fromLatin1(scanner::kCmdModeBits) + QString::number(bits));
}

void TSettingsPage::btn1Click() {
    bool ok = false;
    const int baud = cbbBand->currentText().trimmed().toInt(&ok);
    if (!ok) {
        prompt_.Message(QString::fromUtf8(kBaudNotNumber));
        return;
    }
    // The send box only shows the command; it goes out as it stands, unlogged.
    EditSendLaser->setText(QString::asprintf("#BR %d", baud));
    if (!sendBytes_(QString::asprintf(scanner::kCmdBaudRate, baud).toLatin1()))
        Log(QString::fromUtf8(kNoPortForBaud));
}

void TSettingsPage::AssembleTextLines(const uint8_t* bytes, int count) {
    lines_.AssembleTextLines(bytes, count,
                             [this](const char* line, int length, TTextLineAssembler::LineEnd) {
                                 AddLogLine(line, length);
                             });
}

void TSettingsPage::AddLogLine(const char* line, int length) {
    if (LogLineCount() > kClearLogAbove)
        mmoLog->clear();
    QByteArray text(line, length);
    for (char& c : text) {
        if (c >= 1 && c <= 31)
            c = ' ';
    }
    Log(QString::fromLatin1(text));
    ParseSettingsReply(line, length);
}

void TSettingsPage::ParseSettingsReply(const char* line, int length) {
    const PageValues page = ReplyToPage(::ParseSettingsReply(line, length));
    const std::pair<const std::optional<QString>&, QLineEdit*> edits[] = {
        {page.minDistance, edtMinDistance},
        {page.maxDistance, edtMaxDistance},
        {page.angleStart, edtAngleStart},
        {page.angleEnd, edtAngleEnd},
    };
    for (const auto& [value, edit] : edits) {
        if (value)
            edit->setText(*value);
    }
    if (page.motorIndex) {
        cbbMotor->setCurrentIndex(*page.motorIndex);
        if (page.motorError)
            cbbMotor->setEditText(QString::fromUtf8(kMotorError));
    }
    if (page.modeBits) {
        for (int bit = 0; bit < kModeBitCount; ++bit)
            ModeBox(bit)->setChecked((*page.modeBits >> bit) & 1);
    }
}

int TSettingsPage::LogLineCount() const {
    return mmoLog->document()->isEmpty() ? 0 : mmoLog->document()->blockCount();
}

void TSettingsPage::Log(const QString& text) {
    // A command built with its own line end shows as two memo lines, not as a stray CR.
    mmoLog->appendPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

}  // namespace console

#include "Unit_nxcommdevice_settings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <exception>

#include "WidgetPrompt.h"

namespace QuillComm {

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonOffset = 60;
constexpr int kRowHeight = 28;

QComboBox* ListBox(QWidget* parent, const QStringList& items, bool editable = false) {
    auto* box = new QComboBox(parent);
    box->setEditable(editable);
    box->addItems(items);
    if (editable)
        box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

// CbFlow's row of a flow control.
int FlowRow(int flow) {
    switch (flow) {
        case fcRtsCts:
            return 1;
        case fcXonXoff:
        case fcTranXonXoff:
            return 2;
        case fcRtsCtsXonXoff:
            return 3;
        default:
            return 0;
    }
}

}  // namespace

TForm_NxCommDevice_Settings::TForm_NxCommDevice_Settings(QWidget* owner, bool reopen,
                                                         TNxCustomCommDevice* device,
                                                         Prompt& prompt)
    : QDialog(owner), device_(device), reopen_(reopen), prompt_(prompt) {
    CreateControls();
    wasActive_ = device_->fGetActive();
    remembered_ = ReadDeviceSettings(*device_);
    ShowSettings(remembered_);
}

void TForm_NxCommDevice_Settings::CreateControls() {
    setWindowTitle(msg_.fGetMsg(2));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    GboxBase = new QGroupBox(msg_.fGetMsg(26), this);
    GboxBase->setGeometry(8, 4, 185, 184);
    const QStringList rates = {"110",   "300",   "600",    "1200",   "2400",
                               "4800",  "9600",  "14400",  "19200",  "38400",
                               "56000", "57600", "115200", "128000", "256000"};
    CbPort = ListBox(GboxBase, TCommSerialPortInfo(device_->DeviceMap()).PortList);
    CbSelBaud = ListBox(GboxBase, rates, true);
    CbParity = ListBox(GboxBase, {msg_.fGetMsg(9), msg_.fGetMsg(10), msg_.fGetMsg(11),
                                  msg_.fGetMsg(12), msg_.fGetMsg(35)});
    CbByteSize = ListBox(GboxBase, {"5", "6", "7", "8"});
    CbStopBits = ListBox(GboxBase, {"1", "1.5", "2"});
    QLabel** labels[] = {&lbPort, &lbBaud, &lbCheck, &lbBits, &lbStops};
    QComboBox* rows[] = {CbPort, CbSelBaud, CbParity, CbByteSize, CbStopBits};
    for (int i = 0; i < 5; ++i) {
        *labels[i] = new QLabel(msg_.fGetMsg(3 + i), GboxBase);
        (*labels[i])->setGeometry(10, 22 + i * kRowHeight, 70, 21);
        rows[i]->setGeometry(80, 20 + i * kRowHeight, 95, 22);
    }

    GBoxModem = new QGroupBox(msg_.fGetMsg(27), this);
    GBoxModem->setGeometry(200, 4, 185, 78);
    lbFlow = new QLabel(msg_.fGetMsg(8), GBoxModem);
    lbFlow->setGeometry(10, 22, 70, 21);
    CbFlow = ListBox(GBoxModem,
                     {msg_.fGetMsg(13), msg_.fGetMsg(14), msg_.fGetMsg(15), msg_.fGetMsg(16)});
    CbFlow->setGeometry(80, 20, 95, 22);
    lbAAns = new QLabel(msg_.fGetMsg(29), GBoxModem);
    lbAAns->setGeometry(10, 50, 70, 21);
    EditAutoAns = new QLineEdit(GBoxModem);
    EditAutoAns->setGeometry(80, 48, 95, 22);

    GBoxBuffer = new QGroupBox(msg_.fGetMsg(28), this);
    GBoxBuffer->setGeometry(200, 88, 185, 100);
    lbInbs = new QLabel(msg_.fGetMsg(30), GBoxBuffer);
    lbInbs->setGeometry(10, 24, 70, 21);
    EditInBufSize = new QLineEdit(GBoxBuffer);
    EditInBufSize->setGeometry(80, 22, 95, 22);
    lbOutbs = new QLabel(msg_.fGetMsg(31), GBoxBuffer);
    lbOutbs->setGeometry(10, 56, 70, 21);
    EditOutBufSize = new QLineEdit(GBoxBuffer);
    EditOutBufSize->setGeometry(80, 54, 95, 22);

    BnAbout = new QPushButton(msg_.fGetMsg(24), this);
    BnDefault = new QPushButton(msg_.fGetMsg(25), this);
    BnOK = new QPushButton(msg_.fGetMsg(0), this);
    BnCancel = new QPushButton(msg_.fGetMsg(1), this);
    // About and Default serve the designer only; OK and Cancel sit either side of the centre.
    BnAbout->hide();
    BnDefault->hide();
    const int left = (kWidth - kButtonWidth) / 2;
    BnOK->setGeometry(left - kButtonOffset, 196, kButtonWidth, kButtonHeight);
    BnCancel->setGeometry(left + kButtonOffset, 196, kButtonWidth, kButtonHeight);
    BnOK->setDefault(true);

    connect(BnOK, &QPushButton::clicked, this, [this] {
        // A click focuses the button itself, so it never moves along the input chain.
        BnOK->setFocus();
        BnOKClick();
    });
    connect(BnCancel, &QPushButton::clicked, this, &TForm_NxCommDevice_Settings::BnCancelClick);
    connect(BnDefault, &QPushButton::clicked, this, &TForm_NxCommDevice_Settings::BnDefaultClick);
    connect(BnAbout, &QPushButton::clicked, this, &TForm_NxCommDevice_Settings::BnAboutClick);

    QWidget* inputs[] = {
        CbPort,     CbSelBaud, CbSelBaud->lineEdit(), CbParity,      CbByteSize,
        CbStopBits, CbFlow,    EditAutoAns,           EditInBufSize, EditOutBufSize};
    for (QWidget* input : inputs) input->installEventFilter(this);
}

void TForm_NxCommDevice_Settings::ShowSettings(const CommDeviceSettings& settings) {
    CbPort->setCurrentIndex(CbPort->findText(settings.portName, Qt::MatchExactly));
    CbSelBaud->setEditText(QString::number(static_cast<unsigned long>(settings.baud)));
    const int sizeRow = settings.byteSize - 5;
    CbByteSize->setCurrentIndex(sizeRow >= 0 && sizeRow < CbByteSize->count() ? sizeRow : -1);
    CbParity->setCurrentIndex(settings.parity);
    CbStopBits->setCurrentIndex(settings.stopBits);
    CbFlow->setCurrentIndex(FlowRow(settings.flowControl));
    EditAutoAns->setText(QString::number(settings.autoAnswer));
    EditInBufSize->setText(QString::number(settings.inBufSize));
    EditOutBufSize->setText(QString::number(settings.outBufSize));
}

bool TForm_NxCommDevice_Settings::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            BnOKClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TForm_NxCommDevice_Settings::MoveCtrlFocus() {
    QWidget* const chain[] = {CbPort,     CbSelBaud, CbParity,    CbByteSize,
                              CbStopBits, CbFlow,    EditAutoAns, EditInBufSize};
    const QWidget* focus = focusWidget();
    // The editable baud box may report its line edit.
    if (focus && focus->parentWidget() == CbSelBaud)
        focus = CbSelBaud;
    for (size_t i = 0; i < std::size(chain); ++i) {
        if (chain[i] == focus) {
            (i + 1 < std::size(chain) ? chain[i + 1] : static_cast<QWidget*>(EditOutBufSize))
                ->setFocus();
            return true;
        }
    }
    return false;
}

CommSettingsInput TForm_NxCommDevice_Settings::Input() const {
    CommSettingsInput input;
    input.portIndex = CbPort->currentIndex();
    input.portName = CbPort->currentText();
    input.baud = CbSelBaud->currentText();
    input.byteSizeIndex = CbByteSize->currentIndex();
    input.parityIndex = CbParity->currentIndex();
    input.stopBitsIndex = CbStopBits->currentIndex();
    input.flowIndex = CbFlow->currentIndex();
    input.autoAnswer = EditAutoAns->text();
    input.inBufSize = EditInBufSize->text();
    input.outBufSize = EditOutBufSize->text();
    return input;
}

QWidget* TForm_NxCommDevice_Settings::FieldControl(SettingsField field) const {
    switch (field) {
        case SettingsField::Baud:
            return CbSelBaud;
        case SettingsField::ByteSize:
            return CbByteSize;
        case SettingsField::Parity:
            return CbParity;
        case SettingsField::StopBits:
            return CbStopBits;
        case SettingsField::FlowControl:
            return CbFlow;
        case SettingsField::AutoAnswer:
            return EditAutoAns;
        case SettingsField::InBufSize:
            return EditInBufSize;
        case SettingsField::OutBufSize:
            return EditOutBufSize;
        default:
            return CbPort;
    }
}

void TForm_NxCommDevice_Settings::ShowError(const QString& text) {
    prompt_.Message(text, windowTitle(), Prompt::Icon::Error);
}

void TForm_NxCommDevice_Settings::BnOKClick() {
    if (MoveCtrlFocus())
        return;
    CommDeviceSettings settings;
    const SettingsCheck check = CheckSettingsInput(Input(), &settings);
    if (check.field != SettingsField::None) {
        FieldControl(check.field)->setFocus();
        ShowError(msg_.fGetMsg(check.message));
        return;
    }
    try {
        ApplyDeviceSettings(*device_, settings, wasActive_ || reopen_);
    } catch (const std::exception& failure) {
        ApplyDeviceSettings(*device_, remembered_, wasActive_, true);
        CbPort->setFocus();
        const auto* portError = dynamic_cast<const EQuillCommError*>(&failure);
        ShowError(portError ? portError->Message() : QString::fromUtf8(failure.what()));
        return;
    }
    accept();
}

void TForm_NxCommDevice_Settings::BnCancelClick() {
    reject();
}

void TForm_NxCommDevice_Settings::BnDefaultClick() {
    const int port = CbPort->currentIndex();
    ShowSettings(CommDeviceSettings());
    CbPort->setCurrentIndex(port);
}

void TForm_NxCommDevice_Settings::BnAboutClick() {
    prompt_.Message(QStringLiteral("TNxCommDevice\nSerial comm component with package framing"),
                    msg_.fGetMsg(24).remove(QLatin1Char('&')), Prompt::Icon::Information);
}

bool SettingsDialog(TNxCustomCommDevice& device, QWidget* owner, bool reopen, Prompt* prompt) {
    WidgetPrompt boxes;
    TForm_NxCommDevice_Settings dialog(owner, reopen, &device, prompt ? *prompt : boxes);
    boxes.SetParent(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace QuillComm

#include "Setportdlg.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

#include "Prompt.h"
#include "SystemMenu.h"

namespace setport {

bool IsAcceptedBaud(int rate) {
    return std::find(std::begin(kAcceptedBauds), std::end(kAcceptedBauds), rate) !=
           std::end(kAcceptedBauds);
}

int ParseBaud(const QString& text) {
    bool ok = false;
    const int rate = text.trimmed().toInt(&ok);
    return ok && IsAcceptedBaud(rate) ? rate : 0;
}

int ParsePortName(const QString& text) {
    if (text.size() != 4 && text.size() != 5)
        return 0;
    if (text.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) != 0)
        return 0;
    int number = 0;
    for (int i = 3; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

const Variant& VariantOf(Program program) {
    static const Variant console{
        QStringLiteral("显示波特率(&S)"), {230400, 460800, 921600}, true, false};
    static const Variant zoneTool{
        QStringLiteral("修改波特率(&S)"), {115200, 230400, 460800, 921600}, false, true};
    return program == Program::Console ? console : zoneTool;
}

QStringList DefaultPorts() {
    QStringList names;
    for (int i = 1; i <= 9; ++i) names << QStringLiteral("COM%1").arg(i);
    return names;
}

PortList BuildPortList(Program program, const std::vector<ProbedPort>& ports) {
    const Variant& variant = VariantOf(program);
    QStringList names;
    QStringList held;
    bool anyPresent = false;
    for (const ProbedPort& port : ports) {
        if (port.state == ComDeviceState::Missing)
            continue;
        anyPresent = true;
        if (variant.listsEveryPresentPort || port.state != ComDeviceState::NoPermission) {
            names << port.name;
            if (port.state == ComDeviceState::Busy)
                held << port.name;
        }
    }
    if (!names.isEmpty())
        return {names, ListResult::Found, held};
    const bool noAccess = variant.reportsNoAccess && anyPresent;
    return {DefaultPorts(), noAccess ? ListResult::NoAccess : ListResult::NoPort, {}};
}

PortSource SystemPortSource(const IniFile* ini) {
    PortSource source;
    source.probe = [ini] {
        std::vector<ProbedPort> ports;
        for (const QString& name : PresentComNames(ini)) {
            ports.push_back({name, ProbeComDevice(ComDevicePath(ComNumber(name), ini))});
        }
        return ports;
    };
    source.devicePath = [ini](int port) { return ComDevicePath(port, ini); };
    return source;
}

PortChoice::PortChoice(Program program) : BaudRate(VariantOf(program).offeredRates.front()) {}

bool PortChoice::Confirm(const QString& portText, const QString& baudText, Prompt& prompt) {
    InputValid = false;
    const int rate = ParseBaud(baudText);
    if (rate == 0) {
        prompt.Message(QString::fromUtf8(kBaudError));
        return false;
    }
    BaudRate = rate;
    const int port = ParsePortName(portText);
    if (port == 0) {
        prompt.Message(QString::fromUtf8(kPortError));
        return false;
    }
    PortNumber = static_cast<uint8_t>(port);
    InputValid = true;
    return true;
}

}  // namespace setport

using namespace setport;

TSetPortForm::TSetPortForm(Program program, PortSource source, Prompt& prompt, QWidget* owner)
    : QDialog(owner),
      program_(program),
      variant_(VariantOf(program)),
      source_(std::move(source)),
      prompt_(prompt),
      choice_(program) {
    setWindowTitle(QString::fromUtf8(kCaption));
    setModal(true);

    Label2 = new QLabel(QStringLiteral("选择串口     "), this);
    ComboBoxComList = new QComboBox(this);
    ComboBoxComList->setEditable(true);
    // A typed entry is read from the box, never added to the list of found ports.
    ComboBoxComList->setInsertPolicy(QComboBox::NoInsert);
    lblDevicePath = new QLabel(this);
    Label1 = new QLabel(QStringLiteral("波特率    "), this);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    Button1 = new QPushButton(QStringLiteral("确认"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    systemMenu = new SystemMenu(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(ComboBoxComList, 0, 1);
    grid->addWidget(systemMenu->CreateButton(this), 0, 2);
    grid->addWidget(lblDevicePath, 1, 1, 1, 2);
    grid->addWidget(Label1, 2, 0);
    grid->addWidget(ComboBox2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, 3, 0, 1, 3);
    setMinimumSize(260, 144);

    connect(Button1, &QPushButton::clicked, this, &TSetPortForm::Button1Click);
    // Cancel, Escape and the close box always leave, also after a refused confirmation.
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ComboBoxComList, &QComboBox::currentTextChanged, this, &TSetPortForm::ShowDevicePath);
    connect(systemMenu, &SystemMenu::Command, this, &TSetPortForm::SystemCommand);
    ComboBoxComList->installEventFilter(this);

    FillPortList();
    FormCreate();
}

void TSetPortForm::FormCreate() {
    systemMenu->AddSeparator();
    systemMenu->AddItem(variant_.baudMenuCaption, kShowBaudCommand);
    for (int rate : variant_.offeredRates) ComboBox2->addItem(QString::number(rate));
    const int index = ComboBox2->findText(QString::number(choice_.BaudRate));
    if (index >= 0)
        ComboBox2->setCurrentIndex(index);
}

void TSetPortForm::SetBaudVisible(bool visible) {
    Label1->setVisible(visible);
    ComboBox2->setVisible(visible);
}

void TSetPortForm::SetBaudEnabled(bool enabled) {
    ComboBox2->setEnabled(enabled);
}

void TSetPortForm::SystemCommand(int command) {
    if (command != kShowBaudCommand)
        return;
    SetBaudVisible(true);
    SetBaudEnabled(true);
}

void TSetPortForm::FillDefaultPorts() {
    ComboBoxComList->clear();
    ComboBoxComList->addItems(DefaultPorts());
    ComboBoxComList->setCurrentIndex(0);
}

ListResult TSetPortForm::FillPortList() {
    const PortList list =
        BuildPortList(program_, source_.probe ? source_.probe() : std::vector<ProbedPort>{});
    ComboBoxComList->clear();
    for (const QString& name : list.names) {
        const bool held = list.held.contains(name);
        ComboBoxComList->addItem(held ? name + QString::fromUtf8(kHeldMark) : name, name);
    }
    ComboBoxComList->setCurrentIndex(0);
    return list.result;
}

void TSetPortForm::ComboBoxComListEnter() {
    switch (FillPortList()) {
        case ListResult::NoAccess:
            prompt_.Message(QString::fromUtf8(kNoAccessMessage));
            break;
        case ListResult::NoPort:
            prompt_.Message(QString::fromUtf8(kNoPortMessage));
            break;
        case ListResult::Found:
            break;
    }
}

void TSetPortForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TSetPortForm::FormShow() {
    const int index = ComboBox2->findText(QString::number(choice_.BaudRate));
    if (index >= 0)
        ComboBox2->setCurrentIndex(index);
    if (choice_.PortNumber != 0) {
        ComboBoxComList->setEditText(QStringLiteral("COM%1").arg(choice_.PortNumber));
    }
    ComboBox2->setEditText(QString::number(choice_.BaudRate));
    ShowDevicePath();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }
}

void TSetPortForm::Button1Click() {
    if (choice_.Confirm(PortText(), ComboBox2->currentText(), prompt_)) {
        accept();
    }
}

QString TSetPortForm::PortText() const {
    const QString text = ComboBoxComList->currentText();
    const int index =
        ComboBoxComList->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    const QString name = index >= 0 ? ComboBoxComList->itemData(index).toString() : QString();
    return name.isEmpty() ? text : name;
}

void TSetPortForm::ShowDevicePath() {
    const int port = ParsePortName(PortText());
    lblDevicePath->setText(port != 0 && source_.devicePath ? source_.devicePath(port) : QString());
}

bool TSetPortForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBoxComList && event->type() == QEvent::FocusIn) {
        // Focus coming back from a message box or the drop-down is no new entry.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            ComboBoxComListEnter();
        }
    }
    return QDialog::eventFilter(watched, event);
}

#pragma once

// The modal dialog in which the user picks the COM port, and on request the baud rate, before a
// main window opens its serial port. Both programs carry it; Program selects their differences.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "ComPorts.h"

class IniFile;
class Prompt;
class QComboBox;
class QLabel;
class QPushButton;
class SystemMenu;

namespace setport {

enum class Program { Console, ZoneTool };

// Every rate the dialog accepts, typed or chosen (43000, not 43200).
constexpr int kAcceptedBauds[] = {1200,   2400,   4800,   9600,   14400,  19200,
                                  38400,  43000,  56000,  57600,  76800,  115200,
                                  128000, 230400, 256000, 460800, 921600, 1382400};

constexpr int kShowBaudCommand = 2000;

constexpr char kCaption[] = "串口设置窗口";
constexpr char kBaudError[] = "波特率输入有误!";
constexpr char kPortError[] = "串口输入有误!";
constexpr char kNoPortMessage[] = "自动检测没发现串口,请确认串口是否插入";
// On Linux access to serial devices is granted by group membership, not by elevation.
constexpr char kNoAccessMessage[] =
    "自动检测没有权限，修改权限步骤:\r\n\r\n1:把当前用户加入串口设备所属的用户组"
    "(通常是dialout): sudo usermod -aG dialout $USER\r\n2:注销后重新登录\r\n3:重新运行程序即可";

bool IsAcceptedBaud(int rate);
// The baud box's text as an accepted rate, or 0.
int ParseBaud(const QString& text);
// "COM1".."COM99", the letters in either case and one or two digits ("COM07" is 7); else 0.
int ParsePortName(const QString& text);

struct Variant {
    QString baudMenuCaption;
    std::vector<int> offeredRates;  // the first is the default
    bool reportsNoAccess;           // the console says when it may open none of the devices
    bool listsEveryPresentPort;     // the zone tool lists a device whatever its open test said
};
const Variant& VariantOf(Program program);

struct ProbedPort {
    QString name;  // "COM3"
    ComDeviceState state;
};

// Follows a held port's name in the list; the choice is still the port itself.
constexpr char kHeldMark[] = " (已被占用)";

enum class ListResult { Found = 0, NoAccess = 1, NoPort = 2 };
struct PortList {
    QStringList names;
    ListResult result;
    QStringList held;  // those of names that another program or port object holds
};

// The port list from the probed devices, in COM order; falls back to COM1..COM9.
PortList BuildPortList(Program program, const std::vector<ProbedPort>& ports);
QStringList DefaultPorts();

// What the dialog needs from the machine; tests hand in their own.
struct PortSource {
    std::function<std::vector<ProbedPort>()> probe;
    std::function<QString(int portNumber)> devicePath;
};
// The machine's COM devices, with the "Ports" overrides of the program's INI file (may be null;
// it must outlive the source).
PortSource SystemPortSource(const IniFile* ini);

// The confirmation rules, apart from the widgets.
class PortChoice {
public:
    explicit PortChoice(Program program);

    uint8_t PortNumber = 0;
    int BaudRate;
    bool InputValid = true;

    // Checks the baud text first, then the port text; shows the message of the first refusal.
    bool Confirm(const QString& portText, const QString& baudText, Prompt& prompt);
};

}  // namespace setport

class TSetPortForm : public QDialog {
    Q_OBJECT
public:
    TSetPortForm(setport::Program program, setport::PortSource source, Prompt& prompt,
                 QWidget* owner);

    uint8_t PortNumber() const { return choice_.PortNumber; }
    int BaudRate() const { return choice_.BaudRate; }
    bool InputValid() const { return choice_.InputValid; }
    void SetPortNumber(uint8_t port) { choice_.PortNumber = port; }
    void SetBaudRate(int rate) { choice_.BaudRate = rate; }
    // Shows or hides the baud box with its label, and enables it.
    void SetBaudVisible(bool visible);
    void SetBaudEnabled(bool enabled);

    setport::ListResult FillPortList();
    void FillDefaultPorts();

    QComboBox* ComboBoxComList = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblDevicePath = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    SystemMenu* systemMenu = nullptr;

    void Button1Click();
    void ComboBoxComListEnter();
    void SystemCommand(int command);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void ShowDevicePath();
    // The port box's text, or the port name behind a list entry that carries a mark.
    QString PortText() const;

    setport::Program program_;
    const setport::Variant& variant_;
    setport::PortSource source_;
    Prompt& prompt_;
    setport::PortChoice choice_;
};

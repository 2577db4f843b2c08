#include <functional>
#include <vector>

#include "Unit_nxcommdevice_settings.h"

namespace QuillComm {

namespace {

// The leading decimal digits of a text; 0 when it has none. Capped where a rate could not go.
long LeadingNumber(const QString& text) {
    constexpr long kCap = 0xFFFFFFFFL;
    long value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min(kCap, value * 10 + (c.unicode() - '0'));
    }
    return value;
}

// The trimmed text as a decimal integer; false when it is not one.
bool IntegerOf(const QString& text, long* value) {
    bool ok = false;
    *value = text.trimmed().toLong(&ok, 10);
    return ok;
}

// CbFlow's rows: none, RTS/CTS, Xon/Xoff, both.
constexpr int kFlowOfRow[] = {fcNone, fcRtsCts, fcXonXoff, fcRtsCtsXonXoff};

}  // namespace

CommDeviceSettings ReadDeviceSettings(const TNxCustomCommDevice& device) {
    CommDeviceSettings settings;
    settings.portName = device.PortName();
    settings.baud = device.Comm()->fGetBaud();
    settings.parity = device.Parity();
    settings.byteSize = device.ByteSize();
    settings.stopBits = device.StopBits();
    settings.flowControl = device.FlowControl();
    settings.autoAnswer = device.AutoAnswer();
    settings.inBufSize = device.InBufSize();
    settings.outBufSize = device.OutBufSize();
    return settings;
}

void ApplyDeviceSettings(TNxCustomCommDevice& device, const CommDeviceSettings& settings,
                         bool active, bool ignoreErrors) {
    const std::vector<std::function<void()>> steps = {
        [&] { device.SetPortName(settings.portName); },
        [&] { device.Comm()->fSetBaud(settings.baud); },
        [&] { device.SetParity(settings.parity); },
        [&] { device.SetByteSize(settings.byteSize); },
        [&] { device.SetStopBits(settings.stopBits); },
        [&] { device.SetFlowControl(settings.flowControl); },
        [&] { device.SetAutoAnswer(settings.autoAnswer); },
        [&] { device.SetInBufSize(settings.inBufSize); },
        [&] { device.SetOutBufSize(settings.outBufSize); },
        [&] { device.fSetActive(active); },
    };
    for (const auto& step : steps) {
        if (!ignoreErrors) {
            step();
            continue;
        }
        try {
            step();
        } catch (...) {
        }
    }
}

SettingsCheck CheckSettingsInput(const CommSettingsInput& input, CommDeviceSettings* settings) {
    if (input.portIndex < 0)
        return {SettingsField::Port, 17};
    const QString baud = input.baud.trimmed();
    if (baud.isEmpty())
        return {SettingsField::Baud, 18};
    if (input.byteSizeIndex < 0)
        return {SettingsField::ByteSize, 20};
    if (input.parityIndex < 0)
        return {SettingsField::Parity, 21};
    if (input.stopBitsIndex < 0)
        return {SettingsField::StopBits, 22};
    if (input.flowIndex < 0 || input.flowIndex > 3)
        return {SettingsField::FlowControl, 23};
    long autoAnswer = 0;
    if (!IntegerOf(input.autoAnswer, &autoAnswer) || autoAnswer < 0 || autoAnswer > 255)
        return {SettingsField::AutoAnswer, 32};
    long inBufSize = 0;
    if (!IntegerOf(input.inBufSize, &inBufSize) || inBufSize < kMinBufferSize)
        return {SettingsField::InBufSize, 33};
    long outBufSize = 0;
    if (!IntegerOf(input.outBufSize, &outBufSize) || outBufSize < kMinBufferSize)
        return {SettingsField::OutBufSize, 34};
    settings->portName = input.portName;
    settings->baud = LeadingNumber(baud);
    settings->parity = input.parityIndex;
    settings->byteSize = input.byteSizeIndex + 5;
    settings->stopBits = input.stopBitsIndex;
    settings->flowControl = kFlowOfRow[input.flowIndex];
    settings->autoAnswer = static_cast<int>(autoAnswer);
    settings->inBufSize = inBufSize;
    settings->outBufSize = outBufSize;
    return {};
}

}  // namespace QuillComm

#include "NxIapPort.h"

#include "CommBootLine.h"
#include "Unit_nxcommdevice_settings.h"

namespace {

// The component as it is stored with the window.
constexpr int kStoredPortNo = 1;
constexpr long kPackageInterval = 2;

}  // namespace

NxIapPort::NxIapPort(const IniFile* deviceMap, Prompt* prompt) : prompt_(prompt) {
    nxcmdvc1.SetDeviceMap(deviceMap);
    nxcmdvc1.SetPortNo(kStoredPortNo);
    nxcmdvc1.SetPackageSize(TBootConversation::kPackageSize);
    nxcmdvc1.SetPackageType(QuillComm::cptFrameTimeout);
    nxcmdvc1.fSetUsePackage(true);
    nxcmdvc1.SetPackageInterval(kPackageInterval);
}

bool NxIapPort::Active() const {
    return nxcmdvc1.fGetActive();
}

int NxIapPort::ReadPackage(uint8_t* buffer, int size) {
    return nxcmdvc1.ReadPackage(buffer, size);
}

int NxIapPort::WritePackage(const uint8_t* data, int count) {
    return nxcmdvc1.WritePackage(data, count);
}

int NxIapPort::BytesPerSecond() const {
    return LineBytesPerSecond(nxcmdvc1.Comm()->fGetBaud(), nxcmdvc1.ByteSize(), nxcmdvc1.Parity(),
                              nxcmdvc1.StopBits());
}

uint64_t NxIapPort::BytesTaken() const {
    return nxcmdvc1.Comm()->fGetBytesWritten();
}

int NxIapPort::Failure() const {
    return nxcmdvc1.Comm()->fGetFailure();
}

int NxIapPort::PortNo() const {
    return nxcmdvc1.PortNo();
}

void NxIapPort::SetPortNo(int portNo) {
    nxcmdvc1.SetPortNo(portNo);
}

void NxIapPort::SetActive(bool on) {
    nxcmdvc1.fSetActive(on);
}

long NxIapPort::BaudRate() const {
    return QuillComm::BaudRateValue(nxcmdvc1.Baud());
}

bool NxIapPort::SettingsDialog(QWidget* owner, bool reopen) {
    return QuillComm::SettingsDialog(nxcmdvc1, owner, reopen, prompt_);
}

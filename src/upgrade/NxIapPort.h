#pragma once

// The upgrade window's comm device component nxcmdvc1, set up for the boot loader: received
// bytes cut into packages at 2 ms idle gaps, packages of up to 4096 bytes sent as raw bytes.

#include "IapPort.h"
#include "Nxcommdevice.h"

class IniFile;
class Prompt;

class NxIapPort : public IapPort {
public:
    // deviceMap: where COM numbers lead (the program's INI file); prompt answers the settings
    // dialog's messages (null: real message boxes). Neither is owned.
    NxIapPort(const IniFile* deviceMap, Prompt* prompt);

    bool Active() const override;
    int ReadPackage(uint8_t* buffer, int size) override;
    int WritePackage(const uint8_t* data, int count) override;
    int BytesPerSecond() const override;
    uint64_t BytesTaken() const override;
    int Failure() const override;
    int PortNo() const override;
    void SetPortNo(int portNo) override;
    void SetActive(bool on) override;
    long BaudRate() const override;
    bool SettingsDialog(QWidget* owner, bool reopen) override;

    QuillComm::TNxCommDevice nxcmdvc1;

private:
    Prompt* prompt_;
};

#pragma once

// What the upgrade window needs of its comm device component besides the boot loader's line.

#include "BootConversation.h"

class QWidget;

class IapPort : public BootLine {
public:
    virtual int PortNo() const = 0;
    virtual void SetPortNo(int portNo) = 0;
    // Opens or closes the port; an open that fails throws (the window drops the error).
    virtual void SetActive(bool on) = 0;
    // The rate the component's baud setting names.
    virtual long BaudRate() const = 0;
    // The component's settings dialog; true when it was confirmed.
    virtual bool SettingsDialog(QWidget* owner, bool reopen) = 0;

    void Close() override { SetActive(false); }
};

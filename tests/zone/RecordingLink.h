#pragma once

// A command link that keeps what was sent, for the zone tool's logic without a port.

#include <QByteArrayList>

#include "Zonetransfer.h"

class RecordingLink : public CommandLink {
public:
    bool IsOpen() const override { return open; }
    void Send(const QByteArray& bytes) override { sent << bytes; }

    bool open = true;
    QByteArrayList sent;
};

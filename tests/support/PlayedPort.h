#pragma once

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <vector>

#include "IapPort.h"

// The window's port as a test plays it: packages in, packages out, an open that may fail.
class PlayedPort : public IapPort {
public:
    using Bytes = std::vector<uint8_t>;
    struct Line {
        bool active = false;
        bool refuseOpen = false;
        int portNo = 0;
        long baud = 115200;
        int dialogs = 0;
        bool takes = true;  // the line takes what is written
        uint64_t taken = 0;
        int failure = 0;
        std::deque<Bytes> received;
        std::vector<Bytes> written;
    };
    explicit PlayedPort(Line& line) : line_(line) {}

    bool Active() const override { return line_.active; }
    int ReadPackage(uint8_t* buffer, int size) override {
        if (!line_.active || line_.received.empty())
            return 0;
        const Bytes package = line_.received.front();
        line_.received.pop_front();
        const int n = std::min<int>(size, static_cast<int>(package.size()));
        std::copy(package.begin(), package.begin() + n, buffer);
        return n;
    }
    int WritePackage(const uint8_t* data, int count) override {
        if (!line_.active)
            return 0;
        line_.written.emplace_back(data, data + count);
        if (line_.takes)
            line_.taken += static_cast<uint64_t>(count);
        return count;
    }
    int BytesPerSecond() const override { return static_cast<int>(line_.baud / 10); }
    uint64_t BytesTaken() const override { return line_.taken; }
    int Failure() const override { return line_.failure; }
    int PortNo() const override { return line_.portNo; }
    void SetPortNo(int portNo) override { line_.portNo = portNo; }
    void SetActive(bool on) override {
        if (on && line_.refuseOpen)
            throw std::runtime_error("Cannot open COM port");
        line_.active = on;
    }
    long BaudRate() const override { return line_.baud; }
    bool SettingsDialog(QWidget*, bool reopen) override {
        ++line_.dialogs;
        line_.baud = 9600;
        line_.active = line_.active || reopen;
        return true;
    }

private:
    Line& line_;
};

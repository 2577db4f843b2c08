#pragma once

// The scanner's end of the serial line: a pseudo-terminal it creates, or a device it is given.

#include <string>

class TDevice {
public:
    TDevice() = default;
    ~TDevice();
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    // A new pseudo-terminal; with a link path, also a symbolic link to its slave.
    bool OpenPty(const std::string& link, std::string& error);
    // An existing device, set to raw 8N1 without flow control at baud, which must be known.
    bool OpenDevice(const std::string& path, int baud, std::string& error);
    // The rates a device can be set to.
    static bool KnownRate(int baud);

    const std::string& Path() const { return path_; }
    int Fd() const { return fd_; }

    // Non-blocking; the number of bytes moved, 0 when none could be, -1 when the line is gone.
    long Read(char* buffer, size_t size);
    long Write(const char* bytes, size_t count);

    // Closes the line and removes the link.
    void Close();

private:
    int fd_ = -1;
    int slave_ = -1;  // held open so the line stays up while the reader reopens it
    std::string path_;
    std::string link_;
};

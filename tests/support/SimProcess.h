#pragma once

// Runs the real vyk-sim program and talks to it over its pseudo-terminal with plain POSIX calls.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "SpawnedProgram.h"

class SimProcess {
public:
    // Starts vyk-sim with args; Path() is empty when it did not start.
    explicit SimProcess(const std::vector<std::string>& args) : program_(Argv(args)) {
        if (program_.Started())
            path_ = program_.ReadLine();
    }

    ~SimProcess() {
        Disconnect();
        // A terminated simulator removes its link; one that does not stop is killed.
        program_.Terminate();
        program_.WaitExit(2);
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return path_; }

    // Opens the slave raw; flush drops what the line held before.
    bool Connect(bool flush = true) {
        fd_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        if (flush)
            tcflush(fd_, TCIOFLUSH);
        return true;
    }

    void Disconnect() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

    // Writes all of bytes, waiting while the line is full; false when it is not taken in time.
    bool Send(const std::string& bytes, double seconds = 10) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = write(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (Clock::now() >= end)
                return false;
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 10);
        }
        return true;
    }

    // Reads whatever arrives for the given time; stops early when the line goes away.
    std::string ReadFor(double seconds) {
        std::string data;
        ReadUntil(
            seconds, [](const std::string&) { return false; }, data);
        return data;
    }

    // Reads until done(data) holds or the time runs out; false on time-out or a lost line.
    template <typename Done>
    bool ReadUntil(double seconds, Done done, std::string& data) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        char buffer[4096];
        lineGone_ = false;
        while (!done(data)) {
            const auto left = std::chrono::duration<double>(end - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
                continue;
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                data.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                lineGone_ = true;
                return false;
            }
        }
        return true;
    }

    bool LineGone() const { return lineGone_; }

    // Waits for the program to end; its exit status, or -1 when it was still running.
    int WaitExit(double seconds) { return program_.WaitExit(seconds); }
    bool Running() { return program_.Running(); }
    void Terminate() { program_.Terminate(); }
    pid_t Pid() const { return program_.Pid(); }

private:
    using Clock = std::chrono::steady_clock;

    static std::vector<std::string> Argv(const std::vector<std::string>& args) {
        std::vector<std::string> argv{VYK_SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    SpawnedProgram program_;
    int fd_ = -1;
    bool lineGone_ = false;
    std::string path_;
};

#pragma once

// Runs the real vyk-sim program and talks to it over its pseudo-terminal with plain POSIX calls.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

class SimProcess {
public:
    // Starts vyk-sim with args; Path() is empty when it did not start.
    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            static char program[] = VYK_SIM_PATH;
            argv.push_back(program);
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
        path_ = ReadFirstLine();
    }

    ~SimProcess() {
        Disconnect();
        if (pid_ > 0 && !exited_) {
            // A terminated simulator removes its link; one that does not stop is killed.
            Terminate();
            if (WaitExit(2) < 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
        if (stdout_ >= 0)
            close(stdout_);
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return path_; }
    pid_t Pid() const { return pid_; }

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
    int WaitExit(double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }

    bool Running() {
        if (exited_)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            exited_ = true;
        return !exited_;
    }

    void Terminate() { kill(pid_, SIGTERM); }

private:
    using Clock = std::chrono::steady_clock;

    std::string ReadFirstLine() {
        std::string line;
        char c;
        while (read(stdout_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    bool lineGone_ = false;
    std::string path_;
};

#pragma once

// Runs another program with posix_spawn. After a fork or a QProcess start the thread sanitizer
// loses track of the parent's locks and reports races that are not there.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

class SpawnedProgram {
public:
    // argv[0] is the program's path. Its standard output goes to a pipe, and so does its error
    // output when mergeErrors is set.
    explicit SpawnedProgram(const std::vector<std::string>& argv, bool mergeErrors = false) {
        int out[2];
        if (pipe(out) != 0)
            return;
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (mergeErrors)
            posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        output_ = out[0];
    }

    // A program still running is killed: a failed test leaves nothing behind.
    ~SpawnedProgram() {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0)
            close(output_);
    }

    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // The next line of output without its end; empty at the end of the output.
    std::string ReadLine() {
        std::string line;
        char c;
        while (read(output_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    // Reads the output until the program closes it or the time runs out.
    std::string ReadAll(double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        std::string text;
        char buffer[4096];
        for (;;) {
            const auto left = std::chrono::duration<double>(end - Clock::now()).count();
            pollfd p{output_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
                return text;
            const ssize_t n = read(output_, buffer, sizeof buffer);
            if (n <= 0)
                return text;
            text.append(buffer, static_cast<size_t>(n));
        }
    }

    // Waits for the program to end; its exit status (128 + signal when killed), or -1 when it
    // was still running.
    int WaitExit(double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        do {
            if (!Running())
                return status_;
            usleep(10000);
        } while (Clock::now() < end);
        return Running() ? -1 : status_;
    }

    bool Running() {
        if (pid_ <= 0 || status_ >= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_ < 0;
    }

    void Terminate() {
        if (Running())
            kill(pid_, SIGTERM);
    }

private:
    using Clock = std::chrono::steady_clock;

    pid_t pid_ = -1;
    int output_ = -1;
    int status_ = -1;
};

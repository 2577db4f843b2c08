#pragma once

// The live benchmarks of the scan windows: the simulator talks over its own pseudo-terminal, a
// relay copies its bytes to the window's and counts what it sent, and the window's timer tick
// is called on its interval and timed while the simulator runs.

#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "ScriptedPrompt.h"

// Two pseudo-terminals joined master to master; the slaves are the simulator's and the window's.
class CountingRelay {
public:
    CountingRelay() {
        for (Pty* pty : {&sim_, &window_}) {
            openpty(&pty->master, &pty->slave, nullptr, nullptr, nullptr);
            termios raw{};
            tcgetattr(pty->slave, &raw);
            cfmakeraw(&raw);
            tcsetattr(pty->slave, TCSANOW, &raw);
            pty->path = QString::fromLocal8Bit(ttyname(pty->slave));
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~CountingRelay() {
        stop_ = true;
        thread_.join();
        for (Pty* pty : {&sim_, &window_}) {
            close(pty->master);
            close(pty->slave);
        }
    }
    QString SimPath() const { return sim_.path; }
    QString WindowPath() const { return window_.path; }
    int64_t Sent() const { return sent_; }

private:
    struct Pty {
        int master = -1;
        int slave = -1;
        QString path;
    };

    void Run() {
        char buffer[4096];
        while (!stop_) {
            pollfd fds[2] = {{sim_.master, POLLIN, 0}, {window_.master, POLLIN, 0}};
            if (poll(fds, 2, 10) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(sim_.master, buffer, sizeof buffer);
                if (n > 0) {
                    sent_ += n;
                    WriteAll(window_.master, buffer, n);
                }
            }
            if (fds[1].revents & POLLIN) {
                const ssize_t n = read(window_.master, buffer, sizeof buffer);
                if (n > 0)
                    WriteAll(sim_.master, buffer, n);
            }
        }
    }
    static void WriteAll(int fd, const char* bytes, ssize_t count) {
        while (count > 0) {
            const ssize_t n = write(fd, bytes, count);
            if (n <= 0)
                return;
            bytes += n;
            count -= n;
        }
    }

    Pty sim_;
    Pty window_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> sent_{0};
    std::thread thread_;
};

// The window's options: its INI file in a temporary folder with port COM1 on the relay, and a
// prompt that answers nothing.
template <typename Options>
struct LiveSetup {
    explicit LiveSetup(const QString& iniName) : ini(dir.filePath(iniName)) {
        options.iniPath = ini.Path();
        options.prompt = &prompt;
        // A failed write shows as COM1 not opening in OpenLive.
        portWritten = ini.WriteString("Ports", "COM1", relay.WindowPath()).ok;
    }

    CountingRelay relay;
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    IniFile ini;
    Options options;
    bool portWritten = false;
};

// Shows the window with the view at 1920 x 1040 and opens COM1 through the port dialog as a
// user does, then stops the window's own timer; false, the benchmark skipped, when it failed.
template <typename Window>
bool OpenLive(benchmark::State& state, Window& window) {
    window.pnlGragh->setFixedSize(1920, 1040);
    window.show();
    QApplication::processEvents();
    AnswerPortDialog("COM1", true);
    if (!window.FormShow()) {
        state.SkipWithError("the port did not open");
        return false;
    }
    window.tmrComport->stop();
    return true;
}

// Runs the simulator with simArguments on the relay and ticks the window, whose port is open
// and whose own timer is stopped, every tickMs until a second after the simulator ended; sets
// the counters lost_bytes, tick_ms, tick_max_ms, sent and received.
template <typename Window>
void TickLive(benchmark::State& state, CountingRelay& relay, Window& window,
              QStringList simArguments, int tickMs) {
    // Only now: opening the port purges whatever had arrived before, and so does the port's
    // monitor thread as it starts, a moment later; bytes sent before that would count as lost.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QProcess sim;
    sim.start(QStringLiteral(VYK_SIM_PATH),
              QStringList{"--device", relay.SimPath()} + simArguments);
    sim.waitForStarted(5000);

    double tickSeconds = 0;
    double longestTick = 0;
    int64_t ticks = 0;
    QElapsedTimer clock;
    clock.start();
    int64_t next = 0;
    int64_t quietAfterExit = -1;
    while (quietAfterExit < 0 || clock.elapsed() < quietAfterExit) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        if (clock.elapsed() < next)
            continue;
        next += tickMs;
        const auto begin = std::chrono::steady_clock::now();
        window.tmrComportTimer();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        tickSeconds += seconds;
        longestTick = std::max(longestTick, seconds);
        ++ticks;
        if (quietAfterExit < 0 && sim.state() == QProcess::NotRunning)
            quietAfterExit = clock.elapsed() + 1000;  // what is still under way arrives
    }
    sim.waitForFinished(5000);
    const int64_t sent = relay.Sent();
    const int64_t received = window.Port()->ReceivedTotal();
    const int64_t consumed = window.Loop().BytesRead();
    // Sent but never read from the driver, plus bytes the full ring dropped; the first part
    // alone tells where a loss happened.
    state.counters["lost_bytes"] = double((sent - received) + (received - consumed));
    state.counters["unread_bytes"] = double(sent - received);
    state.counters["tick_ms"] = tickSeconds * 1000 / double(ticks);
    state.counters["tick_max_ms"] = longestTick * 1000;
    state.counters["sent"] = double(sent);
    state.counters["received"] = double(received);
}

// The benchmark program's main: widgets need the application, offscreen unless told otherwise.
inline int LiveBenchMain(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// 30 s of the simulator at 921600 baud through the console's port, acquisition loop and circle
// view at 1920 x 1040, ticked every 20 ms as the window's timer does. The simulator talks over
// its own pseudo-terminal; a relay copies its bytes to the console's and counts what it sent.

#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"

namespace {

constexpr int kSeconds = 30;

// Two pseudo-terminals joined master to master; the slaves are the simulator's and the console's.
class CountingRelay {
public:
    CountingRelay() {
        for (Pty* pty : {&sim_, &console_}) {
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
        for (Pty* pty : {&sim_, &console_}) {
            close(pty->master);
            close(pty->slave);
        }
    }
    QString SimPath() const { return sim_.path; }
    QString ConsolePath() const { return console_.path; }
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
            pollfd fds[2] = {{sim_.master, POLLIN, 0}, {console_.master, POLLIN, 0}};
            if (poll(fds, 2, 10) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(sim_.master, buffer, sizeof buffer);
                if (n > 0) {
                    sent_ += n;
                    WriteAll(console_.master, buffer, n);
                }
            }
            if (fds[1].revents & POLLIN) {
                const ssize_t n = read(console_.master, buffer, sizeof buffer);
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
    Pty console_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> sent_{0};
    std::thread thread_;
};

void BM_ConsoleLive(benchmark::State& state) {
    for (auto _ : state) {
        CountingRelay relay;

        QTemporaryDir dir;
        ScriptedPrompt prompt;
        console::ConsoleOptions options;
        options.iniPath = dir.filePath("VYK-10.ini");
        options.prompt = &prompt;
        IniFile(options.iniPath).WriteString("Ports", "COM1", relay.ConsolePath());
        console::TfrmVYK10 window(options);
        window.pnlGragh->setFixedSize(1920, 1040);
        window.show();
        QApplication::processEvents();
        AnswerPortDialog("COM1", true);
        if (!window.FormShow()) {
            state.SkipWithError("the port did not open");
            return;
        }
        window.tmrComport->stop();
        // Only now: opening the port purges whatever had arrived before.
        QProcess sim;
        sim.start(QStringLiteral(VYK_SIM_PATH), {"--device", relay.SimPath(), "--baud", "921600",
                                                 "--duration", QString::number(kSeconds)});
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
            next += 20;
            const auto begin = std::chrono::steady_clock::now();
            window.tmrComportTimer();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            tickSeconds += seconds;
            longestTick = std::max(longestTick, seconds);
            ++ticks;
            if (quietAfterExit < 0 && sim.state() == QProcess::NotRunning) {
                quietAfterExit = clock.elapsed() + 1000;  // what is still under way arrives
            }
        }
        sim.waitForFinished(5000);
        const int64_t sentBytes = relay.Sent();
        const int64_t received = window.Port()->ReceivedTotal();
        const int64_t consumed = window.Loop().BytesRead();
        // Sent but never read from the driver, plus bytes the full ring dropped.
        state.counters["lost_bytes"] = double((sentBytes - received) + (received - consumed));
        state.counters["tick_ms"] = tickSeconds * 1000 / double(ticks);
        state.counters["tick_max_ms"] = longestTick * 1000;
        state.counters["sent"] = double(sentBytes);
        state.counters["received"] = double(received);
        state.counters["points_k"] = window.store.pointCount / 1000.0;
        state.counters["plot_width"] = window.Graph()->PlotWidth();
    }
}
BENCHMARK(BM_ConsoleLive)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

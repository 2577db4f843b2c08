// 30 seconds of a scanner stream at 921600 baud's byte rate into a pseudo-terminal, drained every
// 20 ms as the console's timer does; counts what did not arrive in order and the monitor
// thread's share of one core.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "Prompt.h"
#include "PtyPair.h"
#include "SerialPort.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBytesPerSecond = 92160;
constexpr int kSeconds = 30;
constexpr int kTickMs = 20;

class SilentPrompt : public Prompt {
public:
    int shown = 0;
    Answer Message(const QString&, const QString&, Icon, Buttons) override {
        ++shown;
        return Answer::Ok;
    }
    QString Input(const QString&, const QString&, const QString& text) override { return text; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

// CPU seconds of every thread of this process except the listed ones.
double OtherThreadsCpu(std::initializer_list<pid_t> excluded) {
    double ticks = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return 0;
    while (dirent* entry = readdir(tasks)) {
        const pid_t tid = atoi(entry->d_name);
        if (tid <= 0 || std::find(excluded.begin(), excluded.end(), tid) != excluded.end()) {
            continue;
        }
        QFile stat(QString("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // After the command name in parentheses: state is field 3, utime 14, stime 15.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            ticks += fields[11].toDouble() + fields[12].toDouble();
    }
    closedir(tasks);
    return ticks / sysconf(_SC_CLK_TCK);
}

void BM_SerialStream(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "serial_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    for (auto _ : state) {
        PtyPair pty;
        QTemporaryDir dir;
        IniFile ini(dir.filePath("VYK-10.ini"));
        if (!ini.WriteString("Ports", "COM80", pty.SlavePath())) {
            state.SkipWithError("cannot write the INI file");
            return;
        }
        SilentPrompt prompt;
        QObject owner;
        TSerialPort port(prompt, &ini);
        if (!port.OpenPort(&owner, 80, 921600, 'N', 8, 1, 9, 65536)) {
            state.SkipWithError("open failed");
            return;
        }
        port.StartMonitor();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

        const pid_t benchThread = static_cast<pid_t>(syscall(SYS_gettid));
        std::atomic<pid_t> writerThread{0};
        const double cpuBefore = OtherThreadsCpu({benchThread});
        const qsizetype total = qsizetype(kBytesPerSecond) * kSeconds;
        const QByteArray data = Pattern(total);
        const auto start = Clock::now();

        std::thread writer([&] {
            writerThread = static_cast<pid_t>(syscall(SYS_gettid));
            // Paced in 10 ms slices, as a UART delivers them.
            qsizetype sent = 0;
            for (int slice = 1; sent < total; ++slice) {
                const qsizetype due = std::min(total, qsizetype(kBytesPerSecond) * slice / 100);
                pty.Send(data.mid(sent, due - sent));
                sent = due;
                std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * slice));
            }
        });

        QByteArray received;
        received.reserve(total);
        static uint8_t buffer[10000];
        const auto end = start + std::chrono::seconds(kSeconds) + std::chrono::seconds(3);
        for (auto tick = start; Clock::now() < end && received.size() < total;) {
            tick += std::chrono::milliseconds(kTickMs);
            std::this_thread::sleep_until(tick);
            int n;
            do {
                n = port.ReadReceived(buffer, sizeof buffer);
                received.append(reinterpret_cast<const char*>(buffer), n);
            } while (n > 9999);
        }
        writer.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        // Everything but this thread and the writer is the monitor thread.
        const double monitorCpu = OtherThreadsCpu({benchThread, writerThread.load()}) - cpuBefore;
        port.ClosePort();

        qsizetype inOrder = 0;
        while (inOrder < received.size() && inOrder < total && received[inOrder] == data[inOrder]) {
            ++inOrder;
        }
        state.counters["lost_bytes"] = double(total - inOrder);
        state.counters["monitor_cpu_pct"] = 100.0 * monitorCpu / seconds;
        state.counters["received_total"] = double(port.ReceivedTotal());
        state.counters["warnings"] = prompt.shown;
        state.SetIterationTime(seconds);
    }
}

}  // namespace

BENCHMARK(BM_SerialStream)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

BENCHMARK_MAIN();

// 30 s of the simulator at 921600 baud through the console's port, acquisition loop and circle
// view at 1920 x 1040, ticked every 20 ms as the window's timer does.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"

namespace {

constexpr int kSeconds = 30;

void BM_ConsoleLive(benchmark::State& state) {
    for (auto _ : state) {
        QProcess sim;
        sim.start(QStringLiteral(VYK_SIM_PATH),
                  {"--baud", "921600", "--duration", QString::number(kSeconds)});
        sim.waitForStarted(5000);
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {
        }
        const QString path = QString::fromUtf8(sim.readLine()).trimmed();

        QTemporaryDir dir;
        ScriptedPrompt prompt;
        console::ConsoleOptions options;
        options.iniPath = dir.filePath("VYK-10.ini");
        options.prompt = &prompt;
        IniFile(options.iniPath).WriteString("Ports", "COM1", path);
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

        double tickSeconds = 0;
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
            tickSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            ++ticks;
            if (quietAfterExit < 0 && sim.state() == QProcess::NotRunning) {
                quietAfterExit = clock.elapsed() + 1000;  // what is still under way arrives
            }
        }
        sim.waitForFinished(5000);
        const QString report =
            QString::fromUtf8(sim.readAllStandardOutput() + sim.readAllStandardError());
        const auto sent = QRegularExpression(QStringLiteral("sent (\\d+) bytes")).match(report);
        const int64_t received = window.Port()->ReceivedTotal();
        const int64_t consumed = window.Loop().BytesRead();
        const int64_t sentBytes = sent.hasMatch() ? sent.captured(1).toLongLong() : -1;
        if (sentBytes < 0)
            state.SkipWithError("vyk-sim did not report what it sent");
        // Sent but never read from the driver, plus bytes the full ring dropped.
        state.counters["lost_bytes"] = double((sentBytes - received) + (received - consumed));
        state.counters["tick_ms"] = tickSeconds * 1000 / double(ticks);
        state.counters["bytes"] = double(consumed);
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

// A 65,536-byte image to a boot loader that drains the line at 115200 baud's byte rate in small
// reads, the PC side ticking every 2 ms as the upgrade window's timer does. Reports the
// transfer time over the line's minimum and whether the image arrived whole and in order.

#include <benchmark/benchmark.h>
#include <poll.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "BootConversation.h"
#include "CommBootLine.h"
#include "PtyPair.h"
#include "ScannerInterface.h"
#include "Tick.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kImageSize = 65536;
constexpr int kLineBytesPerSecond = 11520;
constexpr int kPeerRead = 32;
constexpr auto kGiveUp = std::chrono::seconds(30);

QByteArray Image() {
    QByteArray image(kImageSize, '\0');
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<char>(i * 131 + i / 509);
    return image;
}

// Asks for the image, then reads it no faster than the line carries it.
QByteArray SlowBootLoader(const PtyPair& pty, Clock::time_point* started, Clock::time_point* done) {
    QByteArray received;
    *started = Clock::now();
    pty.Send(QByteArray(scanner::kBootStart));
    char buffer[kPeerRead];
    while (received.size() < kImageSize && Clock::now() - *started < kGiveUp) {
        const double seconds = std::chrono::duration<double>(Clock::now() - *started).count();
        const qsizetype due = static_cast<qsizetype>(seconds * kLineBytesPerSecond);
        const qsizetype room = std::min<qsizetype>(due - received.size(), kPeerRead);
        if (room <= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            continue;
        }
        pollfd entry{pty.Master(), POLLIN, 0};
        if (poll(&entry, 1, 5) != 1)
            continue;
        const ssize_t n = read(pty.Master(), buffer, static_cast<size_t>(room));
        if (n > 0)
            received.append(buffer, n);
    }
    *done = Clock::now();
    return received;
}

void BM_Upgrade64k(benchmark::State& state) {
    const QByteArray image = Image();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("firmware.bin")));
    file.open(QIODevice::WriteOnly);
    file.write(image);
    file.close();

    for (auto _ : state) {
        PtyPair pty;
        QuillComm::TQuillComm comm;
        comm.fSetPortName(pty.SlavePath());
        comm.fSetBaud(115200);
        CommBootLine line(comm);
        try {
            line.Open();
        } catch (const QuillComm::EQuillCommError& error) {
            state.SkipWithError(error.what());
            return;
        }
        BootView view;
        TBootConversation boot(line, view);
        boot.SetFileName(file.fileName());
        boot.LoadUpgradeFile();

        std::atomic<bool> finished{false};
        Clock::time_point started, done;
        QByteArray received;
        std::thread peer([&] {
            received = SlowBootLoader(pty, &started, &done);
            finished = true;
        });
        while (!finished) {
            boot.tmr1Timer(GetTickCount());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        peer.join();
        line.Close();

        const double seconds = std::chrono::duration<double>(done - started).count();
        const double minimum = double(kImageSize) / kLineBytesPerSecond;
        state.counters["line_ratio"] = seconds / minimum;
        state.counters["image_ok"] = received == image ? 1 : 0;
        state.counters["received"] = double(received.size());
        state.SetIterationTime(seconds);
    }
}

}  // namespace

BENCHMARK(BM_Upgrade64k)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

BENCHMARK_MAIN();

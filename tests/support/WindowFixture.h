#pragma once

// What the tests of both scan windows set up: the INI file, the scripted prompt, one port COM7.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <cerrno>
#include <functional>
#include <memory>

#include "HostileStream.h"
#include "IniFile.h"
#include "Laserencode.h"
#include "PtyPair.h"
#include "ScanWindow.h"
#include "ScannerInterface.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"
#include "Shell.h"
#include "SmallTmpfs.h"

// Writes iniText, unless it is empty, as the INI file at iniPath, and points options at that
// file, at prompt and at one available port COM7.
inline void PrepareOptions(scanwindow::WindowOptions& options, const QString& iniPath,
                           const QByteArray& iniText, Prompt& prompt) {
    if (!iniText.isEmpty()) {
        QFile file(iniPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(iniText);
    }
    options.iniPath = iniPath;
    options.prompt = &prompt;
    options.portSource.probe = [] {
        return std::vector<setport::ProbedPort>{{"COM7", ComDeviceState::Available}};
    };
}

// The window made from options, shown at size.
template <typename Window, typename Options>
std::unique_ptr<Window> ShowWindow(const Options& options, QSize size) {
    auto window = std::make_unique<Window>(options);
    window->resize(size);
    window->show();
    QApplication::processEvents();
    return window;
}

// Runs the event loop until done or ms have passed.
inline void Pump(int ms, const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// What comes before the port's monitor runs is discarded: probe until a byte counts.
inline bool BytesArrive(const scanwindow::TScanWindow& w, PtyPair& far) {
    for (int i = 0; i < 100 && w.Port() && w.Port()->ReceivedTotal() == 0; ++i) {
        far.Send(" ");
        Pump(50, [&] { return w.Port()->ReceivedTotal() > 0; });
    }
    return w.Port() && w.Port()->ReceivedTotal() > 0;
}

// A USB serial adapter as a window sees it: a link to a pseudo-terminal, unplugged by closing
// the far end and plugged in again as a new pseudo-terminal under the same link.
class Adapter {
public:
    explicit Adapter(const QString& link) : link_(link) { Plug(); }
    QString Link() const { return link_; }
    PtyPair& Far() { return *pty_; }
    void Unplug() { pty_->CloseMaster(); }
    void Plug() {
        pty_.reset();
        pty_ = std::make_unique<PtyPair>();
        QFile::remove(link_);
        EXPECT_TRUE(QFile::link(pty_->SlavePath(), link_));
    }

private:
    QString link_;
    std::unique_ptr<PtyPair> pty_;
};

// The adapter of a window that reads from it is unplugged mid-stream and plugged in again: the
// window warns once, shows the closed port, then opens it again by itself (portText in panel 0)
// and reads on.
inline void ExpectComesBackAfterUnplug(scanwindow::TScanWindow& w, Adapter& adapter,
                                       const ScriptedPrompt& prompt, const QString& portText) {
    ASSERT_TRUE(BytesArrive(w, adapter.Far()));
    adapter.Unplug();
    Pump(3000, [&] { return !w.PortOpen(); });
    EXPECT_FALSE(w.PortOpen());
    EXPECT_EQ(w.statPanels[0]->text(), "COM Closed");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].text.startsWith("WARNING:  "));

    adapter.Plug();
    Pump(3000, [&] { return w.PortOpen(); });
    EXPECT_EQ(w.statPanels[0]->text(), portText);
    EXPECT_TRUE(BytesArrive(w, adapter.Far())) << "the live view resumes";
    EXPECT_EQ(prompt.messages.size(), 1u);
}

// On a full disk a window emptied its INI file at exit and said nothing. With the disk under the
// shown window filled, a new distance limit and the exit write are each told once, and the file
// keeps its old text.
inline void ExpectUnsavedSettingsToldAndTheFileKept(SmallTmpfs& disk, const QString& path,
                                                    std::unique_ptr<scanwindow::TScanWindow> window,
                                                    ScriptedPrompt& prompt) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    disk.Fill();
    prompt.inputs.push_back(QStringLiteral("3000"));
    window->SystemCommand(scanwindow::kCmdDistanceLimit);
    EXPECT_EQ(prompt.messages.size(), 1u) << "the distance limit's write";
    window->settings.viewType = 163;
    window.reset();
    ASSERT_EQ(prompt.messages.size(), 2u) << "the exit write";
    const QString told = SettingsNotSavedText(path, WriteResult::Failed(ENOSPC));
    for (const ScriptedPrompt::Shown& shown : prompt.messages) EXPECT_EQ(shown.text, told);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// Reads cut at each offset of a stretch of packets of every size and a status line: the window
// has every record, as one DecodeStream call over all the bytes since the port opened gives
// them. (Each chunk was once decoded on its own, and a packet cut by a read was lost.)
inline void ExpectEveryRecordAcrossReadCuts(scanwindow::TScanWindow& w, PtyPair& far) {
    // End marks decode to nothing and leave no tail behind.
    for (int i = 0; i < 100 && w.Loop().BytesRead() == 0; ++i) {
        far.Send(QByteArray(1, '\x80'));
        Pump(50, [&] { return w.Loop().BytesRead() > 0; });
    }
    ASSERT_GT(w.Loop().BytesRead(), 0);
    hostile::Bytes stretch;
    hostile::Add(stretch, laserencode::EncodePacket4(17, scanner::kInfoZeroDegree));
    hostile::Add(stretch, laserencode::EncodePacket3(1234, 1));
    hostile::Add(stretch, laserencode::EncodePacket4(2000, 2880));
    hostile::Add(stretch, laserencode::EncodePacket5(3000, 4000));
    hostile::Add(stretch, std::string("#CARTF4,12,0x1A,7,9\r\n\x80"));
    hostile::Add(stretch, laserencode::EncodePacket4(1500, 100));
    hostile::Add(stretch, laserencode::EncodePacket5(2500, 5000));
    // The port's reads come back at once only when they fill its 18-byte chunk. The stretch is
    // 47 bytes, so reads of 18 end at each of its offsets once over 47 stretches.
    ASSERT_EQ(stretch.size(), 47u);
    hostile::Bytes all;
    for (int i = 0; i < 18; ++i) all.insert(all.end(), stretch.begin(), stretch.end());
    const int first = w.store.pointCount;
    for (size_t at = 0; at < all.size(); at += TSerialPort::kChunkSize) {
        const int64_t target = w.Loop().BytesRead() + TSerialPort::kChunkSize;
        far.Send(
            QByteArray(reinterpret_cast<const char*>(all.data() + at), TSerialPort::kChunkSize));
        Pump(3000, [&] { return w.Loop().BytesRead() >= target; });
        ASSERT_EQ(w.Loop().BytesRead(), target);
    }
    const std::vector<ScanPoint> want = hostile::OneArray({all}, w.Loop().distanceLimit);
    const std::vector<ScanPoint> got(w.store.pointBuffer.begin() + first,
                                     w.store.pointBuffer.begin() + w.store.pointCount);
    hostile::ExpectSame(got, want, "records of the stream read in cut pieces");
}

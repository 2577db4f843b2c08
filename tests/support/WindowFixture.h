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

#include "IniFile.h"
#include "PtyPair.h"
#include "ScanWindow.h"
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

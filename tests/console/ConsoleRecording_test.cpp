#include "ConsoleRecording.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "Laserencode.h"
#include "ScriptedPrompt.h"

namespace {

// More packets than the recorder's buffer holds, so that they go to disk at once.
QByteArray Chunk() {
    QByteArray bytes;
    for (int i = 0; i < 35000; ++i) {
        const auto packet = laserencode::EncodePacket4(100 + i % 3000, (i * 16) % 5760);
        bytes.append(reinterpret_cast<const char*>(packet.data()), 4);
    }
    return bytes;
}

// Every fault is handed on with its text, but only the first of each recording is to go into a
// box: a second recording that fails is told again.
TEST(ConsoleRecording, TheFirstFaultOfEachRecordingIsToldInABox) {
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    console::ConsoleRecording recording(prompt, 1000);
    const QByteArray chunk = Chunk();
    const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.constData());
    for (const char* name : {"first", "second"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
        ASSERT_EQ(recording.Start(dir.filePath(QStringLiteral("sub/%1").arg(name))),
                  console::ConsoleRecording::Started::Yes);
        EXPECT_EQ(recording.Name(), dir.filePath(QStringLiteral("sub/%1.Zip").arg(name)));
        EXPECT_FALSE(recording.Write(bytes, static_cast<int>(chunk.size())));
        ASSERT_TRUE(QDir(dir.filePath("sub")).removeRecursively());
        ASSERT_TRUE(recording.Write(bytes, static_cast<int>(chunk.size())));
        EXPECT_TRUE(recording.FaultText().startsWith(QString::fromUtf8("警告：")));
        EXPECT_TRUE(recording.FirstFault());
        ASSERT_TRUE(recording.Write(bytes, static_cast<int>(chunk.size())));
        EXPECT_FALSE(recording.FirstFault()) << "one box per recording";
        recording.Stop();
        EXPECT_FALSE(recording.Active());
    }
    EXPECT_TRUE(prompt.messages.empty()) << "the window shows the boxes";
}

}  // namespace

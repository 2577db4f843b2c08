#include "McapWriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "McapReader.h"

namespace {

using record::McapWriter;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QStringList FilesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

class McapWriterTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

    // Forty messages on two channels, ten milliseconds apart, over chunks of a few messages.
    bool WriteForty(McapWriter& writer, const std::string& path) {
        McapWriter::Options options;
        options.profile = "test";
        options.library = "writer test";
        options.chunkSize = 256;
        if (!writer.Open(path, options))
            return false;
        const uint16_t schema = writer.AddSchema("Count", "jsonschema", "{\"type\":\"object\"}");
        const uint16_t a = writer.AddChannel(schema, "/a", "json");
        const uint16_t b = writer.AddChannel(schema, "/b", "json");
        for (int i = 0; i < 40; ++i) {
            const std::string text = "{\"n\":" + std::to_string(i) + "}";
            if (!writer.WriteMessage(i % 2 ? b : a, Time(i), Time(i) + 1,
                                     reinterpret_cast<const uint8_t*>(text.data()), text.size()))
                return false;
        }
        return true;
    }
    static uint64_t Time(int i) { return 1'700'000'000'000'000'000 + i * 10'000'000ull; }

    QTemporaryDir dir_;
};

TEST_F(McapWriterTest, MessagesOverSeveralChunksReadBackWithTheirIndexesAndStatistics) {
    McapWriter writer;
    const std::string path = Path("forty.mcap");
    ASSERT_TRUE(WriteForty(writer, path));
    ASSERT_TRUE(writer.Close()) << writer.Error();

    const QJsonObject file = ReadMcap(path);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(file["header"]["profile"].toString(), "test");
    EXPECT_EQ(file["header"]["library"].toString(), "writer test");
    const QJsonObject stats = file["statistics"].toObject();
    EXPECT_EQ(JsonUint64(stats["messageCount"]), 40u);
    EXPECT_EQ(stats["schemaCount"].toInt(), 1);
    EXPECT_EQ(stats["channelCount"].toInt(), 2);
    EXPECT_EQ(JsonUint64(stats["channelMessageCounts"]["1"]), 20u);
    EXPECT_EQ(JsonUint64(stats["channelMessageCounts"]["2"]), 20u);
    EXPECT_EQ(JsonUint64(stats["messageStartTime"]), Time(0));
    EXPECT_EQ(JsonUint64(stats["messageEndTime"]), Time(39));
    const QJsonArray chunks = file["chunks"].toArray();
    EXPECT_GT(chunks.size(), 4);
    EXPECT_EQ(stats["chunkCount"].toInt(), chunks.size());
    for (const QJsonValue& chunk : chunks) EXPECT_EQ(chunk["compression"].toString(), "zstd");

    const QJsonArray messages = file["messages"].toArray();
    ASSERT_EQ(messages.size(), 40);
    for (int i = 0; i < 40; ++i) {
        const QJsonObject m = messages[i].toObject();
        EXPECT_EQ(m["topic"].toString(), i % 2 ? "/b" : "/a") << i;
        EXPECT_EQ(m["sequence"].toInt(), i / 2) << i;
        EXPECT_EQ(JsonUint64(m["logTime"]), Time(i)) << i;
        EXPECT_EQ(JsonUint64(m["publishTime"]), Time(i) + 1) << i;
        std::string data;
        for (const QJsonValue& byte : m["data"].toArray()) data += static_cast<char>(byte.toInt());
        EXPECT_EQ(data, "{\"n\":" + std::to_string(i) + "}") << i;
    }
}

TEST_F(McapWriterTest, ATimeRangeIsFoundThroughTheIndexes) {
    McapWriter writer;
    const std::string path = Path("range.mcap");
    ASSERT_TRUE(WriteForty(writer, path));
    ASSERT_TRUE(writer.Close()) << writer.Error();

    const QJsonArray messages = ReadMcap(path, Time(13), Time(27)).value("messages").toArray();
    ASSERT_EQ(messages.size(), 15);
    EXPECT_EQ(JsonUint64(messages.first()["logTime"]), Time(13));
    EXPECT_EQ(JsonUint64(messages.last()["logTime"]), Time(27));
}

TEST_F(McapWriterTest, AFileWithoutMessagesIsStillOneTheReaderOpens) {
    McapWriter writer;
    const std::string path = Path("empty.mcap");
    ASSERT_TRUE(writer.Open(path, {}));
    writer.AddChannel(writer.AddSchema("S", "jsonschema", "{}"), "/s", "json");
    ASSERT_TRUE(writer.Close()) << writer.Error();

    const QJsonObject file = ReadMcap(path);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(JsonUint64(file["statistics"]["messageCount"]), 0u);
    EXPECT_TRUE(file["messages"].toArray().isEmpty());
    EXPECT_EQ(file["channels"].toArray().size(), 1);
}

// The path keeps what it held until the file is complete; a writer given up leaves nothing.
TEST_F(McapWriterTest, TheOldFileStaysUntilCloseAndADiscardedWriterLeavesNothing) {
    const std::string path = Path("kept.mcap");
    std::ofstream(path) << "old";
    {
        McapWriter writer;
        ASSERT_TRUE(WriteForty(writer, path));
        EXPECT_EQ(Slurp(path), "old");
        EXPECT_EQ(FilesIn(dir_).size(), 2);  // the old file and the one being written
        writer.Discard();
        EXPECT_FALSE(writer.Close());
    }
    {
        McapWriter writer;
        ASSERT_TRUE(WriteForty(writer, path));
    }  // destroyed without Close
    EXPECT_EQ(Slurp(path), "old");
    EXPECT_EQ(FilesIn(dir_), QStringList{"kept.mcap"});

    McapWriter writer;
    ASSERT_TRUE(WriteForty(writer, path));
    ASSERT_TRUE(writer.Close());
    const QJsonObject file = ReadMcap(path);
    EXPECT_EQ(JsonUint64(file["statistics"]["messageCount"]), 40u);
    EXPECT_EQ(FilesIn(dir_), QStringList{"kept.mcap"});
}

TEST_F(McapWriterTest, AFolderThatCannotTakeTheFileIsReportedWithItsReason) {
    const std::string file = Path("plain");
    std::ofstream(file) << "x";
    const struct {
        std::string path, reason;
    } cases[] = {
        {Path("missing/scan.mcap"), "No such file or directory"},
        {file + "/scan.mcap", "Not a directory"},
    };
    for (const auto& c : cases) {
        McapWriter writer;
        EXPECT_FALSE(writer.Open(c.path, {})) << c.path;
        EXPECT_NE(writer.Error().find(c.reason), std::string::npos) << writer.Error();
        EXPECT_NE(writer.Error().find(c.path), std::string::npos) << writer.Error();
    }
    EXPECT_EQ(FilesIn(dir_), QStringList{"plain"});
}

}  // namespace

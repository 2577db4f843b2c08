#include "IapSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "IniFile.h"
#include "TextCodec.h"

namespace {

class IapSettingsFile : public testing::Test {
protected:
    void Write(const QString& text) {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ToGbk(text));
    }
    QString Read() const {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? FromGbk(file.readAll()) : QString();
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("VYK-10.ini"));
};

TEST_F(IapSettingsFile, MissingFileGivesTheDefaults) {
    const IapSettings settings = LoadIapSettings(IniFile(path_));
    EXPECT_EQ(settings.pageIndex, 0);
    EXPECT_EQ(settings.fileName, QString());
    EXPECT_EQ(settings.comPort, 1);
    EXPECT_FALSE(settings.bAuto);
    EXPECT_FALSE(settings.bDisPowerData);
    EXPECT_TRUE(settings.history.isEmpty());
}

TEST_F(IapSettingsFile, ReadsEveryKeyAndSkipsShortHistoryEntries) {
    Write(
        QStringLiteral("[IAP]\nPageIndex=0\nfilename=/固件/vyk.bin\nCOM=7\nbAuto=1\n"
                       "bDisPowerData=1\n[HisFile]\n0=/a/one.bin\n1=abc\n2=\n29=/a/last.dat\n"
                       "30=/a/beyond.bin\n"));
    const IapSettings settings = LoadIapSettings(IniFile(path_));
    EXPECT_EQ(settings.fileName, QStringLiteral("/固件/vyk.bin"));
    EXPECT_EQ(settings.comPort, 7);
    EXPECT_TRUE(settings.bAuto);
    EXPECT_TRUE(settings.bDisPowerData);
    EXPECT_EQ(settings.history, QStringList({"/a/one.bin", "/a/last.dat"}));
}

TEST_F(IapSettingsFile, SavesInOrderAndEmptiesTheKeysBeyondTheHistory) {
    Write(QStringLiteral("[HisFile]\n5=/old/five.bin\n"));
    IniFile ini(path_);
    IapSettings settings;
    settings.fileName = QStringLiteral("/fw/a.bin");
    settings.comPort = 3;
    settings.bAuto = true;
    settings.history = {QStringLiteral("/fw/a.bin"), QStringLiteral("/fw/b.bin")};
    EXPECT_TRUE(SaveIapSettings(ini, settings));

    const QString text = Read();
    EXPECT_TRUE(text.contains(QStringLiteral(
        "[IAP]\nPageIndex=0\nfilename=/fw/a.bin\nCOM=3\nbAuto=1\nbDisPowerData=0\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("0=/fw/a.bin\n1=/fw/b.bin\n2=\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("29=\n")));
    const IapSettings back = LoadIapSettings(ini);
    EXPECT_EQ(back.history, settings.history) << "the old fifth entry is gone";
    EXPECT_EQ(back.comPort, 3);
}

}  // namespace

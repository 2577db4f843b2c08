#include "AppPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A build folder, an installed folder and the user's configuration folder, all writable, as
// they are for root; only being the installed folder may send the INI file to XDG.
class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"build/bin", "usr/bin", "config"})
            ASSERT_TRUE(QDir(root.path()).mkpath(folder));
        ASSERT_TRUE(QFile::link(root.filePath("usr/bin"), root.filePath("bin")));
        oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig); }

    QTemporaryDir root;
    QByteArray oldConfig;
};

TEST_F(AppPathsTest, InstalledProgramsUseTheConfigFolderEvenWhereTheyCouldWrite) {
    const struct {
        const char* executable;
        const char* installedFolder;
        const char* ini;
    } cases[] = {
        {"build/bin/VYK-10", "usr/bin", "build/bin/VYK-10.ini"},
        {"usr/bin/VYK-10", "usr/bin", "config/VYK-10.ini"},
        {"usr/bin/VYK-05", "usr/bin/", "config/VYK-05.ini"},
        // /bin linked to /usr/bin, as on a merged /usr, in either direction.
        {"bin/VYK-10", "usr/bin", "config/VYK-10.ini"},
        {"usr/bin/VYK-10", "bin", "config/VYK-10.ini"},
        // A folder that does not exist (a build never installed) installs nothing.
        {"build/bin/VYK-10", "missing/bin", "build/bin/VYK-10.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.executable);
        EXPECT_EQ(
            IniPathFor(root.filePath(c.executable), root.filePath(c.installedFolder)).toStdString(),
            root.filePath(c.ini).toStdString());
    }
}

TEST_F(AppPathsTest, TheConfigFolderIsCreatedWhenMissing) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("home/.config")));
    EXPECT_EQ(IniPathFor(root.filePath("usr/bin/VYK-10"), root.filePath("usr/bin")).toStdString(),
              root.filePath("home/.config/VYK-10.ini").toStdString());
    EXPECT_TRUE(QDir(root.filePath("home/.config")).exists());
}

TEST(AppPaths, TheInstalledFolderIsAnAbsolutePath) {
    EXPECT_TRUE(QDir::isAbsolutePath(InstalledProgramFolder()));
}

}  // namespace

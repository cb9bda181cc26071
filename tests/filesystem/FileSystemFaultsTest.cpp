// SPDX-License-Identifier: GPL-3.0-or-later
// Settings and image files when the file system works against the program:
// writes that fail part-way and paths blocked by a file or a directory. The tests
// run as root, so failures are made by the shape of the paths or by a file-size
// limit in a forked child.
#include "base/Config.h"
#include "base/Language.h"
#include "buffer/ImageFile.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using test::ReadFileText;
using test::SampleConfig;
using test::WriteFileText;

// Runs `body` in a child whose files can't grow past `limit` bytes (as on a full
// disk: writes fail with EFBIG instead of killing the process) and returns the
// child's exit code, or -1 when it didn't exit normally.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        ::_exit(::setrlimit(RLIMIT_FSIZE, &cap) != 0 ? 100 : body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class FilesUnderStress : public test::CoreFixture {
protected:
    void SetUp() override { Prepare(SampleConfig("English", "24C02") + "; a comment the user wrote\n"); }
    // The names in the directory, to see that no temporary file stays behind.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir->path())) names.insert(entry.path().filename().string());
        return names;
    }
};

// A write that fails is dropped: no box, no change on disk, and the run goes on.
TEST_F(FilesUnderStress, ConfigWritesBlockedByTheirPathAreDropped) {
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    fs::remove(dir->file("config.ini"));
    fs::create_directory(dir->file("config.ini"));
    const auto before = Entries();
    core.OnChipNameChanged("24C16");
    SetLanguage("SimpleChinese");
    EXPECT_TRUE(GetLanguage() == "SimpleChinese" && host.boxes.empty() && host.statusText == "24C16");
    EXPECT_TRUE(fs::is_empty(dir->file("config.ini")));
    EXPECT_EQ(Entries(), before);
}

// Cut short by a full disk, a config or image write keeps the old file and
// leaves no temporary one; with room, the same write goes through.
TEST_F(FilesUnderStress, AWriteCutShortByAFullDiskKeepsTheOldFile) {
    const std::string oldConfig = dir->config(), oldImage(200, 'o'), image = dir->file("image.bin").string();
    WriteFileText(image, oldImage);
    const auto before = Entries();
    ASSERT_GT(oldConfig.size(), 64u);
    const auto writeConfig = [] {
        SetLanguage("SimpleChinese");
        SaveDefaultChipName("AT24C02");
        return WriteConfig("Run", "DefaultLanguage", "SimpleChinese") ? 1 : 0;
    };
    EXPECT_EQ(RunWithFileSizeLimit(64, writeConfig), 0);
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate());
    buffer.bytes[0] = 0x5A;
    EXPECT_EQ(RunWithFileSizeLimit(128, [&] { return SaveImage(image, buffer, 256) ? 1 : 0; }), 0);
    EXPECT_EQ(dir->config(), oldConfig);
    EXPECT_EQ(ReadFileText(image), oldImage);
    EXPECT_EQ(Entries(), before);

    EXPECT_TRUE(WriteConfig("Run", "DefaultChipName", "AT24C02"));
    EXPECT_EQ(ReadConfig("Run", "DefaultChipName"), "AT24C02");
    EXPECT_TRUE(SaveImage(image, buffer, 256));
    EXPECT_EQ(ReadFileText(image).substr(0, 2), "\x5A\xFF");
    EXPECT_EQ(Entries(), before);
}

}  // namespace
}  // namespace qbr

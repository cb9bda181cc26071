// SPDX-License-Identifier: GPL-3.0-or-later
// Settings and image files when the file system works against the program:
// writes that fail part-way (a file-size limit in a forked child, as the tests run
// as root) and paths blocked by a directory.
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

// Runs `body` in a child whose files can't grow past `limit` bytes, as on a full
// disk; returns the child's exit code, or -1.
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
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir->path())) names.insert(entry.path().filename().string());
        return names;
    }
};

// Cut short by a full disk, a config or image write keeps the old file and leaves
// no temporary one. A config write blocked by a directory is dropped: no box, no
// change on disk, and the run goes on.
TEST_F(FilesUnderStress, FailedWritesKeepTheOldFileOrAreDropped) {
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    const std::string oldConfig = dir->config(), oldImage(200, 'o'), image = dir->file("image.bin").string();
    WriteFileText(image, oldImage);
    const auto before = Entries();
    ASSERT_GT(oldConfig.size(), 64u);
    EXPECT_EQ(RunWithFileSizeLimit(64, [] { return WriteConfig("Run", "DefaultLanguage", "SimpleChinese") ? 1 : 0; }),
              0);
    const DataBuffer buffer{std::vector<uint8_t>(256), {}, 256};
    EXPECT_EQ(RunWithFileSizeLimit(128, [&] { return SaveImage(image, buffer, 256) ? 1 : 0; }), 0);
    EXPECT_EQ(dir->config(), oldConfig);
    EXPECT_EQ(ReadFileText(image), oldImage);
    EXPECT_EQ(Entries(), before);

    fs::remove(dir->file("config.ini"));
    fs::create_directory(dir->file("config.ini"));
    core.OnChipNameChanged("24C16");
    SetLanguage("SimpleChinese");
    EXPECT_TRUE(GetLanguage() == "SimpleChinese" && host.boxes.empty() && host.statusText == "24C16");
    EXPECT_TRUE(fs::is_empty(dir->file("config.ini")));
    EXPECT_EQ(Entries(), before);
}

}  // namespace
}  // namespace qbr

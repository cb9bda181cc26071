// SPDX-License-Identifier: GPL-3.0-or-later
// Settings, log, chip database and image files when the file system works
// against the program: writes that fail part-way, paths blocked by a file or a
// directory, files cut short or gone. The tests run as root, so failures are
// made by the shape of the paths or by a file-size limit in a forked child.
#include "base/Config.h"
#include "base/Language.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"
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
using test::MakeChip;
using test::ReadFileText;
using test::SampleConfig;
using test::WriteFileText;

// The names in a directory, to see that no temporary file stays behind.
std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Runs `body` in a child whose files can't grow past `limit` bytes (as on a full
// disk: writes fail with EFBIG instead of killing the process) and returns the
// child's exit code, or -1 when it didn't exit normally.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &cap) != 0) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class FilesUnderStress : public test::CoreFixture {
protected:
    std::string File(const std::string& name) const { return dir->file(name).string(); }
    void StartWith24C02() {
        Prepare(SampleConfig("English", "24C02"));  // a 256-byte chip
        ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
        host.boxes.clear();
    }
};

// --- config.ini ---------------------------------------------------------------

// A write that fails is dropped: no box, no change on disk, and the run goes on.
TEST_F(FilesUnderStress, ConfigWritesBlockedByTheirPathAreDropped) {
    StartWith24C02();
    fs::remove(dir->file("config.ini"));
    fs::create_directory(dir->file("config.ini"));
    const auto before = Entries(dir->path());
    core.OnChipNameChanged("24C16");
    SetLanguage("SimpleChinese");
    EXPECT_EQ(GetLanguage(), "SimpleChinese");  // the run still switches
    SetLanguageForSession("English");
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.statusText, "24C16");
    EXPECT_TRUE(fs::is_empty(dir->file("config.ini")));
    EXPECT_EQ(Entries(dir->path()), before);

    // The program's directory is a regular file.
    WriteFileText(dir->file("blocker"), "not a directory");
    SetExecutableDirectory(File("blocker") + "/");
    EXPECT_FALSE(WriteConfig("Run", "DefaultChipName", "24C02"));
    SaveDefaultChipName("24C02");
    EXPECT_EQ(ReadConfig("Run", "DefaultChipName"), "");
    EXPECT_EQ(ReadFileText(dir->file("blocker")), "not a directory");
}

TEST_F(FilesUnderStress, AWriteCutShortByAFullDiskKeepsTheOldConfig) {
    Prepare(SampleConfig("English", "24C02") + "; a comment the user wrote\n");
    const std::string old = dir->config();
    const auto before = Entries(dir->path());
    ASSERT_GT(old.size(), 64u);
    // The new text is as long as the old one and more, so it can't fit in 64 bytes.
    const int written = RunWithFileSizeLimit(64, [] {
        SetLanguage("SimpleChinese");
        SaveDefaultChipName("AT24C02");
        return WriteConfig("Run", "DefaultLanguage", "SimpleChinese") ? 1 : 0;
    });
    EXPECT_EQ(written, 0);
    EXPECT_EQ(dir->config(), old);
    EXPECT_EQ(Entries(dir->path()), before);

    // Without the limit the same write goes through.
    EXPECT_TRUE(WriteConfig("Run", "DefaultChipName", "AT24C02"));
    EXPECT_EQ(ReadConfig("Run", "DefaultChipName"), "AT24C02");
    EXPECT_EQ(Entries(dir->path()), before);
}

// --- the log ------------------------------------------------------------------

TEST_F(FilesUnderStress, ALogThatCantBeCreatedDropsEntriesButTheStatusLineGoesOn) {
    for (const std::string logName : {"blocker/test.log", "logdir"}) {
        SCOPED_TRACE(logName);
        std::string config = SampleConfig("English", "24C02");
        for (size_t at = config.find("LogFile=test.log"); at != std::string::npos;
             at = config.find("LogFile=test.log", at + 1)) {
            config.replace(at, std::string("LogFile=test.log").size(), "LogFile=" + logName);
        }
        Prepare(config);
        WriteFileText(dir->file("blocker"), "a file");
        fs::create_directory(dir->file("logdir"));
        ASSERT_EQ(MessageText(kMsgLogFilePath), File(logName));

        LogText("dropped");
        core.ShowError("went wrong");
        EXPECT_EQ(host.statusText, "went wrong");
        EXPECT_EQ(ReadFileText(dir->file("blocker")), "a file");
        EXPECT_TRUE(fs::is_empty(dir->file("logdir")));
        EXPECT_EQ(Entries(dir->path()), (std::set<std::string>{"blocker", "chips.dat", "config.ini", "logdir"}));
    }
}

// --- the chip database ----------------------------------------------------------

// How the start reports a database error is in the core's tests.
TEST_F(FilesUnderStress, ADatabaseCutAtAnyByteFailsCleanly) {
    Prepare(SampleConfig("English"));
    const std::vector<uint8_t> full = EncodeDatabase(
        {MakeChip(kSpiFlash, "EN25T80", "EON", 0x100000), MakeChip(kEeprom24, "AT24C02", "ATMEL", 256)});
    const std::string path = File("cut.dat");
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        WriteFileText(path, std::string(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        ChipDatabase database;
        EXPECT_EQ(database.Load(path), cut == full.size()) << cut;
        EXPECT_EQ(database.RecordCount(), cut == full.size() ? 2u : 0u) << cut;
    }
}

// --- image files ------------------------------------------------------------------

TEST_F(FilesUnderStress, AnImageThatVanishesBeforeTheLoadLeavesEverythingAsItWas) {
    StartWith24C02();
    WriteFileText(File("first.bin"), std::string(256, '\x11'));
    host.openAnswer = File("first.bin");
    core.OnOpenFile();
    ASSERT_TRUE(host.boxes.empty());
    const auto bytes = core.Buffer().bytes;
    const std::string caption = host.caption;

    for (const std::string name : {"gone.bin", "now-a-dir.bin"}) {
        SCOPED_TRACE(name);
        WriteFileText(File(name), std::string(256, '\x22'));
        host.openAnswer = File(name);  // picked in the dialog, then gone
        fs::remove(dir->file(name));
        if (name == "now-a-dir.bin") fs::create_directory(dir->file(name));
        host.boxes.clear();
        core.OnOpenFile();
        EXPECT_EQ(host.boxes, std::vector<std::string>{"Open file error!"});
        EXPECT_TRUE(core.Buffer().bytes == bytes);
        EXPECT_EQ(host.caption, caption);
    }
}

TEST_F(FilesUnderStress, ASaveOnAFullDiskKeepsTheOldImage) {
    StartWith24C02();
    core.Buffer().bytes[0] = 0x5A;
    const std::string old(200, 'o');
    WriteFileText(File("image.bin"), old);
    const auto before = Entries(dir->path());

    const int saved = RunWithFileSizeLimit(128, [&] {
        return SaveImage(File("image.bin"), core.Buffer(), core.SelectedChip().capacity) ? 1 : 0;
    });
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadFileText(File("image.bin")), old);
    EXPECT_EQ(Entries(dir->path()), before);

    // Through the save command: what the user sees is reported back in the exit code.
    host.saveAnswer = File("image.bin");
    const int seen = RunWithFileSizeLimit(128, [&] {
        core.OnSaveFile();
        return (host.statusText == "Open file error!" ? 1 : 0) | (host.errorColour ? 2 : 0) |
               (host.progressBarRed ? 4 : 0) | (host.boxes == std::vector<std::string>{"Open file error!"} ? 8 : 0);
    });
    EXPECT_EQ(seen, 15);
    EXPECT_EQ(ReadFileText(File("image.bin")), old);
    EXPECT_EQ(Entries(dir->path()), before);

    // With room to write, the same save goes through.
    host.saveAnswer = File("image.bin");
    core.OnSaveFile();
    EXPECT_EQ(host.statusText, "Save file successful!");
    EXPECT_EQ(ReadFileText(File("image.bin")), "\x5A" + std::string(255, '\xFF'));
}

}  // namespace
}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
// Settings, image files, backups and the emulated chip's file when the file system
// works against the program: writes that fail part-way (a file-size limit in a
// forked child, as the tests run as root), paths blocked by a directory, FIFOs,
// devices and sockets where a file was expected, and two runs on one file.
#include "base/Config.h"
#include "base/Language.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipDatabase.h"
#include "emulator/ChipImageFile.h"
#include "emulator/TraceReplay.h"
#include "ops/FirmwareImage.h"
#include "ops/RepeatedRead.h"
#include "support/CliProcess.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using test::ReadFileText;
using test::SampleConfig;
using test::WriteFileText;

// Runs `body` in a child; returns its exit code, or -1 when a signal ended it.
int RunInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Files can't grow past `limit` bytes, as on a full disk. A write past it fails,
// or, when `killed`, ends the process as a kill part-way would.
bool LimitFileSize(rlim_t limit, bool killed = false) {
    std::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
    const rlimit cap{limit, limit};
    return ::setrlimit(RLIMIT_FSIZE, &cap) == 0;
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
    ASSERT_EQ(workspace.Start(), Workspace::StartResult::Ready);
    core.SelectChip(workspace.SelectedChip());  // the log is written from here on
    const std::string oldConfig = dir->config(), oldImage(200, 'o'), image = dir->file("image.bin").string();
    WriteFileText(image, oldImage);
    const auto before = Entries();
    ASSERT_GT(oldConfig.size(), 64u);
    EXPECT_EQ(RunInChild([] { return LimitFileSize(64) && !WriteConfig("Run", "DefaultLanguage", "SimpleChinese"); }),
              1);
    const DataBuffer buffer{std::vector<uint8_t>(256), {}, 256};
    EXPECT_EQ(RunInChild([&] { return LimitFileSize(128) && !SaveImage(image, buffer, 256); }), 1);
    EXPECT_EQ(dir->config(), oldConfig);
    EXPECT_EQ(ReadFileText(image), oldImage);
    EXPECT_EQ(Entries(), before);

    fs::remove(dir->file("config.ini"));
    fs::create_directory(dir->file("config.ini"));
    core.SelectChip(*workspace.Database().FindByName("24C16"));
    SetLanguage("SimpleChinese");
    EXPECT_TRUE(GetLanguage() == "SimpleChinese" && host.boxes.empty() && host.statusText == "24C16");
    EXPECT_TRUE(fs::is_empty(dir->file("config.ini")));
    EXPECT_EQ(Entries(), before);
}

// Every loader refuses a FIFO at once (the child's alarm ends one that waits on
// it), and a new file is whole or absent, even when the run is killed part-way.
TEST_F(FilesUnderStress, LoadersNeverWaitOnAFifoAndNewFilesAreWholeOrAbsent) {
    DataBuffer buffer{std::vector<uint8_t>(256), {}, 256};
    const std::function<bool(const std::string&)> loaders[] = {
        [&](const std::string& path) {
            return LoadImage(path, buffer, 256).outcome == ImageLoadResult::Outcome::Loaded;
        },
        [](const std::string& path) { return ChipDatabase().Load(path); },
        [](const std::string& path) { return LoadFirmwareImage(path).has_value(); },
        [](const std::string& path) {
            std::string error;
            return TraceReplay::Load(path, error) != nullptr;
        },
    };
    for (const char* name : {"fifo", "fifo.hex"}) {
        const std::string path = dir->file(name).string();
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        for (const auto& load : loaders) {
            EXPECT_EQ(RunInChild([&] {
                          ::alarm(5);
                          return load(path) ? 1 : 0;
                      }),
                      0)
                << name;
        }
    }
    const auto before = Entries();
    const std::vector<uint8_t> data(1 << 20, 0x5A);
    EXPECT_EQ(RunInChild([&] {
                  return LimitFileSize(4096, true) &&
                         CreateNewFile(dir->file("new.bin"), data.data(), data.size()) == NewFileResult::Created;
              }),
              -1);
    EXPECT_EQ(Entries(), before);
}

// The command-line tool on an emulated programmer, with files of every kind.
class CliFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
        std::filesystem::create_directory(Path("dir"));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        Path("socket").copy(address.sun_path, sizeof address.sun_path - 1);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        // Only root may make a device node: the null and full devices' numbers, here.
        device_ = ::mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                  ::mknod(Path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
        test::WriteFileText(Path("image.bin"), std::string(256, '\x5A'));
        test::WriteFileText(Path("big.img"), std::string(8192, 'B'));
        test::WriteFileText(Path("flash.img"), std::string(1 << 20, '\0'));
    }
    void TearDown() override { ::close(socket_); }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }
    // A run that hangs is ended after a while, and fails.
    test::CliResult Run(const std::string& arguments, const std::string& launcher = "") {
        return test::RunCliProcess("--lang en -q " + arguments, "timeout 20 " + launcher);
    }
    std::string Emulated(const std::string& chip, const std::string& image) {
        return "-c " + chip + " --emulate --emulate-image " + Path(image) + " ";
    }
    bool Kinds() const {
        namespace fs = std::filesystem;
        return fs::is_fifo(Path("fifo")) && fs::is_socket(Path("socket")) && fs::is_directory(Path("dir")) &&
               (!device_ || fs::is_character_file(Path("null")));
    }

    test::TempDir dir;
    int socket_ = -1;
    bool device_ = false;
};

// A FIFO, a device or a socket is never replaced by a file, nor waited on: inputs
// must be regular files, and an emulated chip's image of another size, or one that
// another run holds (also through a link), is refused; a save of the emulated chip
// that fails (a full disk) fails the run and keeps the old image. A missing
// --backup-dir is made, and names that runs of the same second took are kept: the
// next free one is used. An output FIFO with a reader and a character device get
// the data written into them.
TEST_F(CliFiles, FilesOfEveryKindAreNeverReplacedNorWaitedOn) {
    struct Case {
        std::string arguments;
        int code;
        std::string text;
        bool device = false;     // needs the device node
        std::string launcher{};  // starts the tool
    };
    const std::string chip = Emulated("24C02", "chip.img");
    // Files can't grow past 50 KiB: the texts fit, the erased 1 MiB chip doesn't.
    const std::string full = "sh -c 'trap \"\" XFSZ; ulimit -f 100; exec \"$0\" \"$@\"'";
    const ChipRecord chip24 = test::TestChip("24C02").Type(kEeprom24).Capacity(256);
    ChipImageFile held;
    VirtualChip heldChip(chip24);
    ASSERT_EQ(held.Open(Path("held.img"), heldChip), ChipImageFile::Problem::None);
    std::filesystem::create_symlink(Path("held.img"), Path("link.img"));
    std::filesystem::create_directory(Path("taken"));
    const std::time_t now = std::time(nullptr);
    for (std::time_t second = now - 1; second < now + 30; ++second) {
        test::WriteFileText(ChooseBackupTarget({"", Path("taken"), ""}, chip24, second).path, "earlier");
    }
    const std::string backup = chip + "write " + Path("image.bin") + " --backup-dir ";
    const Case cases[] = {
        {backup + Path("made/here"), 0, "Made the backup directory"},  // first: "taken" holds the next 30 s
        {backup + Path("taken"), 0, ""},
        {chip + "write " + Path("fifo"), 4, "fifo is a FIFO, not a regular file"},
        {chip + "verify " + Path("dir"), 4, "dir is a directory, not a regular file"},
        {"--db " + Path("fifo") + " " + chip + "link", 4, "is a FIFO, not a regular file"},
        {"-c 24C02 chip-sum " + Path("fifo"), 4, "is a FIFO, not a regular file"},
        {chip + "update-firmware " + Path("fifo"), 4, "is a FIFO, not a regular file"},
        {"--replay " + Path("fifo") + " read " + Path("out.bin"), 4, "is a FIFO, not a regular file"},
        {Emulated("24C02", "fifo") + "read " + Path("out.bin"), 4, "image " + Path("fifo") + " is a FIFO"},
        {Emulated("24C02", "null") + "read " + Path("out.bin"), 4, "is a character device", true},
        {Emulated("24C02", "big.img") + "read " + Path("out.bin"), 4, "holds 8192 bytes, but 24C02 has 256 bytes"},
        {chip + "read " + Path("fifo"), 4, "Nobody reads from the FIFO"},
        {chip + "read " + Path("socket"), 4, "socket is a socket: an output can only be"},
        {chip + "read " + Path("dir"), 4, "dir is a directory: an output can only be"},
        {chip + "--trace " + Path("fifo") + " link", 4, "nobody reads from the FIFO"},
        {chip + "--trace " + Path("socket") + " link", 4, "is a socket"},
        {chip + "write --backup " + Path("fifo") + " " + Path("image.bin"), 4, "exists already"},
        {chip + "read " + Path("null"), 0, "Read chip ok!", true},
        {chip + "--trace " + Path("null") + " link", 0, "", true},
        {chip + "--trace " + Path("full") + " link", 4, "could not be written whole", true},
        {chip + "--trace " + Path("image.bin") + " link", 4, "not a trace"},
        {chip + "--production " + Path("fifo") + " --serialize 0x10,dec,4 write " + Path("image.bin"), 4, "is a FIFO"},
        {chip + "--production " + Path("dir") + " write " + Path("image.bin"), 4, "is a directory, not a regular"},
        {"production counter " + Path("socket"), 4, "is a socket, not a regular file"},
        {"production export " + Path("new.db") + " --csv " + Path("dir"), 4, "dir is a directory: an output"},
        {Emulated("24C02", "link.img") + "write " + Path("image.bin"), 4, "is in use by another run"},
        {Emulated("EN25T80", "flash.img") + "--json erase", 4, "Can't save the emulated chip", false, full},
    };
    for (const Case& c : cases) {
        if (c.device && !device_) continue;
        SCOPED_TRACE(c.arguments);
        const test::CliResult run = Run(c.arguments, c.launcher);
        EXPECT_EQ(run.exitCode, c.code) << run.err;
        EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
        const bool json = c.arguments.find("--json") != std::string::npos;
        EXPECT_TRUE(!json || run.out.find("\"ok\":false") != std::string::npos) << run.out;
        EXPECT_TRUE(Kinds());
        EXPECT_FALSE(std::filesystem::exists(Path("out.bin")));
    }
    EXPECT_EQ(test::ReadFileText(Path("held.img")), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("made/here")), {}), 1);
    size_t earlier = 0, copies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Path("taken"))) {
        const std::string text = test::ReadFileText(entry.path());
        earlier += text == "earlier";
        copies += text == std::string(256, '\x5A') && entry.path().string().ends_with("-2.bin");
    }
    EXPECT_EQ(earlier, 31u);
    EXPECT_EQ(copies, 1u);
    EXPECT_EQ(test::ReadFileText(Path("flash.img")), std::string(1 << 20, '\0'));
    // A FIFO that is read from gets the chip's bytes.
    const int reader = ::open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(Run(chip + "write " + Path("image.bin")).exitCode, 0);
    EXPECT_EQ(Run(chip + "read " + Path("fifo")).exitCode, 0);
    std::string got(512, '\0');
    got.resize(static_cast<size_t>(std::max<ssize_t>(0, ::read(reader, got.data(), got.size()))));
    ::close(reader);
    EXPECT_EQ(got, std::string(256, '\x5A'));
    EXPECT_TRUE(Kinds());
    // Data that never reached a full standard output is a failure.
    if (device_) {
        const test::CliResult full = Run(chip + "read -", "sh -c '\"$0\" \"$@\" >" + Path("full") + "'");
        EXPECT_EQ(full.exitCode, 4) << full.err;
    }
    // So does a pipe named through /dev/fd, whose link names no file.
    const test::CliResult piped = Run(chip + "read /dev/fd/3",
                                      "sh -c '\"$0\" \"$@\" 3>&1 >/dev/null | cat >" + Path("piped.bin") + "'");
    EXPECT_EQ(test::ReadFileText(Path("piped.bin")), std::string(256, '\x5A')) << piped.err;
}

}  // namespace
}  // namespace qbr

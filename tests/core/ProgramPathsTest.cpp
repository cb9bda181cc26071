// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ProgramPaths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace qbr {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

struct FakeEnvironment {
    std::map<std::string, std::string> values;
    std::string operator()(const char* name) const {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
};

TEST(ProgramPaths, InstalledLayoutFollowsTheXdgDirectories) {
    FakeEnvironment environment{{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_STATE_HOME", "rel"}}};
    const ProgramPaths paths = InstalledPaths("/usr/bin/", environment);
    EXPECT_TRUE(paths.installed);
    EXPECT_EQ(paths.dataDirectory, "/usr/share/qbr5150/");
    EXPECT_EQ(paths.configFile, "/cfg/qbr5150/config.ini");
    // A relative XDG value is not a base directory: the default below $HOME counts.
    EXPECT_EQ(paths.logDirectory, "/home/ann/.local/state/qbr5150/");
    EXPECT_EQ(InstalledPaths("/usr/bin/", FakeEnvironment{{{"HOME", "/home/ann"}}}).configFile,
              "/home/ann/.config/qbr5150/config.ini");
}

TEST(ProgramPaths, ConfigBesideTheExecutableMeansPortable) {
    TempDir dir;
    WriteFileText(dir.file("config.ini"), "[Run]\n");
    const ProgramPaths paths = ChooseProgramPaths(dir.dirText(), FakeEnvironment{});
    EXPECT_FALSE(paths.installed);
    EXPECT_EQ(paths.configFile, dir.dirText() + "config.ini");
    EXPECT_EQ(paths.dataDirectory, dir.dirText());
    EXPECT_EQ(paths.logDirectory, dir.dirText());
}

// An upgrade brings the Version texts (the About box) up to date and leaves the
// user's settings alone.
TEST(ProgramPaths, FirstInstalledRunCopiesTheDefaultConfigAndLaterRunsKeepTheUsers) {
    TempDir root;
    std::filesystem::create_directories(root.file("usr/bin"));
    std::filesystem::create_directories(root.file("usr/share/qbr5150"));
    const auto packaged = root.file("usr/share/qbr5150/config.ini");
    WriteFileText(packaged, "[Run]\nDefaultLanguage=English\n[English]\nVersion=v1\n");
    const FakeEnvironment environment{{{"HOME", root.file("home").string()}}};

    const ProgramPaths paths = ChooseProgramPaths(root.file("usr/bin").string() + "/", environment);
    EXPECT_TRUE(paths.installed);
    EXPECT_EQ(ReadFileText(paths.configFile), ReadFileText(packaged));
    EXPECT_TRUE(std::filesystem::is_directory(paths.logDirectory));

    WriteFileText(paths.configFile, "[Run]\nDefaultLanguage=SimpleChinese\n[English]\nVersion=v1\n");
    WriteFileText(packaged, "[Run]\nDefaultLanguage=English\n[English]\nVersion=v2\n");
    ChooseProgramPaths(root.file("usr/bin").string() + "/", environment);
    EXPECT_EQ(ReadFileText(paths.configFile), "[Run]\nDefaultLanguage=SimpleChinese\n[English]\nVersion=v2\n");
}

}  // namespace
}  // namespace qbr

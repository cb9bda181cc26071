// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the workspace on its default chip, and a programmer this user may not open.
#include "base/Config.h"
#include "base/Language.h"
#include "base/PermissionText.h"
#include "chipdb/ChipType.h"
#include "core/ProgrammerCore.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "ops/ChipCommands.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::SampleConfig;
using Names = std::vector<std::string>;

using ProgrammerCoreTest = test::CoreFixture;
const std::vector<ChipRecord>& kChips = test::SampleChips();

TEST_F(ProgrammerCoreTest, DefaultChipFallsBackToEN25T80ThenToTheFirstRecord) {
    for (const char* configured : {"", "NOSUCHCHIP"}) {
        Prepare(SampleConfig("English", configured));
        Workspace fresh;
        ASSERT_EQ(fresh.Start(), Workspace::StartResult::Ready);
        EXPECT_EQ(fresh.SelectedChip().chipName, "EN25T80");
        EXPECT_NE(dir->config().find("DefaultChipName=EN25T80"), std::string::npos);
    }
    Prepare(SampleConfig("English", "NOSUCHCHIP"), {kChips[4], kChips[5]});
    ASSERT_EQ(workspace.Start(), Workspace::StartResult::Ready);
    EXPECT_EQ(core.SelectedChip().chipName, "24C16");
}

// A programmer on the bus whose device node this user may not open.
TEST_F(ProgrammerCoreTest, LinkPermissionStartAndCommandsSayWhyAndHowToFixIt) {
    Prepare(SampleConfig("English", "EN25T80"));
    ASSERT_EQ(workspace.Start(), Workspace::StartResult::Ready);
    auto library = std::make_unique<test::FakeDeviceLibrary>();
    library->openResult = UsbDeviceLibrary::kAccessDenied;
    test::FakeDeviceLibrary* fake = library.get();
    core.ConnectLink(std::make_unique<UsbLink>(std::make_unique<LibraryPath>(std::move(library))));
    const std::string text = PermissionDeniedText();
    const std::string box = "No programmer linked to computer!\r\n\r\n" + text;
    EXPECT_EQ(host.boxes, Names{box});
    EXPECT_EQ(host.statusText, text);
    EXPECT_TRUE(host.errorColour);
    EXPECT_NE(Log().find(": ShowInfo: " + text), std::string::npos);

    // The link watch only asks; the commands' link check explains it again.
    EXPECT_FALSE(core.Session().OpenLink());
    EXPECT_EQ(host.boxes.size(), 1u);
    Shown(OnReadChip(core));
    EXPECT_EQ(host.boxes, (Names{box, box}));
    EXPECT_EQ(host.statusText, text);

    // Once access is granted the plain texts are back for a programmer that is gone.
    fake->openResult = 0;
    ASSERT_TRUE(core.Session().OpenLink());
    fake->devices.clear();
    host.boxes.clear();
    Shown(OnReadChip(core));
    EXPECT_EQ(host.boxes, Names{"No programmer linked to computer!"});
    EXPECT_EQ(host.statusText, "No programmer linked to computer!");
}

// Where an installation puts the device rule (as `cmake --install` does), whether
// udev reads it there, and what the text says to do: a portable directory's rule
// is installed from it (quoted for the shell), an installed one need only be loaded.
TEST(PermissionText, DeviceRuleTextFollowsLayoutAndLanguage) {
    struct Case {
        const char* prefix;
        const char* configured;  // QBR_UDEV_RULES_DIR
        const char* directory;
        bool read;
    };
    const Case cases[] = {
        {"/usr", "", "/usr/lib/udev/rules.d", true},
        {"/usr/", "", "/usr/lib/udev/rules.d", true},
        {"/usr/local", "", "/etc/udev/rules.d", true},
        {"/opt/qbr5150", "", "/etc/udev/rules.d", true},
        {"/usr/local", "lib/udev/rules.d", "/usr/local/lib/udev/rules.d", false},
        {"/usr", "/etc/udev/rules.d/", "/etc/udev/rules.d", true},
    };
    for (const Case& rule : cases) {
        SCOPED_TRACE(std::string(rule.prefix) + " " + rule.configured);
        EXPECT_EQ(InstalledRuleDirectory(rule.prefix, rule.configured), rule.directory);
        EXPECT_EQ(UdevReadsRulesIn(rule.directory), rule.read);
    }
    const std::string reload = "sudo udevadm control --reload-rules && sudo udevadm trigger";
    SetLanguageForSession(kLanguageEnglish);
    SetExecutableDirectory("/opt/my tools/qbr/");
    EXPECT_NE(PermissionDeniedText().find(
                  "sudo install -m 644 '/opt/my tools/qbr/60-qbr5150.rules' /etc/udev/rules.d/ && " + reload + "\r\n"),
              std::string::npos);
    // The program finds its prefix from its data directory.
    ProgramPaths installed = PortablePaths("/usr/share/qbr5150/");
    installed.installed = true;
    SetProgramPaths(installed);
    EXPECT_EQ(DeviceRulePath(), "/usr/lib/udev/rules.d/60-qbr5150.rules");
    EXPECT_EQ(DeviceAccessCommand(), reload);
    EXPECT_NE(PermissionDeniedText().find("command:\r\n" + reload + "\r\n"), std::string::npos);
    SetLanguageForSession("SimpleChinese");
    EXPECT_EQ(PermissionDeniedText().rfind("已找到编程器", 0), 0u);
    EXPECT_NE(PermissionDeniedText().find("：\r\n" + reload), std::string::npos);
    installed.dataDirectory = "/usr/local/share/qbr5150/";
    SetProgramPaths(installed);
    EXPECT_EQ(DeviceRulePath(), "/etc/udev/rules.d/60-qbr5150.rules");
}

}  // namespace
}  // namespace qbr

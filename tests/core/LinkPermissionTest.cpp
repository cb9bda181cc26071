// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Config.h"
#include "base/Language.h"
#include "base/PermissionText.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "ops/ChipCommands.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::SampleConfig;

// A programmer on the bus whose device node this user may not open.
class LinkPermission : public test::CoreFixture {
protected:
    void SetUp() override {
        Prepare(SampleConfig("English", "EN25T80"));
        ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
        auto library = std::make_unique<test::FakeDeviceLibrary>();
        library->openResult = UsbDeviceLibrary::kAccessDenied;
        library_ = library.get();
        link_ = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(std::move(library)));
    }

    test::FakeDeviceLibrary* library_ = nullptr;
    std::unique_ptr<UsbLink> link_;
};

TEST_F(LinkPermission, StartAndCommandsSayWhyAndHowToFixIt) {
    const std::string command = "sudo install -m 644 " + dir->dirText() +
                                "60-qbr5150.rules /etc/udev/rules.d/ && sudo udevadm control --reload-rules && "
                                "sudo udevadm trigger";
    const std::string text = PermissionDeniedText();
    EXPECT_EQ(text,
              "The programmer is connected, but this user is not allowed to open it.\r\n"
              "Install the device rule with this command:\r\n" +
                  command + "\r\nThen unplug the programmer and plug it in again.");

    core.ConnectLink(std::move(link_));
    const std::string box = "No programmer linked to computer!\r\n\r\n" + text;
    EXPECT_EQ(host.boxes, std::vector<std::string>{box});
    EXPECT_EQ(host.statusText, text);
    EXPECT_TRUE(host.errorColour);
    EXPECT_NE(Log().find(": ShowInfo: The programmer is connected, but this user is not allowed to open it.\r\n"),
              std::string::npos);
    EXPECT_NE(Log().find(command), std::string::npos);

    // The link watch only asks; the commands' link check explains it again.
    EXPECT_FALSE(core.OpenLink());
    EXPECT_EQ(host.boxes.size(), 1u);
    OnReadChip(core);
    EXPECT_EQ(host.boxes, (std::vector<std::string>{box, box}));
    EXPECT_EQ(host.statusText, text);

    // Once access is granted the plain texts are back for a programmer that is gone.
    library_->openResult = 0;
    ASSERT_TRUE(core.OpenLink());
    library_->devices.clear();
    host.boxes.clear();
    OnReadChip(core);
    EXPECT_EQ(host.boxes, std::vector<std::string>{"No programmer linked to computer!"});
    EXPECT_EQ(host.statusText, "No programmer linked to computer!");
}

TEST_F(LinkPermission, TextFollowsLayoutAndLanguage) {
    // A portable directory that needs quoting in a shell.
    SetExecutableDirectory("/opt/my tools/qbr/");
    EXPECT_NE(PermissionDeniedText().find("sudo install -m 644 '/opt/my tools/qbr/60-qbr5150.rules' /etc/udev/"),
              std::string::npos);

    // Installed: the package has put the rule in place already.
    ProgramPaths installed = PortablePaths(dir->dirText());
    installed.installed = true;
    SetProgramPaths(installed);
    EXPECT_EQ(PermissionDeniedText(),
              "The programmer is connected, but this user is not allowed to open it.\r\n"
              "Load the installed device rule with this command:\r\n"
              "sudo udevadm control --reload-rules && sudo udevadm trigger\r\n"
              "Then unplug the programmer and plug it in again.");

    SetLanguageForSession("SimpleChinese");
    EXPECT_EQ(PermissionDeniedText(),
              "已找到编程器，但当前用户无权打开它。\r\n"
              "请用以下命令加载已安装的设备规则：\r\n"
              "sudo udevadm control --reload-rules && sudo udevadm trigger\r\n"
              "然后拔下编程器再重新插上。");
    SetLanguageForSession("Klingon");
    EXPECT_EQ(PermissionDeniedText(), "");
}

}  // namespace
}  // namespace qbr

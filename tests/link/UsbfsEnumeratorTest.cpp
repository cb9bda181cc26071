// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/backends/UsbfsEnumerator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using test::WriteFileText;

class UsbfsTree : public ::testing::Test {
protected:
    void AddDevice(const std::string& name, const std::string& vendor, const std::string& product) {
        fs::create_directories(dir.file(name));
        WriteFileText(dir.file(name) / "idVendor", vendor + "\n");
        WriteFileText(dir.file(name) / "idProduct", product + "\n");
        WriteFileText(dir.file(name) / "busnum", "1\n");
        WriteFileText(dir.file(name) / "devnum", "7\n");
    }
    void AddEndpoint(const std::string& interfaceName, const std::string& address, const std::string& type) {
        const fs::path endpoint = dir.file(interfaceName) / ("ep_" + address);
        fs::create_directories(endpoint);
        WriteFileText(dir.file(interfaceName) / "bInterfaceNumber", "00\n");
        WriteFileText(endpoint / "bEndpointAddress", address + "\n");
        WriteFileText(endpoint / "type", type + "\n");
    }

    test::TempDir dir;
    UsbfsEnumerator enumerator{dir.path(), dir.file("dev")};
};

TEST_F(UsbfsTree, ListsInterfacesWithABulkPipePairAsDevicePaths) {
    AddDevice("1-2", "10c4", "f5a0");
    AddEndpoint("1-2:1.0", "81", "Bulk");
    AddEndpoint("1-2:1.0", "01", "Bulk");
    AddDevice("1-1", "046d", "c52b");
    AddEndpoint("1-1:1.0", "81", "Interrupt");
    AddEndpoint("1-1:1.1", "82", "Bulk");  // no OUT pipe
    EXPECT_EQ(enumerator.ListInterfaces("{37538c66-9584-42d3-9632-ebad0a230d13}"),
              std::vector<std::string>{"usb#vid_10c4&pid_f5a0#1-2:1.0"});
}

}  // namespace
}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/DeviceEnumerator.h"

#include <set>

namespace qbr::test {

// A fixed list of device paths; opening records the path and fails for the paths
// in `failing`, and with refused access for those in `denied`. The pipes it gives
// move no data.
class FakeEnumerator : public DeviceEnumerator {
public:
    std::vector<std::string> paths;
    std::set<std::string> failing;
    std::set<std::string> denied;
    std::vector<std::string> opened;

    std::vector<std::string> ListInterfaces(std::string_view) override { return paths; }
    std::shared_ptr<PipeHandle> Open(const std::string& path, bool& accessDenied) override {
        opened.push_back(path);
        accessDenied = denied.contains(path);
        return failing.contains(path) || accessDenied ? nullptr : std::make_shared<IdlePipe>();
    }

private:
    struct IdlePipe : PipeHandle {
        bool Read(uint8_t*, uint32_t, uint32_t& received, uint32_t) override {
            received = 0;
            return true;
        }
        bool Write(const uint8_t*, uint32_t count, uint32_t& written, uint32_t) override {
            written = count;
            return true;
        }
        void Cancel() override {}
    };
};

}  // namespace qbr::test

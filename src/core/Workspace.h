// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"

#include <string>

namespace qbr {

// What the user works on: the chip database, the buffer with its change marks and
// the selected chip. It shows nothing; the front ends show it.
class Workspace {
public:
    enum class StartResult { Ready, DatabaseError, OutOfMemory };

    // Loads the chip database (the configured file, or `databasePath` when given),
    // allocates the buffer and selects the default chip. On failure the buffer and
    // chip commands must not run.
    StartResult Start(const std::string& databasePath = {});
    bool IsReady() const { return ready_; }

    const ChipDatabase& Database() const { return database_; }
    DataBuffer& Buffer() { return buffer_; }
    const ChipRecord& SelectedChip() const { return selectedChip_; }

    // The one way a chip becomes the selected chip: sizes the buffer to it and,
    // unless told not to, remembers it for the next start.
    void SelectChip(const ChipRecord& chip);
    // Whether SelectChip stores the chip for the next start (the window does; a
    // scripted run leaves the settings alone).
    void SetRememberSelectedChip(bool remember) { rememberSelectedChip_ = remember; }

private:
    ChipDatabase database_;
    DataBuffer buffer_;
    ChipRecord selectedChip_;
    bool rememberSelectedChip_ = true;
    bool ready_ = false;
};

}  // namespace qbr

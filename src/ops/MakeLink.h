// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "emulator/ChipImageFile.h"
#include "emulator/EmulatedProgrammer.h"
#include "emulator/TraceReplay.h"
#include "link/TransferTrace.h"
#include "link/UsbLink.h"
#include "ops/LinkRequest.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qbr {

// What a link made from a LinkRequest talks to and the files it keeps. The front end
// holds it for as long as the link lives.
struct LinkEnd {
    std::unique_ptr<TraceReplay> replay;
    std::unique_ptr<EmulatedProgrammer> emulator;
    ChipImageFile image;                         // the emulated chip's file, held for the run
    std::string imagePath;                       // its name, "%d" replaced; empty: the chip lives for the run only
    std::unique_ptr<TransferTrace> openedTrace;  // made ahead of the link, which takes it
    TransferTrace* trace = nullptr;              // the trace file once the link has it
    std::string accessPath;                      // "replay", "emulated", "library" or "direct"
};

// At the end of a run: writes the emulated chip of `end` back into its image file,
// and says what of the link's files is not on disk (the chip not saved, the trace
// `tracePath` cut short), one text each; empty when all of it is.
std::vector<std::string> KeepLinkFiles(const LinkEnd& end, const std::string& tracePath);

// Loads the request's recorded trace into `end`; its header names the chip it was recorded with.
std::optional<LinkError> LoadReplay(const LinkRequest& request, LinkEnd& end);
// Makes the request's trace file now, ahead of the link, so that a run that can't keep it stops early.
std::optional<LinkError> OpenTrace(const LinkRequest& request, LinkEnd& end);

// The link the request asks for, to programmer `slot`: the replay of its recorded
// trace; or the emulated programmer with the request's chip (else `worked`) in its
// socket, its image file, its fault and speed; or the real programmer. The trace
// file, when the request names one, begins with `header`, completed by the chip
// worked on and the access path.
std::variant<std::unique_ptr<UsbLink>, LinkError> MakeLink(const LinkRequest& request, const ProgrammerSlot& slot,
                                                           const ChipDatabase& database, const ChipRecord& worked,
                                                           TraceHeader header, LinkEnd& end);

}  // namespace qbr

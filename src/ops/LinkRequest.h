// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FileKind.h"
#include "emulator/EmulatorFault.h"
#include "link/ProgrammerSurvey.h"

#include <optional>
#include <string>
#include <vector>

namespace qbr {

// How a run reaches its programmer, as either front end's options give it: a real
// programmer, emulated ones, or a recorded trace that plays the programmer.
struct LinkRequest {
    std::optional<std::string> emulatedChip;  // set: emulated programmers with this chip (empty: the chip worked on)
    std::string emulatorImage;                // the emulated chip's file; "%d" becomes the programmer's number
    std::optional<EmulatorFault> fault;       // set: the emulated programmers misbehave so
    std::optional<unsigned> faultTarget;      // set: only the emulated programmer of this number does
    unsigned emulateCount = 1;                // emulated programmers attached
    bool fullSpeed = false;                   // the emulated wire runs at USB full speed
    std::string trace;                        // every USB transfer of the run goes into this file
    std::string replay;                       // a recorded trace plays the programmer
};

// One programmer a link can go to: a real one at a USB port, or one of the
// emulated programmers.
struct ProgrammerSlot {
    // A real one's port path ("1-1.2"), which its link keeps to, or "emulated-N";
    // empty: whichever programmer the link finds first.
    std::string id;
    std::string serial;
    NodeAccess access = NodeAccess::Allowed;
    unsigned emulatedIndex = 0;  // 1.. for an emulated programmer, 0 for a real one
};

// Emulated programmer `index`, with the serial number it reports ("EMU0000001").
ProgrammerSlot EmulatedSlot(unsigned index);

// Why a link can't be made as asked, and the text that says so in the current language.
enum class LinkProblem {
    NoChipNamed,
    BadFault,
    BadSpeed,
    NotEmulated,
    ImageNotRegular,
    ImageInUse,
    ImageWrongSize,
    FileError
};
struct LinkError {
    LinkProblem problem;
    std::string text;
};

// Takes --emulate-speed's word: full or unlimited.
std::optional<LinkError> SetEmulatorSpeed(LinkRequest& request, const std::string& word);
// Takes --emulate-fault's text: FAULT for every emulated programmer, or N:FAULT for programmer N (1 to emulateCount).
std::optional<LinkError> SetEmulatorFault(LinkRequest& request, const std::string& text);
// That the database has no chip of that name.
LinkError NoChipNamed(const std::string& name);
// The emulator's own options, an image file, a fault (`fault` as given) or the full
// speed (set first), asked for without emulated programmers: refused, for a real
// programmer would do the work and its "ok" would not be what the user asked for.
std::optional<LinkError> CheckEmulatorOnly(const LinkRequest& request, const std::string& fault);
// Whether several emulated programmers would share one image file, whose name has no "%d".
bool ImageSharedByProgrammers(const LinkRequest& request);
// The run's own files, the trace (written all through it) and each emulated chip's
// image (saved at its end), checked against each other and against the run's other
// files: `written` (outputs, stores, settings), and `read`, which only the trace
// may not name. Each programmer's names are taken with "%d" as its number and "%s"
// as its id. The first clash in words; nullopt when there is none.
std::optional<std::string> LinkFileClash(const LinkRequest& request, const std::vector<std::string>& written,
                                         const std::vector<std::string>& read);

// Why a link can't be made as asked, in one language; both front ends say these. "{}" stands for a value, filled in by
// Fill.
struct LinkWording {
    const char* noChipNamed;        // name
    const char* emulatorLoadError;  // path
    const char* emulatorSaveError;  // path
    const char* imageReplaced;      // path
    const char* traceIncomplete;    // path
    const char* emulatorOnly;       // the option
    const char* imageNeedsIndex;
    const char* traceNamesRunFile;  // path
    const char* imageNamesOutput;   // path
    const char* faultProgrammer;    // the fault as given
    const char* badSpeed;           // the speed as given
    const char* imageNotRegular;    // path, kind
    const char* imageInUse;         // path
    const char* imageWrongSize;     // path, its size, chip name, the chip's size
};

// The wording of the current language; English unless it is Chinese.
const LinkWording& CurrentLinkWording();

// "a FIFO", "a directory", ... in the current language.
const char* KindText(FileKind kind);

}  // namespace qbr

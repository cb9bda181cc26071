// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/MakeLink.h"

#include "base/FileKind.h"
#include "base/TextFill.h"
#include "link/HardwareLink.h"
#include "link/LibraryPath.h"
#include "ops/LinkRequest.h"

namespace qbr {

namespace {

LinkError ImageError(ChipImageFile::Problem problem, const std::string& path, const ChipImageFile& file,
                     const ChipRecord& chip) {
    const LinkWording& wording = CurrentLinkWording();
    switch (problem) {
    case ChipImageFile::Problem::NotRegular:
        return {LinkProblem::ImageNotRegular, Fill(wording.imageNotRegular, {path, KindText(KindOfFile(path))})};
    case ChipImageFile::Problem::InUse: return {LinkProblem::ImageInUse, Fill(wording.imageInUse, {path})};
    case ChipImageFile::Problem::WrongSize:
        return {LinkProblem::ImageWrongSize,
                Fill(wording.imageWrongSize,
                     {path, std::to_string(file.FileSize()), chip.chipName, std::to_string(chip.capacity)})};
    case ChipImageFile::Problem::None:
    case ChipImageFile::Problem::CantOpen:
    case ChipImageFile::Problem::Unreadable: break;
    }
    return {LinkProblem::FileError, Fill(wording.emulatorLoadError, {path})};
}

// The emulated programmer of `slot`, with `socket` in it: the chip's contents
// from the image file (which stays held), the programmer's own fault and the speed.
std::optional<LinkError> MakeEmulator(const LinkRequest& request, const ProgrammerSlot& slot, const ChipRecord& socket,
                                      LinkEnd& end) {
    end.emulator = std::make_unique<EmulatedProgrammer>(socket);
    if (!slot.serial.empty()) end.emulator->SetSerialNumber(slot.serial);
    end.imagePath = ReplaceAll(request.emulatorImage, "%d", std::to_string(slot.emulatedIndex));
    if (!end.imagePath.empty()) {
        const ChipImageFile::Problem problem = end.image.Open(end.imagePath, end.emulator->Chip());
        if (problem != ChipImageFile::Problem::None) return ImageError(problem, end.imagePath, end.image, socket);
    }
    if (request.fault && request.faultTarget.value_or(slot.emulatedIndex) == slot.emulatedIndex) {
        end.emulator->InjectFault(*request.fault);
    }
    if (request.fullSpeed) end.emulator->SetSpeed(SpeedModel::FullSpeed());
    return std::nullopt;
}

}  // namespace

std::vector<std::string> KeepLinkFiles(const LinkEnd& end, const std::string& tracePath) {
    const LinkWording& wording = CurrentLinkWording();
    std::vector<std::string> lost;
    if (end.trace && end.trace->Failed()) lost.push_back(Fill(wording.traceIncomplete, {tracePath}));
    if (!end.emulator || end.imagePath.empty()) return lost;
    if (end.image.TakenOver()) {
        lost.push_back(Fill(wording.imageReplaced, {end.imagePath}));
    } else if (!end.image.Save(end.emulator->Chip())) {
        lost.push_back(Fill(wording.emulatorSaveError, {end.imagePath}));
    }
    return lost;
}

std::optional<LinkError> LoadReplay(const LinkRequest& request, LinkEnd& end) {
    std::string error;
    end.replay = TraceReplay::Load(request.replay, error);
    return end.replay ? std::nullopt : std::optional(LinkError{LinkProblem::FileError, error});
}

std::optional<LinkError> OpenTrace(const LinkRequest& request, LinkEnd& end) {
    std::string error;
    end.openedTrace = TransferTrace::Create(request.trace, error);
    return end.openedTrace ? std::nullopt : std::optional(LinkError{LinkProblem::FileError, error});
}

std::variant<std::unique_ptr<UsbLink>, LinkError> MakeLink(const LinkRequest& request, const ProgrammerSlot& slot,
                                                           const ChipDatabase& database, const ChipRecord& worked,
                                                           TraceHeader header, LinkEnd& end) {
    std::unique_ptr<UsbLink> link;
    if (!request.replay.empty()) {
        if (std::optional<LinkError> error = end.replay ? std::nullopt : LoadReplay(request, end)) return *error;
        link = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*end.replay));
        end.accessPath = "replay";
    } else if (request.emulatedChip) {
        std::optional<ChipRecord> socket = worked;
        if (!request.emulatedChip->empty()) socket = database.FindByTypedName(*request.emulatedChip);
        if (!socket) return NoChipNamed(*request.emulatedChip);
        if (std::optional<LinkError> error = MakeEmulator(request, slot, *socket, end)) return *error;
        link = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*end.emulator));
        end.accessPath = "emulated";
    } else {
        link = MakeHardwareLink({}, slot.id);
        end.accessPath = link->UsesLibraryPath() ? "library" : "direct";
    }
    if (!request.trace.empty()) {
        if (std::optional<LinkError> error = end.openedTrace ? std::nullopt : OpenTrace(request, end)) return *error;
        header.chip = worked.chipName;
        header.accessPath = end.accessPath;
        end.openedTrace->WriteHeader(header);
        end.trace = end.openedTrace.get();
        link->SetTrace(std::move(end.openedTrace));
    }
    return link;
}

}  // namespace qbr

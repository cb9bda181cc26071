// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer and image-file commands of ProgrammerCore.
#include "base/MessageTable.h"
#include "buffer/BufferEdits.h"
#include "buffer/ImageFile.h"
#include "core/ProgrammerCore.h"

namespace qbr {

bool ProgrammerCore::IsBusy() {
    return commandRunning || protocol.PollOperation() != PollResult::Done;
}

bool ProgrammerCore::RefuseWhileBusy() {
    if (!IsBusy()) return false;
    MessageBox(MessageText(kMsgProgrammerBusy));
    LogText(MessageText(kMsgProgrammerBusy));
    return true;
}

void ProgrammerCore::OnBufferFill() {
    if (RefuseWhileBusy()) return;
    const auto request = host_.AskBufferFill();
    if (!request) return;
    const EditCheck check = request->valid ? FillRange(buffer, request->start, request->length, request->fillByte)
                                           : EditCheck::AddressFormatError;
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)));
        return;
    }
    host_.RefreshHexView();
}

void ProgrammerCore::OnByteSwap() {
    if (RefuseWhileBusy()) return;
    ByteSwap(buffer);
    host_.RefreshHexView();
}

void ProgrammerCore::OnAddressLocation() {
    if (RefuseWhileBusy()) return;
    const auto request = host_.AskAddressLocation();
    if (!request) return;
    const EditCheck check = CheckEditAddress(request->valid, request->address, buffer.activeLength);
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)));
        return;
    }
    host_.GoToAddress(request->address);
}

bool ProgrammerCore::LoadImageFile(const std::string& path) {
    const ImageLoadResult result = LoadImage(path, buffer, selectedChip.capacity);
    if (result.tooLong) MessageBox(MessageText(kMsgFileTooLong));
    // A failed load may have changed the buffer too (Intel HEX records placed
    // before a fault, a raw read cut short), so the view and its checksum are
    // refreshed whatever the outcome.
    host_.RefreshHexView();
    return result.outcome == ImageLoadResult::Outcome::Loaded;
}

void ProgrammerCore::LoadFileAndReport(const std::string& path) {
    LogText(path);
    if (!LoadImageFile(path)) {
        MessageBox(MessageText(kMsgOpenFileError));
        LogText(MessageText(kMsgOpenFileError));
        return;
    }
    SetFileCaption(path);
}

void ProgrammerCore::OnOpenFile() {
    LogText(MessageText(kMsgLoadFile));
    if (RefuseWhileBusy()) return;
    const auto path = host_.AskOpenFile();
    if (!path) {
        LogText(MessageText(kMsgLoadFileCancel));
        return;
    }
    LoadFileAndReport(*path);
}

void ProgrammerCore::OnDropFiles(const std::vector<std::string>& paths) {
    if (RefuseWhileBusy()) return;
    if (paths.size() != 1) {
        MessageBox(MessageText(kMsgDropFileError));
        return;
    }
    LoadFileAndReport(paths.front());
}

void ProgrammerCore::LoadCommandLineFile(const std::string& path) {
    if (!LoadImageFile(path)) MessageBox(MessageText(kMsgOpenFileError));
}

void ProgrammerCore::OnSaveFile() {
    LogText(MessageText(kMsgSaveFile));
    if (RefuseWhileBusy()) return;
    const auto path = host_.AskSaveFile();
    if (!path) {
        LogText(MessageText(kMsgSaveFileCancel));
        return;
    }
    LogText(*path);
    // A failed save is reported; it never claims success and never leaves a
    // half-written file in place of the old one.
    if (!SaveImage(*path, buffer, selectedChip.capacity)) {
        ShowError(MessageText(kMsgOpenFileError));
        MessageBox(MessageText(kMsgOpenFileError));
        return;
    }
    ShowInfo(MessageText(kMsgSaveFileOk));
}

void ProgrammerCore::SetFileCaption(const std::string& path) {
    captionSuffix = FileCaptionSuffix(path);
    host_.SetCaption(Caption());
}

std::string ProgrammerCore::Caption() const {
    return MessageText(kMsgCaption) + captionSuffix;
}

}  // namespace qbr

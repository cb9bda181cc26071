// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer and image-file commands of ProgrammerCore.
#include "base/MessageTable.h"
#include "buffer/BufferEdits.h"
#include "buffer/ImageFile.h"
#include "core/ProgrammerCore.h"
#include "core/RecordErrorText.h"

namespace qbr {

bool ProgrammerCore::RefuseWhileBusy() {
    if (!session_.IsBusy()) return false;
    MessageBox(MessageText(kMsgProgrammerBusy));
    LogText(MessageText(kMsgProgrammerBusy));
    return true;
}

Outcome ProgrammerCore::OnBufferFill() {
    if (RefuseWhileBusy()) return Outcome::Busy;
    const auto request = host_.AskBufferFill();
    if (!request) return Outcome::Cancelled;
    const EditCheck check = request->valid ? FillRange(buffer_, request->start, request->length, request->fillByte)
                                           : EditCheck::AddressFormatError;
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)));
        return Outcome::Failed;
    }
    host_.RefreshHexView();
    return Outcome::Ok;
}

Outcome ProgrammerCore::OnByteSwap() {
    if (RefuseWhileBusy()) return Outcome::Busy;
    ByteSwap(buffer_);
    host_.RefreshHexView();
    return Outcome::Ok;
}

Outcome ProgrammerCore::OnAddressLocation() {
    if (RefuseWhileBusy()) return Outcome::Busy;
    const auto request = host_.AskAddressLocation();
    if (!request) return Outcome::Cancelled;
    const EditCheck check = CheckEditAddress(request->valid, request->address, buffer_.activeLength);
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)));
        return Outcome::Failed;
    }
    host_.GoToAddress(request->address);
    return Outcome::Ok;
}

Outcome ProgrammerCore::LoadImageFile(const std::string& path) {
    lastImageLoad_ = LoadImage(path, buffer_, selectedChip_.capacity);
    if (lastImageLoad_.tooLong) MessageBox(MessageText(kMsgFileTooLong));
    // A failed load may have changed the buffer_ too (Intel HEX records placed
    // before a fault, a raw read cut short), so the view and its checksum are
    // refreshed whatever the outcome.
    host_.RefreshHexView();
    return lastImageLoad_.outcome == ImageLoadResult::Outcome::Loaded ? Outcome::Ok : Outcome::FileError;
}

Outcome ProgrammerCore::LoadFileAndReport(const std::string& path) {
    LogText(path);
    if (LoadImageFile(path) != Outcome::Ok) {
        MessageBox(MessageText(kMsgOpenFileError));
        LogText(MessageText(kMsgOpenFileError));
        if (lastImageLoad_.error.fault != RecordFault::None) LogText(RecordErrorText(lastImageLoad_.error));
        return Outcome::FileError;
    }
    SetFileCaption(path);
    return Outcome::Ok;
}

Outcome ProgrammerCore::OnOpenFile() {
    LogText(MessageText(kMsgLoadFile));
    if (RefuseWhileBusy()) return Outcome::Busy;
    const auto path = host_.AskOpenFile();
    if (!path) {
        LogText(MessageText(kMsgLoadFileCancel));
        return Outcome::Cancelled;
    }
    return LoadFileAndReport(*path);
}

Outcome ProgrammerCore::OnDropFiles(const std::vector<std::string>& paths) {
    if (RefuseWhileBusy()) return Outcome::Busy;
    if (paths.size() != 1) {
        MessageBox(MessageText(kMsgDropFileError));
        return Outcome::Failed;
    }
    return LoadFileAndReport(paths.front());
}

Outcome ProgrammerCore::LoadCommandLineFile(const std::string& path) {
    const Outcome outcome = LoadImageFile(path);
    if (outcome != Outcome::Ok) MessageBox(MessageText(kMsgOpenFileError));
    return outcome;
}

Outcome ProgrammerCore::OnSaveFile() {
    LogText(MessageText(kMsgSaveFile));
    if (RefuseWhileBusy()) return Outcome::Busy;
    const auto path = host_.AskSaveFile();
    if (!path) {
        LogText(MessageText(kMsgSaveFileCancel));
        return Outcome::Cancelled;
    }
    LogText(*path);
    // A failed save is reported; it never claims success and never leaves a
    // half-written file in place of the old one.
    if (!SaveImage(*path, buffer_, selectedChip_.capacity)) {
        ShowError(MessageText(kMsgOpenFileError));
        MessageBox(MessageText(kMsgOpenFileError));
        return Outcome::FileError;
    }
    ShowInfo(MessageText(kMsgSaveFileOk));
    return Outcome::Ok;
}

void ProgrammerCore::SetFileCaption(const std::string& path) {
    captionSuffix_ = FileCaptionSuffix(path);
    host_.SetCaption(Caption());
}

std::string ProgrammerCore::Caption() const {
    return MessageText(kMsgCaption) + captionSuffix_;
}

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer and image-file commands of the window.
#include "base/MessageTable.h"
#include "buffer/BufferEdits.h"
#include "buffer/ImageFile.h"
#include "core/RecordErrorText.h"
#include "gui/WindowPresenter.h"
#include "ops/OperationFramework.h"

namespace qbr::gui {

Outcome WindowPresenter::OnBufferFill() {
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    const auto request = view_.AskBufferFill();
    if (!request) return Outcome::Cancelled;
    DataBuffer& buffer = workspace_.Buffer();
    const EditCheck check = request->valid ? FillRange(buffer, request->start, request->length, request->fillByte)
                                           : EditCheck::AddressFormatError;
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)), BoxButtons::Ok);
        return Outcome::Failed;
    }
    view_.RefreshHexView();
    return Outcome::Ok;
}

Outcome WindowPresenter::OnByteSwap() {
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    ByteSwap(workspace_.Buffer());
    view_.RefreshHexView();
    return Outcome::Ok;
}

Outcome WindowPresenter::OnAddressLocation() {
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    const auto request = view_.AskAddressLocation();
    if (!request) return Outcome::Cancelled;
    const EditCheck check = CheckEditAddress(request->valid, request->address, workspace_.Buffer().activeLength);
    if (check != EditCheck::Ok) {
        MessageBox(MessageText(EditCheckMessage(check)), BoxButtons::Ok);
        return Outcome::Failed;
    }
    view_.GoToAddress(request->address);
    return Outcome::Ok;
}

// The error of a load that failed; nullopt when it loaded.
std::optional<RecordError> WindowPresenter::LoadImageFile(const std::string& path) {
    const ImageLoadResult load = LoadImage(path, workspace_.Buffer(), workspace_.SelectedChip().capacity);
    if (load.tooLong) MessageBox(MessageText(kMsgFileTooLong), BoxButtons::Ok);
    // A failed load may have changed the buffer too (Intel HEX records placed
    // before a fault, a raw read cut short), so the view and its checksum are
    // refreshed whatever the outcome.
    view_.RefreshHexView();
    if (load.outcome == ImageLoadResult::Outcome::Loaded) return std::nullopt;
    return load.error;
}

Outcome WindowPresenter::LoadFileAndReport(const std::string& path) {
    core_.LogText(path);
    if (const auto error = LoadImageFile(path)) {
        MessageBox(MessageText(kMsgOpenFileError), BoxButtons::Ok);
        core_.LogText(MessageText(kMsgOpenFileError));
        if (error->fault != RecordFault::None) core_.LogText(RecordErrorText(*error));
        return Outcome::FileError;
    }
    SetFileCaption(path);
    return Outcome::Ok;
}

Outcome WindowPresenter::OnOpenFile() {
    core_.LogText(MessageText(kMsgLoadFile));
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    const auto path = view_.AskOpenFile();
    if (!path) {
        core_.LogText(MessageText(kMsgLoadFileCancel));
        return Outcome::Cancelled;
    }
    return LoadFileAndReport(*path);
}

Outcome WindowPresenter::OnDropFiles(const std::vector<std::string>& paths) {
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    if (paths.size() != 1) {
        MessageBox(MessageText(kMsgDropFileError), BoxButtons::Ok);
        return Outcome::Failed;
    }
    return LoadFileAndReport(paths.front());
}

Outcome WindowPresenter::LoadCommandLineFile(const std::string& path) {
    if (!LoadImageFile(path)) return Outcome::Ok;
    MessageBox(MessageText(kMsgOpenFileError), BoxButtons::Ok);
    return Outcome::FileError;
}

Outcome WindowPresenter::OnSaveFile() {
    core_.LogText(MessageText(kMsgSaveFile));
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    const auto path = view_.AskSaveFile();
    if (!path) {
        core_.LogText(MessageText(kMsgSaveFileCancel));
        return Outcome::Cancelled;
    }
    core_.LogText(*path);
    // A failed save is reported; it never claims success and never leaves a
    // half-written file in place of the old one.
    const bool saved = SaveImage(*path, workspace_.Buffer(), workspace_.SelectedChip().capacity);
    core_.Show(saved ? CommandResult(Outcome::Ok, {.status = MessageText(kMsgSaveFileOk)})
                     : Failure(kMsgOpenFileError));
    return saved ? Outcome::Ok : Outcome::FileError;
}

void WindowPresenter::SetFileCaption(const std::string& path) {
    captionSuffix_ = FileCaptionSuffix(path);
    view_.SetCaption(Caption());
}

std::string WindowPresenter::Caption() const {
    return MessageText(kMsgCaption) + captionSuffix_;
}

}  // namespace qbr::gui

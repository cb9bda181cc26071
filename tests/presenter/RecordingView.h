// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/WindowView.h"

#include <optional>
#include <string>
#include <vector>

namespace qbr::test {

// A window that remembers what the presenter showed, for assertions.
class RecordingView : public gui::WindowView {
public:
    void SetStatusText(const std::string& text) override { statusText = text; }
    void SetErrorColour(bool error) override { errorColour = error; }
    void SetProgressDisplay(int, const std::string&, bool) override {}
    void SetCapacityText(const std::string& text) override { capacityText = text; }
    void OfferCommandsFor(ChipFamily family) override { offeredFor = family; }
    void ShowSelectors(const SelectorLists& lists) override { selectors = lists; }
    void BindHexView() override { ++hexViewBinds; }
    void RefreshHexView() override { ++hexViewRefreshes; }
    void GoToAddress(uint32_t address) override { goneTo = address; }
    void FocusHexView() override { ++hexViewFocus; }
    void SetCaption(const std::string& text) override { caption = text; }
    std::optional<std::string> AskOpenFile() override { return openAnswer; }
    std::optional<std::string> AskSaveFile() override { return saveAnswer; }
    std::optional<gui::FillRequest> AskBufferFill() override { return fillAnswer; }
    std::optional<gui::LocateRequest> AskAddressLocation() override { return locateAnswer; }
    std::optional<std::string> AskFirmwareFile() override { return std::nullopt; }
    std::optional<std::string> AskChipSearch() override { return std::nullopt; }
    bool MessageBox(const std::string& text, BoxButtons) override {
        boxes.push_back(text);
        return true;
    }

    std::string statusText;
    bool errorColour = false;
    std::string capacityText;
    ChipFamily offeredFor = ChipFamily::Unknown;
    SelectorLists selectors;
    int hexViewBinds = 0;
    int hexViewFocus = 0;
    int hexViewRefreshes = 0;
    std::optional<uint32_t> goneTo;
    std::string caption;
    // Answers of the dialogs; nullopt = Cancel.
    std::optional<std::string> openAnswer;
    std::optional<std::string> saveAnswer;
    std::optional<gui::FillRequest> fillAnswer;
    std::optional<gui::LocateRequest> locateAnswer;
    std::vector<std::string> boxes;
};

}  // namespace qbr::test

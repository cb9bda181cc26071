// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgrammerCore.h"
#include "gui/ExtrasPresenter.h"
#include "gui/ExtrasView.h"
#include "gui/ProgrammerPicker.h"
#include "gui/UnsavedEdits.h"
#include "gui/WindowPresenter.h"
#include "gui/WindowView.h"
#include "ops/CommandTable.h"
#include "ops/MakeLink.h"

#include <QMainWindow>
#include <QTimer>
#include <QTranslator>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QToolBar;

namespace qbr::gui {

class ChipMap;
class HexView;

// The program's one window: menu, toolbar, chip selectors, the buffer's view,
// progress and status. Its presenter decides what it shows.
class MainDlg : public QMainWindow, public WindowView, public ExtrasView {
    Q_OBJECT
public:
    // Answers a message box in place of showing it; returns true for OK.
    using BoxResponder = std::function<bool(const std::string& text, BoxButtons buttons)>;
    // Answers a file dialog in place of showing it: the chosen path, or nullopt for Cancel.
    using FileResponder = std::function<std::optional<std::string>(bool save)>;

    explicit MainDlg(QWidget* parent = nullptr);
    ~MainDlg() override;

    // Labels the window for the language, shows it and starts the core: chip
    // database, buffer, default chip, then the link to the programmer; so a box
    // the start brings up (no programmer, no database) comes up over the window. After a database
    // error the window stays open with the buffer and chip commands disabled;
    // when memory runs out it closes. The link is the one SetLink asked for; the chip
    // of an emulated socket is selected for this run without becoming the configured
    // chip.
    Workspace::StartResult Initialise();
    // Loads the image file named on the command line; false when it couldn't be loaded.
    bool LoadStartFile(const std::string& path);
    // Before Initialise: how to reach the programmer. A trace file it names is made
    // now and begins with `header`, completed by the chip and access path the link starts with.
    std::optional<LinkError> SetLink(LinkRequest request, TraceHeader header);
    // At the end: every emulated chip with an image file is written back into it;
    // false, and said on standard error, when one can't be or the trace was cut short.
    bool KeepLinkFiles() const;
    // Whether the start had to refuse the programmer asked for (its chip image, say)
    // and go on with another: the run did not do what the command line asked.
    bool LinkRefused() const { return linkRefused_; }

    // Message boxes go to `responder` instead of the screen while one is set.
    void SetBoxResponder(BoxResponder responder) { responder_ = std::move(responder); }
    // File dialogs go to `responder` instead of the screen while one is set.
    void SetFileResponder(FileResponder responder) { fileResponder_ = std::move(responder); }

    // Applies the current language to menus, toolbar, labels, caption, pictures and Qt's own texts.
    void Relabel();

    ProgrammerCore& Core() { return presenter_.Core(); }
    WindowPresenter& Presenter() { return presenter_; }
    // The emulated programmer when the window runs on one, else null.
    EmulatedProgrammer* Emulator() {
        EmulatedProgrammer* picked = picker_.PickedEmulator();
        return picked ? picked : linkEnd_.emulator.get();
    }
    // The menu and toolbar action of a command, or the menu action of an extra
    // item; null for a number without one.
    QAction* CommandAction(int command) const;

    // WindowView
    void SetStatusText(const std::string& text) override;
    void SetErrorColour(bool error) override;
    void SetProgressDisplay(int position, const std::string& label, bool barInError) override;
    void SetCapacityText(const std::string& text) override;
    void OfferCommandsFor(ChipFamily family) override;
    void ShowSelectors(const SelectorLists& lists) override;
    void BindHexView() override;
    void RefreshHexView() override;
    void GoToAddress(uint32_t address) override;
    void FocusHexView() override;
    void SetCaption(const std::string& text) override;
    std::optional<std::string> AskOpenFile() override;
    std::optional<std::string> AskSaveFile() override;
    std::optional<FillRequest> AskBufferFill() override;
    std::optional<LocateRequest> AskAddressLocation() override;
    std::optional<std::string> AskFirmwareFile() override;
    std::optional<std::string> AskChipSearch() override;
    bool MessageBox(const std::string& text, BoxButtons buttons) override;

    // ExtrasView
    void ShowExtraItems(bool shown) override;
    void CheckExtraItem(ExtraCommandId id, bool checked) override;
    bool OpenFolder(const std::string& path) override;
    void ShowDifferences() override;
    void ShowChipMap(bool shown) override;
    void SelectBytes(uint32_t start, uint32_t length) override;
    uint32_t CaretAddress() const override;
    std::optional<FindRequest> AskFind(const FindRequest& last) override;

protected:
    // Every way out ends here: Exit, Escape, the window's close button and the
    // window manager's close. While a chip command runs it refuses; while edits
    // would be lost it asks first, and No stays.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolbar();
    void CreateControls();
    void CreateExtraItems();
    void RelabelExtraItems();
    // The chip map right of the view's scroll bar, and the view's hooks for the marks and the map.
    void CreateChipMap(QHBoxLayout* hexRow);
    // The buffer's bytes were replaced (`rebound`: for another length too): the marks go, the map follows.
    void AfterBufferReplaced(bool rebound);
    void ConnectCommands();
    void DisableAfterDatabaseError();
    void SelectEmulatedChip();
    std::unique_ptr<UsbLink> MakeLink();
    void RefuseLink(const std::string& why);

    void RunCommand(const CommandRow& row);
    bool AskYesNo(const QString& question);

    void FollowQtTexts(bool english);
    void OnLanguage(const char* language);
    void OnLinkWatch();
    void OnUserManual();

    // Several programmers (MainDlgProgrammers.cpp).
    bool PickingProgrammers() const;
    std::unique_ptr<UsbLink> LinkToPickedProgrammer();
    void ListProgrammers();
    void CheckPickedProgrammer();
    void PickProgrammer(const ProgrammerSlot& slot);
    QString NameLinkedProgrammer(const QString& linkText);

    LinkRequest linkRequest_;
    TraceHeader traceHeader_;
    bool linkRefused_ = false;
    // Declared before the presenter, whose session holds the link to it.
    LinkEnd linkEnd_;
    // The programmers to pick from while the extras are shown, with their link
    // ends: declared before the presenter too.
    ProgrammerPicker picker_;
    WindowPresenter presenter_{*this};
    ProgrammerCore& core_ = presenter_.Core();
    ExtrasPresenter extras_{*this, presenter_};
    UnsavedEdits unsavedEdits_{core_.Buffer()};
    // Qt's own texts (message-box buttons, file dialogs) in the window's language:
    // Qt's Simplified Chinese catalogue, where Qt's translations are installed, is
    // in use while the language is Chinese.
    QTranslator qtTranslator_;
    bool qtTranslatorInstalled_ = false;
    BoxResponder responder_;
    FileResponder fileResponder_;

    std::map<int, QAction*> actions_;
    // The extra items and the separators before them, hidden while the extras are.
    std::map<int, QAction*> extraActions_;
    std::vector<QAction*> extraSeparators_;
    // One radio item per attached programmer, after a separator, while several are.
    std::vector<QAction*> programmerActions_;
    std::vector<QMenu*> popups_;
    QToolBar* toolbar_ = nullptr;
    QTimer linkTimer_;

    QLabel* mainPicture_ = nullptr;
    QGroupBox* chipGroup_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QLabel* typeLabel_ = nullptr;
    QComboBox* typeCombo_ = nullptr;
    QLabel* makerLabel_ = nullptr;
    QComboBox* makerCombo_ = nullptr;
    QLabel* chipLabel_ = nullptr;
    QComboBox* chipCombo_ = nullptr;
    QLabel* capacityLabel_ = nullptr;
    QLabel* capacityText_ = nullptr;
    HexView* hexView_ = nullptr;
    QScrollBar* hexScrollBar_ = nullptr;
    ChipMap* chipMap_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* percentText_ = nullptr;
    QLabel* statusText_ = nullptr;
    QLabel* checksumText_ = nullptr;
    QLabel* linkText_ = nullptr;
};

}  // namespace qbr::gui

// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/MainDlg.h"

#include "base/ConfiguredFiles.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "core/CommandId.h"
#include "gui/AboutDlg.h"
#include "gui/AddressLocateDlg.h"
#include "gui/BufferFillDlg.h"
#include "gui/ChipSearchDlg.h"
#include "gui/HexView.h"
#include "gui/MenuTexts.h"
#include "gui/Pictures.h"
#include "gui/ToolbarIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

namespace qbr::gui {
namespace {

constexpr int kLinkWatchPeriodMs = 500;

const QColor kErrorText(255, 0, 0);
const QColor kNormalText(0, 0, 0);
const QColor kBarNormal(49, 106, 197);
const QColor kBarError(255, 0, 0);

// The file types the save dialog offers, each with the suffix a name typed without
// one gets.
struct SaveFilter {
    const char* filter;
    const char* suffix;
};
constexpr SaveFilter kSaveFilters[] = {{"Bin File(*.bin)", "bin"}, {"Intel HEX (*.hex)", "hex"}};

// Toolbar buttons: the English toolbar has wider buttons than the Chinese one.
const QSize kEnglishButton(46, 38);
const QSize kChineseButton(38, 38);
const QSize kToolbarIcon(26, 26);

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QString ProgressBarStyle(const QColor& chunk) {
    return QString(
               "QProgressBar { border: 1px solid #808080; background: white; }"
               "QProgressBar::chunk { background-color: %1; }")
        .arg(chunk.name());
}

void FillSelector(QComboBox* combo, const std::vector<std::string>& entries, int selected) {
    QSignalBlocker blocker(combo);
    combo->clear();
    for (const auto& entry : entries) combo->addItem(QString::fromStdString(entry));
    combo->setCurrentIndex(selected);
}

}  // namespace

MainDlg::MainDlg(QWidget* parent) : QMainWindow(parent) {
    setObjectName("mainDlg");
    setAcceptDrops(true);
    CreateActions();
    CreateMenus();
    CreateExtraItems();
    CreateToolbar();
    CreateControls();
    ConnectCommands();
    extras_.Start();
    linkTimer_.callOnTimeout(this, &MainDlg::OnLinkWatch);
    // A command waits for its transfer on the UI thread: one waiting event is
    // handled per pass, so a command chosen meanwhile runs and is refused as busy.
    core_.Session().SetWait([] {
        QCoreApplication::processEvents();
        PausePolling();
    });
}

MainDlg::~MainDlg() = default;

Workspace::StartResult MainDlg::Initialise() {
    Relabel();
    show();
    const auto result = presenter_.Start();
    unsavedEdits_.Keep();
    if (result == Workspace::StartResult::Ready) {
        SelectEmulatedChip();
        core_.ConnectLink(MakeLink());
        // The status texts of the start pumped events, so the first link watch may
        // have run before the link existed: look again at once.
        linkTimer_.start(0);
    }
    if (result == Workspace::StartResult::DatabaseError) DisableAfterDatabaseError();
    if (result == Workspace::StartResult::OutOfMemory) close();
    return result;
}

bool MainDlg::LoadStartFile(const std::string& path) {
    Outcome loaded = Outcome::Failed;
    unsavedEdits_.RunLoading([&] { loaded = presenter_.LoadCommandLineFile(path); });
    return loaded == Outcome::Ok;
}

void MainDlg::RunCommand(const CommandRow& row) {
    if (row.effect == BufferEffect::Loads) {
        unsavedEdits_.RunLoading([&] { extras_.Run(row); });
        return;
    }
    // After a successful write or save the chip or the file holds the buffer's contents.
    if (extras_.Run(row).Ok() && row.effect == BufferEffect::Stores) unsavedEdits_.Keep();
}

void MainDlg::closeEvent(QCloseEvent* event) {
    // A chip command runs inside the window's event handling: the window stays
    // until it has ended, rather than disappearing while the chip is still worked on.
    if (core_.Session().IsOperationRunning()) {
        MessageBox(MessageText(kMsgProgrammerBusy), BoxButtons::Ok);
        event->ignore();
        return;
    }
    if (unsavedEdits_.Any() && !AskYesNo(Text(kMsgCloseWithEdits))) {
        event->ignore();
        return;
    }
    event->accept();
}

// No is the default and the answer of Escape or of closing the box.
bool MainDlg::AskYesNo(const QString& question) {
    if (responder_) return responder_(question.toStdString(), BoxButtons::OkCancel);
    QMessageBox box(this);
    box.setObjectName("yesNoBox");
    box.setWindowTitle(Text(kMsgCaption));
    box.setText(question);
    QPushButton* yes = box.addButton(Text(kMsgYes), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(Text(kMsgNo), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<LinkError> MainDlg::SetLink(LinkRequest request, TraceHeader header) {
    linkRequest_ = std::move(request);
    traceHeader_ = std::move(header);
    return linkRequest_.trace.empty() ? std::nullopt : OpenTrace(linkRequest_, linkEnd_);
}

// The chip named for the emulated socket is the chip worked on, as on the command
// line, for this run only: the configured chip stays the one of the next start.
void MainDlg::SelectEmulatedChip() {
    if (!linkRequest_.emulatedChip || linkRequest_.emulatedChip->empty()) return;
    const std::optional<ChipRecord> chip = core_.Database().FindByTypedName(*linkRequest_.emulatedChip);
    if (!chip) return;
    core_.Space().SetRememberSelectedChip(false);
    core_.SelectChip(*chip);
    core_.Space().SetRememberSelectedChip(true);
}

// A link that can't be made as asked is said, and the window goes on with what it
// can: the emulated programmer then holds the selected chip, without an image file
// (a refused one is neither kept nor saved over at exit). The other programmers
// keep theirs.
std::unique_ptr<UsbLink> MainDlg::MakeLink() {
    if (std::unique_ptr<UsbLink> picked = LinkToPickedProgrammer()) return picked;
    // The one programmer is emulated programmer 1, as on the command line ("%d" is 1).
    const ProgrammerSlot slot = linkRequest_.emulatedChip ? EmulatedSlot(1) : ProgrammerSlot{};
    LinkRequest fallback = linkRequest_;
    fallback.emulatedChip = "";
    fallback.emulatorImage.clear();
    if (!linkRefused_) {
        auto made = qbr::MakeLink(linkRequest_, slot, core_.Database(), core_.SelectedChip(), traceHeader_, linkEnd_);
        if (auto* link = std::get_if<std::unique_ptr<UsbLink>>(&made)) return std::move(*link);
        RefuseLink(std::get<LinkError>(made).text);
    }
    return std::get<std::unique_ptr<UsbLink>>(
        qbr::MakeLink(fallback, slot, core_.Database(), core_.SelectedChip(), traceHeader_, linkEnd_));
}

// Said where the command line that asked for it is read; the run's end status says it too.
void MainDlg::RefuseLink(const std::string& why) {
    linkRefused_ = true;
    std::cerr << why << '\n';
}

QAction* MainDlg::CommandAction(int command) const {
    for (const auto* map : {&actions_, &extraActions_}) {
        if (auto found = map->find(command); found != map->end()) return found->second;
    }
    return nullptr;
}

void MainDlg::CreateActions() {
    for (const CommandRow& row : CommandTable()) {
        auto* action = new QAction(this);
        action->setObjectName(QString("action%1").arg(row.id));
        if (row.icon != CommandIcon::NoButton) action->setIcon(ToolbarIcon(row.icon));
        actions_[row.id] = action;
    }
    actions_[kCmdEnglish]->setCheckable(true);
    actions_[kCmdChinese]->setCheckable(true);
}

// Each popup holds its commands in table order, with a separator between groups.
void MainDlg::CreateMenus() {
    for (const MenuPopupTitle& title : kMenuPopupTitles) {
        QMenu* menu = menuBar()->addMenu(QString());
        int group = -1;
        for (const CommandRow& row : CommandTable()) {
            if (row.popup != title.popup) continue;
            if (group != -1 && row.group != group) menu->addSeparator();
            group = row.group;
            menu->addAction(actions_[row.id]);
        }
        popups_.push_back(menu);
    }
}

void MainDlg::CreateToolbar() {
    toolbar_ = addToolBar(QString());
    toolbar_->setObjectName("mainToolBar");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->toggleViewAction()->setVisible(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->setIconSize(kToolbarIcon);
    int group = -1;
    for (const CommandRow& row : CommandTable()) {
        if (row.icon == CommandIcon::NoButton) continue;
        if (group != -1 && row.group != group) toolbar_->addSeparator();
        group = row.group;
        toolbar_->addAction(actions_[row.id]);
    }
}

void MainDlg::CreateControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto label = [central](const char* name) {
        auto* widget = new QLabel(central);
        widget->setObjectName(name);
        return widget;
    };
    auto selector = [central](const char* name) {
        auto* combo = new QComboBox(central);
        combo->setObjectName(name);
        combo->setEditable(false);
        combo->setMinimumWidth(170);
        combo->setMaxVisibleItems(20);
        return combo;
    };

    mainPicture_ = label("mainPicture");
    mainPicture_->setPixmap(BuiltInPicture(180, 120, true));
    mainPicture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    chipGroup_ = new QGroupBox(central);
    chipGroup_->setObjectName("chipGroup");
    searchButton_ = new QPushButton(chipGroup_);
    searchButton_->setObjectName("searchButton");
    typeLabel_ = label("typeLabel");
    typeCombo_ = selector("typeCombo");
    makerLabel_ = label("makerLabel");
    makerCombo_ = selector("makerCombo");
    chipLabel_ = label("chipLabel");
    chipCombo_ = selector("chipCombo");
    capacityLabel_ = label("capacityLabel");
    capacityText_ = label("capacityText");
    capacityText_->setWordWrap(true);
    capacityText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    capacityText_->setMinimumWidth(170);
    // Room for the longest value (capacity, blank line, two-line byte-order
    // note), so selecting such a chip doesn't move the controls below.
    capacityText_->setMinimumHeight(capacityText_->fontMetrics().lineSpacing() * 4);

    auto* grid = new QGridLayout(chipGroup_);
    grid->addWidget(typeLabel_, 0, 0);
    grid->addWidget(typeCombo_, 0, 1);
    grid->addWidget(makerLabel_, 1, 0);
    grid->addWidget(makerCombo_, 1, 1);
    grid->addWidget(chipLabel_, 2, 0);
    grid->addWidget(chipCombo_, 2, 1);
    grid->addWidget(searchButton_, 0, 3);
    grid->addWidget(capacityLabel_, 1, 3);
    grid->addWidget(capacityText_, 2, 3, 2, 1);
    grid->setColumnMinimumWidth(2, 16);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(mainPicture_, 0, Qt::AlignTop);
    top->addWidget(chipGroup_, 1);

    hexView_ = new HexView(central);
    hexView_->setObjectName("hexView");
    hexScrollBar_ = new QScrollBar(Qt::Vertical, central);
    hexScrollBar_->setObjectName("hexScrollBar");
    auto* hexRow = new QHBoxLayout;
    hexRow->setSpacing(0);
    hexRow->addWidget(hexView_, 1);
    hexRow->addWidget(hexScrollBar_);
    CreateChipMap(hexRow);

    progressBar_ = new QProgressBar(central);
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(18);
    progressBar_->setStyleSheet(ProgressBarStyle(kBarNormal));
    percentText_ = label("percentText");
    percentText_->setText("0%");
    percentText_->setMinimumWidth(50);
    percentText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressBar_, 1);
    progressRow->addWidget(percentText_);

    statusText_ = label("statusText");
    checksumText_ = label("checksumText");
    linkText_ = label("linkText");
    // Long status texts are cut rather than widening the window.
    statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusText_->setMinimumWidth(200);
    // Room for the two-line texts (a detected chip and its note), so they don't
    // make the window grow.
    statusText_->setMinimumHeight(statusText_->fontMetrics().lineSpacing() * 2);
    checksumText_->setAlignment(Qt::AlignCenter);
    linkText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hexView_->Attach(hexScrollBar_, checksumText_);
    // The view is read-only while a chip transfer uses the buffer.
    hexView_->SetBusyCheck([this] { return core_.Session().IsOperationRunning(); });
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusText_, 2);
    bottom->addWidget(checksumText_, 1);
    bottom->addWidget(linkText_, 1);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addLayout(hexRow, 1);
    layout->addLayout(progressRow);
    layout->addLayout(bottom);
}

void MainDlg::ConnectCommands() {
    connect(actions_[kCmdExit], &QAction::triggered, this, &QWidget::close);
    connect(actions_[kCmdEnglish], &QAction::triggered, this, [this] { OnLanguage(kLanguageEnglish); });
    connect(actions_[kCmdChinese], &QAction::triggered, this, [this] { OnLanguage(kLanguageChinese); });
    connect(actions_[kCmdUserManual], &QAction::triggered, this, &MainDlg::OnUserManual);
    connect(actions_[kCmdAbout], &QAction::triggered, this, [this] { AboutDlg(this).exec(); });
    connect(searchButton_, &QPushButton::clicked, this, [this] { presenter_.OnSearchChip(); });

    // The buffer and programmer commands run in the presenter.
    for (const CommandRow& row : CommandTable()) {
        if (row.needsChip || row.needsProgrammer)
            connect(actions_[row.id], &QAction::triggered, this, [this, &row] { RunCommand(row); });
    }

    connect(typeCombo_, &QComboBox::activated, this,
            [this](int index) { presenter_.OnChipTypeChanged(typeCombo_->itemText(index).toStdString()); });
    connect(makerCombo_, &QComboBox::activated, this,
            [this](int index) { presenter_.OnMakerChanged(makerCombo_->itemText(index).toStdString()); });
    connect(chipCombo_, &QComboBox::activated, this,
            [this](int index) { presenter_.OnChipNameChanged(chipCombo_->itemText(index).toStdString()); });

    // Escape ends the run like closing the window. Enter deliberately does nothing here.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void MainDlg::Relabel() {
    setWindowIcon(ProgramIcon());
    SetCaption(presenter_.Caption());

    const QPixmap picture = ConfiguredPicture(ConfiguredFile::MainPicture);
    if (!picture.isNull()) mainPicture_->setPixmap(picture);

    const TextLanguage menuLanguage = MenuLanguage();
    const bool english = menuLanguage == TextLanguage::English;
    FollowQtTexts(english);
    for (size_t i = 0; i < std::size(kMenuPopupTitles); ++i) {
        popups_[i]->setTitle(QString::fromUtf8(kMenuPopupTitles[i].title.In(menuLanguage)));
    }
    actions_[kCmdEnglish]->setChecked(english);
    actions_[kCmdChinese]->setChecked(!english);
    const QSize buttonSize = english ? kEnglishButton : kChineseButton;
    for (const CommandRow& row : CommandTable()) {
        QAction* action = actions_[row.id];
        action->setText(QString::fromUtf8(row.menu.In(menuLanguage)));
        if (row.icon == CommandIcon::NoButton) continue;
        action->setToolTip(Text(row.tooltipId));
        if (QWidget* widget = toolbar_->widgetForAction(action)) widget->setFixedSize(buttonSize);
    }
    // The window is never narrower than the toolbar, so no button hides behind
    // an overflow arrow.
    centralWidget()->setMinimumWidth(
        std::max(toolbar_->sizeHint().width(), centralWidget()->layout()->minimumSize().width()));

    if (core_.Space().IsReady()) OfferCommandsFor(FamilyOf(core_.SelectedChip()));

    chipGroup_->setTitle(Text(kMsgSelectChipGroup));
    typeLabel_->setText(Text(kMsgTypeLabel));
    makerLabel_->setText(Text(kMsgMakerLabel));
    chipLabel_->setText(Text(kMsgChipLabel));
    capacityLabel_->setText(Text(kMsgCapacityLabel));
    searchButton_->setText(Text(kMsgSearchButton));
    RelabelExtraItems();

    linkTimer_.start(0);
}

void MainDlg::DisableAfterDatabaseError() {
    // Without a database there is no chip and no buffer: only the commands
    // that need neither stay available.
    for (const CommandRow& row : CommandTable()) {
        if (row.needsChip) actions_[row.id]->setEnabled(false);
    }
    for (QWidget* widget : std::initializer_list<QWidget*>{typeCombo_, makerCombo_, chipCombo_, searchButton_}) {
        widget->setEnabled(false);
    }
}

void MainDlg::FollowQtTexts(bool english) {
    if (english) {
        if (qtTranslatorInstalled_) QCoreApplication::removeTranslator(&qtTranslator_);
        qtTranslatorInstalled_ = false;
        return;
    }
    if (qtTranslatorInstalled_) return;
    if (qtTranslator_.isEmpty() &&
        !qtTranslator_.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return;
    }
    qtTranslatorInstalled_ = QCoreApplication::installTranslator(&qtTranslator_);
}

void MainDlg::OnLanguage(const char* language) {
    SetLanguage(language);
    Relabel();
    core_.ShowInfo(MessageText(kMsgLanguageSet));
}

void MainDlg::OnLinkWatch() {
    linkTimer_.start(kLinkWatchPeriodMs);
    const bool linked = core_.Session().OpenLink();
    QString text = Text(linked ? kMsgUsbLinkOk : kMsgNoUsbLink);
    if (PickingProgrammers()) text = NameLinkedProgrammer(text);
    if (linkText_->text() != text) linkText_->setText(text);
}

// A missing file and a file no program could be started for are told apart.
void MainDlg::OnUserManual() {
    const QFileInfo file(QString::fromStdString(ConfiguredFilePath(ConfiguredFile::Manual)));
    if (!file.isFile()) {
        MessageBox(MessageText(kMsgNoManualFile), BoxButtons::Ok);
        return;
    }
    const QString path = file.absoluteFilePath();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    MessageBox(MessageText(kMsgNoManualViewer) + path.toStdString(), BoxButtons::Ok);
}

// A long status text is cut at the window's edge; its tooltip shows all of it.
// Each change is drawn at once: one waiting event is handled.
void MainDlg::SetStatusText(const std::string& text) {
    statusText_->setText(QString::fromStdString(text));
    statusText_->setToolTip(statusText_->text());
    QCoreApplication::processEvents();
}

void MainDlg::SetErrorColour(bool error) {
    const QColor& colour = error ? kErrorText : kNormalText;
    SetTextColour(statusText_, colour);
    SetTextColour(percentText_, colour);
}

void MainDlg::SetProgressDisplay(int position, const std::string& label, bool barInError) {
    const QString style = ProgressBarStyle(barInError ? kBarError : kBarNormal);
    if (progressBar_->styleSheet() != style) progressBar_->setStyleSheet(style);
    progressBar_->setValue(position);
    percentText_->setText(QString::fromStdString(label));
    QCoreApplication::processEvents();
}

// The capacity value arrives with "\r\n" line breaks and blank lines behind it.
void MainDlg::SetCapacityText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    while (shown.endsWith('\n')) shown.chop(1);
    capacityText_->setText(shown);
}

void MainDlg::OfferCommandsFor(ChipFamily family) {
    for (const CommandRow& row : CommandTable()) {
        if (row.spiFlashOnly) actions_[row.id]->setEnabled(AllowedFor(row, family));
    }
}

void MainDlg::ShowSelectors(const SelectorLists& lists) {
    FillSelector(typeCombo_, lists.types, lists.typeIndex);
    FillSelector(makerCombo_, lists.makers, lists.makerIndex);
    FillSelector(chipCombo_, lists.chips, lists.chipIndex);
}

void MainDlg::BindHexView() {
    hexView_->SetData(core_.Buffer(), core_.Buffer().activeLength);
    AfterBufferReplaced(true);
}

void MainDlg::RefreshHexView() {
    hexView_->Refresh(true);
    AfterBufferReplaced(false);
}

void MainDlg::GoToAddress(uint32_t address) {
    hexView_->GoToAddress(address);
}

void MainDlg::SetCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}

std::optional<std::string> MainDlg::AskOpenFile() {
    if (fileResponder_) return fileResponder_(false);
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                      "All File(*);;Bin File(*.bin);;Hex File(*.hex);;"
                                                      "S-Record File(*.srec *.s19 *.s28 *.s37 *.mot)");
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> MainDlg::AskSaveFile() {
    if (fileResponder_) return fileResponder_(true);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({kSaveFilters[0].filter, kSaveFilters[1].filter});
    dialog.setDefaultSuffix(kSaveFilters[0].suffix);
    // A name typed without a suffix gets the one of the chosen file type.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        for (const SaveFilter& type : kSaveFilters) {
            if (filter == type.filter) dialog.setDefaultSuffix(type.suffix);
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> MainDlg::AskFirmwareFile() {
    if (fileResponder_) return fileResponder_(false);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(Text(kMsgUpdateFileFilter) + "(*.qbr)");
    dialog.setDefaultSuffix("QBR");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> MainDlg::AskChipSearch() {
    ChipSearchDlg dialog(
        core_.Database(), [this](const std::string& text) { MessageBox(text, BoxButtons::Ok); }, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.SelectedName();
}

std::optional<FillRequest> MainDlg::AskBufferFill() {
    BufferFillDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return FillRequest{dialog.Start(), dialog.Length(), dialog.FillByte(), dialog.Valid()};
}

std::optional<LocateRequest> MainDlg::AskAddressLocation() {
    AddressLocateDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return LocateRequest{dialog.Address(), dialog.Valid()};
}

void MainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    unsavedEdits_.RunLoading([&] { presenter_.OnDropFiles(paths); });
}

void MainDlg::FocusHexView() {
    hexView_->setFocus();
}

bool MainDlg::MessageBox(const std::string& text, BoxButtons buttons) {
    if (responder_) return responder_(text, buttons);
    QMessageBox box(this);
    box.setWindowTitle(Text(kMsgCaption));
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(buttons == BoxButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace qbr::gui

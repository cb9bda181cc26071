// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window in a temporary program directory, on the emulated programmer,
// with its message boxes recorded instead of shown.
#include "base/Config.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "core/CommandId.h"
#include "gui/MainDlg.h"
#include "support/TempDir.h"

#include <QtTest>
#include <QtWidgets>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace qbr::test {

class WindowFixture {
public:
    // `settings`: (section, key, value) written into the copied config.ini.
    // `emulatedChip`: empty for the selected chip, nullopt for no programmer.
    explicit WindowFixture(const std::string& language = "English",
                           std::optional<std::string> emulatedChip = std::string(),
                           const std::vector<std::array<std::string, 3>>& settings = {}, unsigned emulateCount = 1) {
        for (const char* name : {"config.ini", "chips.dat"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir_.file(name));
        }
        SetExecutableDirectory(dir_.dirText());
        WriteConfig("Run", "DefaultLanguage", language);
        for (const auto& [section, key, value] : settings) WriteConfig(section, key, value);
        LoadLanguageSetting();
        BuildMessageTable();
        link_.emulatedChip = std::move(emulatedChip);
        link_.emulateCount = emulateCount;
        Restart();
    }

    // Closes the window, if open, and starts it again as the program starts.
    void Restart() {
        window_.reset();
        window_ = std::make_unique<gui::MainDlg>();
        Answer(true);
        window_->SetLink(link_, {});
        window_->Initialise();
    }

    void Answer(bool yes) {  // records each box and answers a question with `yes`
        window_->SetBoxResponder([this, yes](const std::string& text, BoxButtons) {
            boxes << QString::fromStdString(text);
            return yes;
        });
    }

    LinkRequest& link() { return link_; }  // taken at the next Restart
    gui::MainDlg& window() { return *window_; }
    ProgrammerCore& core() { return window_->Core(); }
    QAction* Command(int command) { return window_->CommandAction(command); }
    QWidget* Button(int command) {  // the toolbar's button
        return window_->findChild<QToolBar*>("mainToolBar")->widgetForAction(Command(command));
    }
    template <typename T>
    T* Child(const char* name) {
        T* child = window_->findChild<T*>(name);
        if (!child) qFatal("no child %s", name);
        return child;
    }
    QString Status() { return Child<QLabel>("statusText")->text(); }
    std::string Log() const { return ReadFileText(dir_.file("qbr5150.log")); }
    std::string File(const std::string& name) const { return dir_.file(name).string(); }

    QStringList boxes;  // in the order shown

private:
    TempDir dir_;
    LinkRequest link_;
    std::unique_ptr<gui::MainDlg> window_;
};

// Runs `act` once the modal dialog named `objectName` is up (within two seconds).
inline void WhenDialogOpens(const QString& objectName, std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, qApp, [objectName, act = std::move(act)] {
        const auto dialog = [] { return qobject_cast<QDialog*>(QApplication::activeModalWidget()); };
        if (QTest::qWaitFor([&] { return dialog() && dialog()->objectName() == objectName; }, 2000)) act(*dialog());
    });
}

}  // namespace qbr::test

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

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <QToolBar>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qbr::test {

class WindowFixture {
public:
    // The program's directory is a copy of the build's config.ini and chip
    // database, so the tests never touch the build tree's settings; `settings`
    // (section, key, value) are written into it first.
    // `emulatedChip`: the chip in the emulated programmer's socket (empty: the
    // selected chip); nullopt runs without a programmer.
    explicit WindowFixture(const std::string& language = "English",
                           std::optional<std::string> emulatedChip = std::string(),
                           const std::vector<std::array<std::string, 3>>& settings = {}) {
        for (const char* name : {"config.ini", "chips.dat"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir_.file(name));
        }
        SetExecutableDirectory(dir_.dirText());
        WriteConfig("Run", "DefaultLanguage", language);
        for (const auto& [section, key, value] : settings) WriteConfig(section, key, value);
        LoadLanguageSetting();
        BuildMessageTable();
        window_ = std::make_unique<gui::MainDlg>();
        window_->SetBoxResponder([this](const std::string& text, BoxButtons) {
            boxes << QString::fromStdString(text);
            return true;
        });
        window_->Initialise(std::move(emulatedChip));
    }

    gui::MainDlg& window() { return *window_; }
    ProgrammerCore& core() { return window_->Core(); }
    QAction* Command(int command) { return window_->CommandAction(command); }
    // The toolbar button that shows a command.
    QWidget* Button(int command) {
        return window_->findChild<QToolBar*>("mainToolBar")->widgetForAction(Command(command));
    }

    template <typename T>
    T* Child(const char* name) {
        T* child = window_->findChild<T*>(name);
        if (!child) qFatal("no child %s", name);
        return child;
    }

    QString Status() { return Child<QLabel>("statusText")->text(); }
    // The log file as written so far.
    std::string Log() const { return ReadFileText(dir_.file("qbr5150.log")); }
    std::string File(const std::string& name) const { return dir_.file(name).string(); }

    // The texts of the message boxes shown so far, in order.
    QStringList boxes;

private:
    TempDir dir_;
    std::unique_ptr<gui::MainDlg> window_;
};

// Runs `act` once the modal dialog named `objectName` is up; it gives up after
// about two seconds, and the test that waited for the dialog then fails.
inline void WhenDialogOpens(const QString& objectName, std::function<void(QDialog&)> act) {
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(400);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, objectName, act = std::move(act)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        const bool open = dialog && dialog->objectName() == objectName;
        if (!open && --*tries > 0) return;
        timer->stop();
        timer->deleteLater();
        if (open) act(*dialog);
    });
    timer->start(5);
}

}  // namespace qbr::test

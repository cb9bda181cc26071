// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ProgrammerApp.h"

#include "base/AtomicFile.h"
#include "base/Config.h"
#include "base/ConfiguredFiles.h"
#include "base/Language.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "base/TextFill.h"
#include "gui/ExtraSettings.h"
#include "gui/ExtrasText.h"
#include "gui/MainDlg.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbr::gui {
namespace {

// Renders the initialised window into a PNG file, written whole or not at all;
// message boxes that come up meanwhile are answered with OK and echoed on standard error.
int TakeScreenshot(MainDlg& window, const QString& file) {
    window.show();
    // A few rounds let the layout settle and the first link watch run.
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QByteArray png;
    QBuffer buffer(&png);
    if (!window.grab().save(&buffer, "PNG") ||
        !AtomicFile::Replace(file.toStdString(), png.constData(), static_cast<size_t>(png.size()))) {
        std::cerr << Fill(CurrentExtrasWording().screenshotNotWritten, {file.toStdString()}) << '\n';
        return 1;
    }
    return 0;
}

// --emulate-count's number: 1 to 64 programmers, decimal or 0x-hex, as on the command line.
std::optional<unsigned> EmulateCount(const QString& text) {
    const std::optional<uint64_t> count = ParseNumber(text.toStdString());
    return count && *count >= 1 && *count <= 64 ? std::optional(static_cast<unsigned>(*count)) : std::nullopt;
}

// The window ends as the run's files say: an emulated chip that wasn't saved back,
// a trace cut short, or a programmer refused at the start (its chip image, say)
// turns a good end into a failed one.
int Finish(MainDlg& window, int code) {
    return window.KeepLinkFiles() && !window.LinkRefused() ? code : std::max(code, 1);
}

// The window's command line.
struct WindowOptions {
    QCommandLineParser parser;
    const QCommandLineOption screenshot{"screenshot", "Start, draw the window into a PNG file and exit.", "file"};
    const QCommandLineOption emulate{"emulate",
                                     "Use the emulated programmer with CHIP in its socket "
                                     "(--emulate alone: the selected chip).",
                                     "chip"};
    const QCommandLineOption emulateSpeed{"emulate-speed",
                                          "Speed of the emulated programmer's wire: unlimited (default) or full "
                                          "(USB full speed, as with a programmer).",
                                          "speed", "unlimited"};
    const QCommandLineOption trace{"trace", "Record every USB transfer of the run into a file (JSON lines).", "file"};
    const QCommandLineOption extras{"extras",
                                    "Show the window's extra items from now on (Help > Extras hides them again)."};
    const QCommandLineOption emulateCount{"emulate-count",
                                          "Emulate N (1 to 64) programmers, ids emulated-1 ... emulated-N; with the "
                                          "extras shown the Programmer menu lists them.",
                                          "N"};
    const QCommandLineOption emulateImage{"emulate-image",
                                          "Contents of the emulated chip: loaded at start, saved back at exit; the "
                                          "chip's size (a new file is an erased chip). Needs --emulate or "
                                          "--emulate-count; %d is the programmer's number.",
                                          "file"};
    const QCommandLineOption compare{"compare",
                                     "After start, compare the chip with the buffer and show the chip map (the "
                                     "extras and the map are shown from then on)."};

    WindowOptions() {
        parser.addHelpOption();
        parser.addOptions({screenshot, emulate, emulateSpeed, trace, extras, emulateCount, emulateImage, compare});
        parser.addPositionalArgument("file", "Image file to load at start.");
    }

    // "--emulate" may stand without a chip name, as on the command line: at the end
    // or before another option. The parser needs a value, so it gets an empty one.
    // The word after an option with a value is that value, whatever it looks like.
    void Process(QStringList commandLine) {
        for (qsizetype i = 1; i < commandLine.size(); ++i) {
            const bool valueFollows = i + 1 < commandLine.size() && !commandLine[i + 1].startsWith('-');
            if (QStringList{"--screenshot", "--emulate-speed", "--trace", "--emulate-image", "--emulate-count"}
                    .contains(commandLine[i]))
                ++i;
            else if (commandLine[i] == "--emulate" && !valueFollows)
                commandLine[i] = "--emulate=";
        }
        parser.process(commandLine);
    }

    // The programmer the options ask for; nullopt after saying why it can't be had.
    std::optional<LinkRequest> Link() const {
        LinkRequest link;
        if (parser.isSet(emulate)) link.emulatedChip = parser.value(emulate).toStdString();
        link.trace = parser.value(trace).toStdString();
        if (parser.isSet(emulateCount)) {
            const std::optional<unsigned> count = EmulateCount(parser.value(emulateCount));
            if (!count) {
                std::cerr << Fill(CurrentExtrasWording().badEmulateCount, {parser.value(emulateCount).toStdString()})
                          << '\n';
                return std::nullopt;
            }
            link.emulateCount = *count;
            if (!link.emulatedChip) link.emulatedChip.emplace();
        }
        link.emulatorImage = parser.value(emulateImage).toStdString();
        std::optional<LinkError> error = SetEmulatorSpeed(link, parser.value(emulateSpeed).toStdString());
        if (!error) error = CheckEmulatorOnly(link, {});
        std::string problem = error ? error->text : "";
        // The window can pick each of them, so each needs a file of its own.
        if (problem.empty() && ImageSharedByProgrammers(link)) problem = CurrentLinkWording().imageNeedsIndex;
        if (problem.empty()) problem = LinkFileClash(link, Written(), Read()).value_or("");
        if (problem.empty()) return link;
        std::cerr << problem << '\n';
        return std::nullopt;
    }

    // The files the window writes besides the link's own, and those it must not lose.
    std::vector<std::string> Written() const {
        return {parser.value(screenshot).toStdString(), ConfigFilePath(), ConfiguredFilePath(ConfiguredFile::Database)};
    }
    std::vector<std::string> Read() const {
        std::vector<std::string> read;
        for (const QString& file : parser.positionalArguments()) read.push_back(file.toStdString());
        return read;
    }

    // --extras and --compare show the extras from now on; a config.ini that can't be
    // written is said, for they would not show.
    void KeepExtras() const {
        if (parser.isSet(extras) || parser.isSet(compare)) SetExtraSetting(kExtraKeyShown, true);
        if (parser.isSet(compare)) SetExtraSetting(kExtraKeyChipMap, true);
        // Said only when they don't show: config.ini may hold them already.
        const bool asked = parser.isSet(extras) || parser.isSet(compare);
        if (asked && !ExtraSettingOn(kExtraKeyShown)) {
            std::cerr << Fill(CurrentExtrasWording().extrasNotKept, {ConfigFilePath()}) << '\n';
        }
    }
};

// Help is given without a display, which the window's application needs.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "-h" || word == "--help" || word == "--help-all" || word == "-?") return true;
    }
    return false;
}

}  // namespace

int RunProgrammerApp(int& argc, char** argv) {
    const std::string languageProblem = LoadLanguageSetting();
    BuildMessageTable();
    if (!languageProblem.empty()) {
        std::cerr << languageProblem << '\n';
        LogText(languageProblem);
    }
    if (AsksForHelp(argc, argv)) {
        QCoreApplication app(argc, argv);
        WindowOptions().Process(app.arguments());  // prints the help and ends the program
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("qbr5150");
    WindowOptions options;
    options.Process(app.arguments());
    options.KeepExtras();
    std::optional<LinkRequest> link = options.Link();
    if (!link) return 1;

    std::vector<std::string> arguments;
    for (const QString& argument : app.arguments().mid(1)) arguments.push_back(argument.toStdString());
    MainDlg window;
    if (const std::optional<LinkError> error = window.SetLink(std::move(*link), {"qbr5150", arguments, {}, {}})) {
        std::cerr << error->text << '\n';
        return 1;
    }
    const bool screenshotMode = options.parser.isSet(options.screenshot);
    if (screenshotMode) {
        window.SetBoxResponder([](const std::string& text, BoxButtons) {
            std::cerr << text << '\n';
            return true;
        });
    }
    const auto started = window.Initialise();
    if (started == Workspace::StartResult::OutOfMemory) return 1;
    // Exactly one file on the command line is an image to load. The compare asked for
    // runs only on that file or on no file named: a buffer that isn't the file the
    // user named would be compared in its place.
    const QStringList files = options.parser.positionalArguments();
    bool loaded = files.isEmpty();
    if (started == Workspace::StartResult::Ready && files.size() == 1) {
        loaded = window.LoadStartFile(files.front().toStdString());
    }
    if (started == Workspace::StartResult::Ready && options.parser.isSet(options.compare) && loaded)
        window.CommandAction(kExtraCompare)->trigger();
    if (screenshotMode) return Finish(window, TakeScreenshot(window, options.parser.value(options.screenshot)));
    return Finish(window, app.exec());
}

}  // namespace qbr::gui

#include "gui/ProgrammerApp.h"

#include "app/Language.h"
#include "app/MessageTable.h"
#include "gui/MainDlg.h"

#include <QApplication>
#include <QCommandLineParser>

#include <iostream>
#include <optional>

namespace qbr::gui {
namespace {

// Renders the initialised window into a PNG file; message boxes that come up
// meanwhile are answered with OK and echoed on standard error.
int TakeScreenshot(MainDlg& window, const QString& file) {
    window.show();
    // A few rounds let the layout settle and the first link watch run.
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    if (!window.grab().save(file, "PNG")) {
        std::cerr << "Can't write " << file.toStdString() << '\n';
        return 1;
    }
    return 0;
}

// "--emulate" may stand without a chip name; the parser needs a value, so it
// gets an empty one.
QStringList EmulateWithoutValue(QStringList arguments) {
    for (QString& argument : arguments) {
        if (argument == "--emulate") argument = "--emulate=";
    }
    return arguments;
}

}  // namespace

int ProgrammerApp::Run() {
    LoadLanguageSetting();
    BuildMessageTable();

    QApplication app(argc_, argv_);
    QApplication::setApplicationName("qbr5150");

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot("screenshot", "Start, draw the window into a PNG file and exit.", "file");
    parser.addOption(screenshot);
    const QCommandLineOption emulate("emulate", "Use the emulated programmer with CHIP in its socket "
                                                "(--emulate alone: the selected chip).", "chip");
    parser.addOption(emulate);
    parser.addPositionalArgument("file", "Image file to load at start.");
    parser.process(EmulateWithoutValue(app.arguments()));

    MainDlg window;
    const bool screenshotMode = parser.isSet(screenshot);
    if (screenshotMode) {
        window.SetBoxResponder([](const std::string& text, BoxButtons) {
            std::cerr << text << '\n';
            return true;
        });
    }
    std::optional<std::string> emulatedChip;
    if (parser.isSet(emulate)) emulatedChip = parser.value(emulate).toStdString();
    const auto started = window.Initialise(emulatedChip);
    if (started == ProgrammerCore::StartResult::OutOfMemory) return 1;
    // Exactly one file on the command line is an image to load.
    if (started == ProgrammerCore::StartResult::Ready && parser.positionalArguments().size() == 1) {
        window.Core().LoadCommandLineFile(parser.positionalArguments().front().toStdString());
    }
    if (screenshotMode) return TakeScreenshot(window, parser.value(screenshot));

    window.show();
    return app.exec();
}

}  // namespace qbr::gui

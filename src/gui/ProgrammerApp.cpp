#include "gui/ProgrammerApp.h"

#include "app/Language.h"
#include "app/MessageTable.h"
#include "gui/MainDlg.h"

#include <QApplication>
#include <QCommandLineParser>

#include <iostream>

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
    parser.addPositionalArgument("file", "Image file to load at start.");
    parser.process(app);

    MainDlg window;
    const bool screenshotMode = parser.isSet(screenshot);
    if (screenshotMode) {
        window.SetBoxResponder([](const std::string& text, BoxButtons) {
            std::cerr << text << '\n';
            return true;
        });
    }
    if (window.Initialise() == ProgrammerCore::StartResult::OutOfMemory) return 1;
    if (screenshotMode) return TakeScreenshot(window, parser.value(screenshot));

    window.show();
    return app.exec();
}

}  // namespace qbr::gui

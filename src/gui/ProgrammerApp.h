// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr::gui {

// The program's start: language and message table, the Qt application, the
// command line and the main window. The program ends when the window closes.
class ProgrammerApp {
public:
    ProgrammerApp(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    // Returns the process's exit code.
    int Run();

private:
    int& argc_;
    char** argv_;
};

}  // namespace qbr::gui

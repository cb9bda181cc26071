// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr::gui {

// The program's start: language and message table, the Qt application, the
// command line and the main window. The program ends when the window closes;
// returns the process's exit code.
int RunProgrammerApp(int& argc, char** argv);

}  // namespace qbr::gui

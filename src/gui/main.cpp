// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ProgrammerApp.h"

int main(int argc, char* argv[]) {
    return qbr::gui::RunProgrammerApp(argc, argv);
}

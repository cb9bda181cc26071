// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ProgrammerApp.h"

int main(int argc, char* argv[]) {
    qbr::gui::ProgrammerApp app(argc, argv);
    return app.Run();
}

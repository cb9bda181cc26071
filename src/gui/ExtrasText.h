// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr::gui {

// The texts of the window's extras and of its command line, in one language. "{}" stands for a value,
// filled in by Fill (base/TextFill.h).
struct ExtrasWording {
    const char* noFolderViewer;  // folder
    const char* folderNotMade;   // folder, the system's reason
    const char* backupStatus;    // file name
    const char* readsDiffer;
    const char* programmerPicked;      // id, serial number
    const char* badEmulateCount;       // the number as given
    const char* screenshotNotWritten;  // file
    const char* extrasNotKept;         // config.ini's path
    const char* settingNotKept;        // config.ini's path
    // Compare and Find
    const char* compareOffer;
    const char* compareSame;
    const char* noDifferences;
    const char* notFound;  // pattern
    const char* findCaption;
    const char* findLabel;
    const char* findHex;
    const char* findText;
    const char* findForward;
    const char* findBackward;
};

// The wording of the current language.
const ExtrasWording& CurrentExtrasWording();

}  // namespace qbr::gui

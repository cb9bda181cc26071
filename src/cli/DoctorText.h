// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/TextFill.h"

namespace qbr {

// The texts of `qbr5150-cli doctor` in one language. "{}" stands for a value,
// filled in order by Fill.
struct DoctorWording {
    const char* titleBus;
    const char* titlePath;
    const char* titlePermission;
    const char* titleDriver;
    const char* titleEndpoints;
    const char* titleProgrammer;
    const char* tagOk;
    const char* tagProblem;
    const char* tagSkipped;

    const char* emulatedBus;
    const char* found;           // count
    const char* programmerLine;  // bus-port, VID:PID, serial, device node
    const char* noSerial;
    const char* firstUsed;  // bus-port
    const char* noneFound;

    const char* pathEmulated;
    const char* pathLibrary;
    const char* pathDirectRequested;
    const char* pathDirectFallback;

    const char* accessAllowed;  // node
    const char* accessMissing;  // node
    const char* ruleFile;       // path

    const char* noInterface;
    const char* driverNone;          // interface
    const char* driverOtherProgram;  // interface
    const char* driverKernel;        // driver, interface

    const char* endpointLine;  // address, type, direction, bytes
    const char* endpointsAsExpected;
    const char* endpointsUnexpected;  // speed
    const char* noBulkPair;

    const char* openRefused;
    const char* openFailed;
    const char* noneOpened;
    const char* skippedNoProgrammer;

    const char* summaryOk;
    const char* summaryProblems;  // count
    const char* summaryNoProgrammer;
};

// The wording of the current language; English unless it is Chinese.
const DoctorWording& CurrentDoctorWording();

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr {

// The command-line tool's own messages, those the message table doesn't hold, in
// one language. "{}" stands for a value, filled in by Fill (cli/DoctorText.h).
struct CliWording {
    const char* notSpiFlash;          // chip name
    const char* rangeOutside;         // offset, length, chip name, capacity
    const char* recordsOutsideRange;  // path
    const char* skipBlankFlashOnly;
    const char* notBlank;     // address, byte
    const char* uniformData;  // byte
    const char* serializeUsage;
    const char* serialPlaced;         // number, address
    const char* noProgrammerNamed;    // id, the ids attached
    const char* programmerAmbiguous;  // serial number, the ids that have it
    const char* noneAttached;
    const char* standardStreamInBatch;
    const char* firmwareInBatch;
    const char* idInFileName;
    const char* batchOk;
    const char* batchFailed;  // exit code
    const char* accessAllowed;
    const char* accessDenied;
    const char* notAnswering;
    const char* inputNotRegular;    // path, kind
    const char* outputRefused;      // path, kind
    const char* fifoWithoutReader;  // path
    const char* firmwareNeedsYes;   // path
    const char* firmwareQuestion;   // path, bytes
    const char* firmwareNotSent;
    const char* imageTooLong;  // path, its length, room, chip, first and last address, room
    const char* inputTooLong;  // room, chip, first and last address, room
    const char* imageEmpty;    // path or standardInput
    const char* standardInput;
    const char* imagePlaced;  // first and last file address, first and last chip address
    const char* noVerifyProduction;
    const char* badNumber;  // option, text given, least, greatest
    const char* usageError;
    const char* commandFailed;
    const char* cancelled;
    const char* notForThisChip;
    const char* jsonWithDataOut;
    const char* outputError;
    const char* nothingOfImageLands;  // path
    const char* storeError;           // the store's name, what went wrong
    const char* storeUnreachable;
    const char* storeUnwritable;
    const char* storeMalformed;
    const char* storeRowGone;
    const char* noCounter;             // store, counter, store, counter
    const char* counterUsedUp;         // counter
    const char* counterFormatDiffers;  // counter, its format, the --serialize given
    const char* counterWithoutFormat;  // counter
    const char* interruptedRow;        // serial number or noNumber, command, station, programmer, time
    const char* noNumber;
    const char* unrecordedSerial;  // serial number, store, what went wrong
    const char* unrecordedChip;    // command, store, what went wrong
    const char* counterColumns;
    const char* noLimit;
    const char* counterNeedsStart;  // counter
    const char* counterFormatUsage;
    const char* exported;           // rows, file
    const char* storeCommandError;  // the store's name, what went wrong
    const char* counterBackward;    // counter, its next number
    // production report
    const char* reportTitle;
    const char* reportStore;  // store
    const char* reportAllRecords;
    const char* reportSince;  // time as given
    const char* reportMade;   // time
    const char* reportChips;
    const char* reportOk;
    const char* reportFailed;
    const char* reportInterrupted;
    const char* reportInWork;
    const char* reportYield;
    const char* reportYieldOf;  // ok chips, finished chips
    const char* reportNoYield;
    const char* reportPerHour;
    const char* reportChartWindow;  // hours
    const char* reportNoChips;
    const char* reportHour;
    const char* reportStations;
    const char* reportStation;
    const char* reportProgrammer;
    const char* reportAllProgrammers;
    const char* reportInterruptedChips;
    const char* reportInterruptedUnknown;
    const char* reportFailedChips;
    const char* reportCounter;
    const char* reportSerial;
    const char* reportChip;
    const char* reportTime;
    const char* reportCounters;
    const char* reportNext;
    const char* reportLast;
    const char* reportFree;
    const char* reportFormat;
    const char* reportNoLimit;
    const char* reportNone;
    const char* reportBadTime;     // text given
    const char* reportNoStore;     // store
    const char* reportNotAFile;    // store, kind
    const char* reportStoreError;  // store, the engine's words
    const char* reportPageAndJson;
    const char* reportPageIsStore;  // path
    const char* reportPageError;    // path
    // production export
    const char* exportIsStore;     // path
    const char* exportNoStore;     // store
    const char* counterTooWide;    // counter, number, format
    const char* counterEndsBelow;  // counter, the last number given, its next number
    // chip-sum: after the chip's CheckSum, then the file's own checksums
    const char* chipSumWhole;
    const char* fileCrc32;   // eight hex digits
    const char* fileSha256;  // sixty-four hex digits
    // detect's refusal: chip name
    const char* detectSpiOnly;
    // chip-sum - : standard input has no name to tell the file's kind by
    const char* chipSumNeedsFile;
};

// The wording of the current language; English unless it is Chinese.
const CliWording& CurrentCliWording();

}  // namespace qbr

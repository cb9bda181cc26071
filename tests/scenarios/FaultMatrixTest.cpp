// SPDX-License-Identifier: GPL-3.0-or-later
// Every programmer command against every way the emulated programmer can
// misbehave: what the user is told (status line, colour, boxes, log), that the
// command ends within the link's deadlines, what becomes of the buffer and the
// chip, and that the next command works once the programmer behaves again.
#include "base/PermissionText.h"
#include "buffer/ChangeMarks.h"
#include "chipdb/ChipType.h"
#include "ops/ChipCommands.h"
#include "ops/ChipVerify.h"
#include "ops/CommandTable.h"
#include "support/EmulatedCore.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <malloc.h>
#include <map>
#include <tuple>

namespace qbr {
namespace {

using test::Pattern;
using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using SteadyClock = std::chrono::steady_clock;

using Command = CommandId;

enum class Fault {
    Healthy,
    Unplugged,     // before the command
    UnplugMidway,  // during the data phase, for good
    ReplugMidway,  // during the data phase, back at once
    NoReply,
    StrayReplies,         // a few replies of another command before each real one
    EndlessStrayReplies,  // the real reply never comes
    Reject,
    ShortChunk,
    Stall,
    BriefWriteFailure,  // shorter than a chunk deadline: a retry gets through
    LongWriteFailure,   // longer than a chunk deadline
    FlippedByte,
    EndlessErase,
    SelfTestFailure,
    kCount
};

// What a command does under a fault, one letter each in CommandCase::underFaults.
enum class Seen : char {
    Ok = 'O',              // as on a healthy programmer
    NoLink = 'N',          // "No programmer linked to computer!"
    Fails = 'F',           // the command's own failure report
    Flipped = 'X',         // Read: success, flipped byte included; Verify and Auto: the mismatch report
    Problem = 'P',         // the self test's verdict: hardware problem
    EraseStepFails = 'E',  // Auto: the step that fails and reports; the later steps don't run
    WriteStepFails = 'W',
    VerifyStepFails = 'V',
};

constexpr size_t kFaults = static_cast<size_t>(Fault::kCount);

// The one chip of the scenarios: a 64 KiB SPI flash, sixteen 4 KiB chunks, that
// answers its identification with EF 10.
ChipRecord ScenarioChip() {
    return test::TestChip("SCEN64K").Id(0xEF, 0x10);
}

constexpr uint32_t kCapacity = 0x10000;
// Data phase faults strike here: inside the third 4 KiB chunk of chip data or of
// the firmware image (on a packet boundary, where a stalled read stops too), and
// inside the self-test block.
constexpr uint32_t kChipFaultAt = 0x2340;
constexpr uint32_t kBlockFaultAt = 500;
constexpr uint32_t kFlipAddress = 0x3456;
constexpr uint32_t kBriefFailureMs = 25;
constexpr uint32_t kLongFailureMs = 400;
constexpr uint32_t kImageSize = 0x8000;
constexpr auto kEraseTime = std::chrono::milliseconds(10);
// The firmware update's first attempt to reach the programmer comes after this pause.
constexpr uint32_t kFirstAttemptMs = 100;
// Room for the healthy part of a step and for scheduling on a busy machine.
constexpr uint32_t kSlackMs = 300;

const std::string kVersionText = "V9.87";
const std::string kSerialText = "SCN0000042";
const std::string kNoProgrammer = "No programmer linked to computer!";

// What the user sees of a command, and what it does under each fault, in the
// order of Fault:
//   heal unpl unpM repM noRe stry strE rej shrt stal wfB wfL flip busy stf
// The status line says "<what>!" at the start and "<what> error!" on failure.
struct CommandCase {
    const char* name;
    const char* underFaults;
    std::string what;
    std::string okText = "";  // "<what> ok!" when empty
    bool okTimed = true;      // the status line adds the elapsed time
    bool okBox = false;
    bool okLogged = false;  // the result has a log line of its own
    bool failBox = true;
    // Exchanges that may each run into a deadline.
    uint32_t steps = 1;

    std::string Start() const { return what + "!"; }
    std::string Ok() const { return okText.empty() ? what + " ok!" : okText; }
    std::string Fail() const { return what + " error!"; }
};

// One case for every command of the table that talks to the programmer.
const std::map<Command, CommandCase>& Cases() {
    static const std::map<Command, CommandCase> cases = {
        {kCmdReadChip, {"Read", "ONFFFOFFFFOFXOO", "Read chip"}},
        {kCmdEraseChip, {"Erase", "ONOOFOFFOOOFOFO", "Erase chip"}},
        {kCmdWriteChip, {"Write", "ONFFFOFFOFOFOOO", "Write chip"}},
        {kCmdVerifyChip, {"Verify", "ONFFFOFFFFOFXOO", "Verify chip"}},
        // Auto's failures are those of its steps.
        {kCmdAuto, {"Auto", "ONWWEOEEVWOEXEO", "Auto", "Verify chip ok!", true, false, false, true, 3}},
        {kCmdDetectChip,
         {"Detect", "ONOOFOFFOOOFOOO", "Detect chip",
          "Chip type: SCEN64K   \r\n(The real chip may be a compatible model of the same maker "
          "and capacity; reading and writing are not affected!)",
          true, true}},
        {kCmdReadFirmwareVersion,
         {"Version", "ONOOFOFOOOOFOOO", "Read firmware version", "Firmware version:  " + kVersionText + "    ", true,
          true, false, false}},
        {kCmdReadSerialNumber,
         {"Serial", "ONOOFOFOOOOFOOO", "Read Serial number", "Serial number:" + kSerialText, true, true, true, false}},
        {kCmdSelfTest,
         {"SelfTest", "ONFFFOFOOFOFOOP", "Auto test", "Auto test result: Hardware is OK!", false, true, true, false}},
        // The update's faults arrive with its first image block (see Arm).
        {kCmdUpdateFirmware, {"FirmwareUpdate", "OFFFOOOOOFOFOOO", "Firmware update", "", true, true}},
    };
    return cases;
}

// The commands of the matrix: the table's rows that talk to the programmer.
std::vector<Command> ProgrammerCommands() {
    std::vector<Command> commands;
    for (const CommandRow& row : CommandTable()) {
        if (row.needsProgrammer) commands.push_back(row.id);
    }
    return commands;
}

// Each fault's name and how the emulated programmer shows it; the data phase
// faults strike at the command's fault point.
struct FaultCase {
    const char* name;
    FaultKind kind;
    uint64_t value;
    bool dataPhase = false;
};

const FaultCase& CaseOf(Fault fault) {
    static const std::array<FaultCase, kFaults> cases = {{
        {"Healthy", FaultKind::Unplugged, 0},
        {"Unplugged", FaultKind::Unplugged, 0},
        {"UnplugMidway", FaultKind::UnplugAfter, 0, true},
        {"ReplugMidway", FaultKind::ReplugAfter, 0, true},
        {"NoReply", FaultKind::NoReply, 0},
        {"StrayReplies", FaultKind::StrayReplies, 3},
        {"EndlessStrayReplies", FaultKind::StrayReplies, EmulatorFault::kEndless},
        {"Reject", FaultKind::Reject, 0},
        {"ShortChunk", FaultKind::ShortChunk, 0, true},
        {"Stall", FaultKind::Stall, 0, true},
        {"BriefWriteFailure", FaultKind::WriteFail, kBriefFailureMs},
        {"LongWriteFailure", FaultKind::WriteFail, kLongFailureMs},
        {"FlippedByte", FaultKind::FlipByte, kFlipAddress},
        {"EndlessErase", FaultKind::BusyForever, 0},
        {"SelfTestFailure", FaultKind::SelfTestFail, 0},
    }};
    return cases[static_cast<size_t>(fault)];
}

// A programmer left waiting for data takes the next requests as data until it is
// replugged, unless it drops what was pending once the host cut a transfer off.
bool LeftWaitingForData(Command command, Fault fault, AfterAbandon behaviour) {
    const bool sendsData = command == kCmdWriteChip || command == kCmdAuto || command == kCmdUpdateFirmware;
    const bool imageFailed = command == kCmdUpdateFirmware && fault == Fault::LongWriteFailure;
    return sendsData && ((fault == Fault::Stall && behaviour == AfterAbandon::KeepPending) || imageFailed);
}

// "" when equal, otherwise where they first differ. The vectors' own comparison of
// bytes is one memcmp, quick for the 16 MiB buffer under the sanitizers too.
std::string Difference(const Bytes& actual, const Bytes& expected) {
    if (actual == expected) return "";
    const auto first = std::ranges::mismatch(actual, expected).in1;
    return "size " + std::to_string(actual.size()) + ", first difference at " + std::to_string(first - actual.begin());
}

// The part of the buffer the scenarios fill with a pattern, past the chip's end too.
constexpr size_t kWindow = 2 * kCapacity;

Bytes Splice(Bytes base, const Bytes& source, size_t count) {
    std::copy_n(source.begin(), count, base.begin());
    return base;
}

// What the user is to see at the end of a cell.
struct Expectation {
    std::string status;
    bool timed = false;
    bool red = false;
    Strings boxes;
    Strings logged;
    Strings notLogged;
};

using Cell = std::tuple<Command, Fault, AfterAbandon>;

class FaultMatrix : public test::EmulatedCoreTest, public ::testing::WithParamInterface<Cell> {
protected:
    void SetUp() override {
        Start({ScenarioChip()}, ScenarioChip().chipName);
        if (HasFatalFailure()) return;
        ConnectWith(ScenarioChip(), quick);
        Programmer().SetAfterAbandon(std::get<2>(GetParam()));
        Programmer().SetEraseTime(kEraseTime);
        Programmer().SetFirmwareVersion(kVersionText);
        Programmer().SetSerialNumber(kSerialText);
    }

    // Puts the fault in place: before the command, or for the firmware update
    // with the first block of the image, once the programmer has taken the boot
    // request (a refused boot request would hold the update in its wait for the
    // programmer for 5 to 15 s).
    void Arm(Command command, Fault fault) {
        if (fault == Fault::Healthy) return;
        const FaultCase& c = CaseOf(fault);
        const uint32_t at = command == kCmdSelfTest ? kBlockFaultAt : kChipFaultAt;
        const EmulatorFault emulated{c.kind, c.dataPhase ? at : c.value};
        if (command != kCmdUpdateFirmware) {
            Programmer().InjectFault(emulated);
            return;
        }
        auto bootSeen = std::make_shared<std::atomic<int>>(0);
        Device().SetWriteHook([this, emulated, bootSeen](std::span<const uint8_t> block) {
            if (block.size() == 23 && block[0] == 0xF2) {
                bootSeen->store(1);
            } else if (bootSeen->load() == 1) {
                bootSeen->store(2);
                Programmer().InjectFault(emulated);
            }
        });
    }

    Expectation Expect(Command commandId, Seen outcome) const {
        const CommandCase& command = Cases().at(commandId);
        Expectation e;
        e.logged = {command.Start()};
        switch (outcome) {
        case Seen::Ok:
            e.status = command.Ok();
            e.timed = command.okTimed;
            if (command.okBox) e.boxes = {e.status};
            if (command.okLogged) e.logged.push_back(e.status);
            break;
        case Seen::Flipped:
            if (commandId == kCmdReadChip) return Expect(commandId, Seen::Ok);
            {
                // Verify compares with the buffer as it is; Auto with what it has just written.
                const uint8_t bufferByte = (commandId == kCmdVerifyChip ? chipBefore_ : written_)[kFlipAddress];
                const std::string report = MismatchReport(kFlipAddress, bufferByte, bufferByte ^ 0xFF);
                e.status = "Verify chip error!";
                e.red = true;
                e.boxes = {report};
                e.logged.push_back(report);
            }
            break;
        case Seen::NoLink:
            e.status = kNoProgrammer;
            e.red = true;
            e.boxes = {kNoProgrammer};
            if (commandId == kCmdAuto) e.notLogged = {"Erase chip!", "Write chip!", "Verify chip!"};
            break;
        case Seen::Fails:
            e.status = command.Fail();
            e.red = true;
            if (command.failBox) e.boxes = {e.status};
            break;
        case Seen::Problem:
            e.status = "Auto test result: Hardware has some problems!";
            e.red = true;
            e.boxes = {e.status};
            e.logged.push_back(e.status);
            break;
        case Seen::EraseStepFails:
            e = Expect(kCmdEraseChip, Seen::Fails);
            e.notLogged = {"Write chip!", "Verify chip!"};
            e.logged.insert(e.logged.begin(), command.Start());
            break;
        case Seen::WriteStepFails:
            e = Expect(kCmdWriteChip, Seen::Fails);
            e.logged.insert(e.logged.begin(), {command.Start(), "Erase chip ok!"});
            e.notLogged = {"Verify chip!"};
            break;
        case Seen::VerifyStepFails:
            e = Expect(kCmdVerifyChip, Seen::Fails);
            e.logged.insert(e.logged.begin(), {command.Start(), "Erase chip ok!", "Write chip ok!"});
            break;
        }
        return e;
    }

    // The buffer as the command must leave it: only a read changes it, and a
    // failed read only where bytes arrived before the failure.
    Bytes ExpectedBuffer(Command command, Fault fault, Seen outcome) const {
        if (command != kCmdReadChip) return bufferBefore_;
        switch (outcome) {
        case Seen::Ok:
        case Seen::Flipped: {
            Bytes bytes = Splice(bufferBefore_, chipBefore_, kCapacity);
            if (outcome == Seen::Flipped) bytes[kFlipAddress] ^= 0xFF;
            return bytes;
        }
        case Seen::Fails: return Splice(bufferBefore_, chipBefore_, CaseOf(fault).dataPhase ? kChipFaultAt : 0);
        default: return bufferBefore_;
        }
    }

    // The chip as the command must leave it. A write that stops midway has
    // programmed the bytes the programmer took before the fault.
    Bytes ExpectedChip(Command command, Fault fault, Seen outcome) const {
        const Bytes erased(kCapacity, 0xFF);
        const size_t taken = CaseOf(fault).dataPhase ? kChipFaultAt : 0;
        // A programmer whose busy status never clears has erased the chip all the
        // same; only its report never ends, and the erase runs out of time.
        const bool erasedAnyway = fault == Fault::EndlessErase;
        switch (command) {
        case kCmdEraseChip: return outcome == Seen::Ok || erasedAnyway ? erased : chipBefore_;
        case kCmdWriteChip: return outcome == Seen::Ok ? written_ : Splice(erased, written_, taken);
        case kCmdAuto:
            switch (outcome) {
            case Seen::NoLink: return chipBefore_;
            case Seen::EraseStepFails: return erasedAnyway ? erased : chipBefore_;
            case Seen::WriteStepFails: return Splice(erased, written_, taken);
            default: return written_;
            }
        default: return chipBefore_;
        }
    }

    Bytes bufferBefore_;
    Bytes chipBefore_;
    // What Write and Auto put on the chip: the buffer's first kCapacity bytes.
    Bytes written_;
};

// Every cell allocates the program's 16 MiB buffer anew. Freed blocks of that size
// go back to the system at once by default, and faulting fresh pages in again
// costs more than a cell's own work; kept in the process, they are reused.
const bool kFreedMemoryKept = [] {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return true;
}();

TEST_P(FaultMatrix, Cell) {
    const auto [commandId, fault, behaviour] = GetParam();
    const CommandCase& command = Cases().at(commandId);
    const auto outcome = static_cast<Seen>(command.underFaults[static_cast<size_t>(fault)]);

    // The chip holds one pattern; the buffer holds the same one for Verify, so that
    // a healthy verify passes, and another one otherwise, also past the chip's end.
    chipBefore_ = Pattern(kCapacity, 0x11);
    FillBuffer(Pattern(kWindow, 0x5A));
    if (commandId == kCmdVerifyChip) FillBuffer(chipBefore_);
    written_.assign(core.Buffer().bytes.begin(), core.Buffer().bytes.begin() + kCapacity);
    if (commandId == kCmdWriteChip) chipBefore_.assign(kCapacity, 0xFF);  // a write needs an erased chip
    SetChipBytes(chipBefore_);
    MarkRange(core.Buffer(), 0x100, 0x40);  // marks inside the chip's range and beyond it
    MarkRange(core.Buffer(), kCapacity + 8, 16);
    bufferBefore_ = core.Buffer().bytes;
    const Bytes marksBefore = core.Buffer().changeMarks;
    const Bytes image = Pattern(kImageSize, 0x33);
    host.firmwareAnswer = dir->file("update.qbr").string();
    test::WriteFileText(*host.firmwareAnswer, std::string(image.begin(), image.end()));

    host.boxes.clear();
    const std::string logBefore = Log();

    // Each exchange may run into a request write, a reply and a chunk deadline.
    const uint32_t boundMs = command.steps * (2 * kChunkDeadlineMs + kReplyTimeoutMs) + kSlackMs +
                             (commandId == kCmdUpdateFirmware ? kFirstAttemptMs : 0);
    const auto start = SteadyClock::now();
    // A command that is still polling past its bound is released by clearing the
    // faults, so that a missing deadline shows as a finding instead of a hang.
    bool released = false;
    host.onPump = [&] {
        if (!released && SteadyClock::now() - start > std::chrono::milliseconds(boundMs)) {
            released = true;
            Programmer().ClearFaults();
        }
    };
    Strings statusAtBoxes;
    host.answer = [&](const std::string&) {
        statusAtBoxes.push_back(host.statusText);
        return true;
    };
    Arm(commandId, fault);
    const CommandResult result = Shown(std::ranges::find(CommandTable(), commandId, &CommandRow::id)->run(core));
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
    host.onPump = nullptr;
    host.answer = nullptr;

    EXPECT_EQ(core.Session().Protocol().State(), OperationState::Idle);
    EXPECT_EQ(core.Session().Protocol().PollOperation(), PollResult::Done);
    EXPECT_FALSE(core.Session().IsCommandRunning());

    EXPECT_FALSE(released) << "the command went on polling past " << boundMs << " ms";
    EXPECT_LE(elapsedMs, boundMs);

    const Expectation expected = Expect(commandId, outcome);
    if (expected.timed) {
        EXPECT_TRUE(IsTimed(host.statusText, expected.status)) << host.statusText;
    } else {
        EXPECT_EQ(host.statusText, expected.status);
    }
    EXPECT_EQ(host.errorColour, expected.red);
    EXPECT_EQ(host.progressBarRed, expected.red);
    if (expected.red) {
        EXPECT_EQ(host.progressLabel, "ERROR");
    }
    EXPECT_EQ(host.boxes, expected.boxes);
    // The status line already tells the result while its box is open.
    for (size_t i = 0; i < host.boxes.size() && i < statusAtBoxes.size(); ++i) {
        const std::string& box = host.boxes[i];
        EXPECT_TRUE(statusAtBoxes[i].starts_with(box.substr(0, box.find("\r\n\r\n")))) << statusAtBoxes[i];
    }
    const std::string log = Log().substr(logBefore.size());
    for (const std::string& line : expected.logged) EXPECT_NE(log.find(": " + line), std::string::npos) << line;
    for (const std::string& line : expected.notLogged) EXPECT_EQ(log.find(": " + line), std::string::npos) << line;
    EXPECT_NE(log.find(": ShowInfo: " + host.statusText), std::string::npos);

    const bool completed = !expected.red;
    EXPECT_EQ(result.outcome, completed                 ? qbr::Outcome::Ok
                              : outcome == Seen::NoLink ? qbr::Outcome::NoProgrammer
                                                        : qbr::Outcome::Failed);
    if (outcome == Seen::Flipped && !completed) {
        ASSERT_TRUE(result.mismatch);
        EXPECT_EQ(result.mismatch->address, kFlipAddress);
    }
    EXPECT_EQ(result.detected.has_value(), commandId == kCmdDetectChip && completed);

    EXPECT_EQ(Difference(core.Buffer().bytes, ExpectedBuffer(commandId, fault, outcome)), "") << "buffer";
    const bool readCompleted = commandId == kCmdReadChip && completed;
    Bytes marks = marksBefore;
    if (readCompleted) std::fill_n(marks.begin(), kCapacity / 8, 0);
    EXPECT_EQ(Difference(core.Buffer().changeMarks, marks), "") << "change marks";
    EXPECT_EQ(Difference(ChipBytes(), ExpectedChip(commandId, fault, outcome)), "") << "chip";
    EXPECT_EQ(core.SelectedChip().chipName, "SCEN64K");

    if (commandId == kCmdUpdateFirmware) {
        const size_t arrived = !completed ? (CaseOf(fault).dataPhase ? kChipFaultAt : 0) : kImageSize;
        EXPECT_EQ(Difference(Programmer().ReceivedFirmware(), Bytes(image.begin(), image.begin() + arrived)), "")
            << "image";
    }

    // The next command works once the programmer behaves again. One still waiting
    // for data fails the next command, which says it needs a replug.
    Programmer().ClearFaults();
    Device().SetWriteHook(nullptr);
    if (LeftWaitingForData(commandId, fault, behaviour) && Programmer().IsPlugged()) {
        const std::string logBeforeNext = Log();
        Shown(OnReadChip(core));
        EXPECT_EQ(host.statusText, "Read chip error!");
        EXPECT_NE(Log().substr(logBeforeNext.size()).find(ReplugNeededText()), std::string::npos);
        Programmer().Replug();
    }
    if (!Programmer().IsPlugged()) Programmer().Replug();
    host.boxes.clear();
    Shown(OnReadChip(core));
    EXPECT_TRUE(IsTimed(host.statusText, "Read chip ok!")) << "next read: " << host.statusText;
    EXPECT_TRUE(host.boxes.empty());
    const Bytes read(core.Buffer().bytes.begin(), core.Buffer().bytes.begin() + kCapacity);
    EXPECT_EQ(Difference(read, ChipBytes()), "") << "next read";
}

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    const char* behaviour = std::get<2>(info.param) == AfterAbandon::KeepPending ? "" : "_Dropping";
    return std::string(Cases().at(std::get<0>(info.param)).name) + "_" + CaseOf(std::get<1>(info.param)).name +
           behaviour;
}

std::vector<Fault> AllFaults() {
    std::vector<Fault> faults;
    for (size_t i = 0; i < kFaults; ++i) faults.push_back(static_cast<Fault>(i));
    return faults;
}

// Every cell with the stricter programmer, which insists on finishing what the
// host gave up; the faults that make the host give a transfer up once more with
// the programmer that drops it.
INSTANTIATE_TEST_SUITE_P(AllCommands, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(ProgrammerCommands()), ::testing::ValuesIn(AllFaults()),
                                            ::testing::Values(AfterAbandon::KeepPending)),
                         CellName);
INSTANTIATE_TEST_SUITE_P(AbandonedTransfers, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(ProgrammerCommands()),
                                            ::testing::Values(Fault::Stall, Fault::FlippedByte, Fault::ShortChunk),
                                            ::testing::Values(AfterAbandon::DiscardOnRequest)),
                         CellName);

}  // namespace
}  // namespace qbr

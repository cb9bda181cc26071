// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSession.h"

#include "base/Language.h"
#include "base/MessageTable.h"
#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "cli/CliText.h"
#include "cli/DatabaseCommands.h"
#include "cli/Doctor.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "emulator/EmulatedProgrammer.h"
#include "emulator/EmulatorFault.h"
#include "emulator/TraceReplay.h"
#include "link/HardwareLink.h"
#include "link/LibraryPath.h"
#include "link/ProgrammerSurvey.h"
#include "ops/ChipCommands.h"
#include "ops/ChipDetection.h"
#include "ops/Maintenance.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace qbr {

CliSession::CliSession(const CliOptions& options, std::ostream& out, std::ostream& err, bool terminal)
    : options_(options), out_(out), err_(err), host_(err, terminal && !options.quiet), core_(host_) {
    core_.rememberSelectedChip = false;
}

CliSession::~CliSession() = default;

int CliSession::Run() {
    LoadLanguageSetting();
    BuildMessageTable();
    if (!options_.language.empty())
        SetLanguageForSession(options_.language == "zh" ? kLanguageChinese : kLanguageEnglish);

    host_.SetMuted(true);
    const auto started = core_.Start(options_.database);
    host_.SetMuted(false);
    if (started != ProgrammerCore::StartResult::Ready) {
        err_ << MessageText(started == ProgrammerCore::StartResult::DatabaseError ? kMsgDatabaseError
                                                                                  : kMsgMemoryOverflow)
             << '\n';
        return kExitFileError;
    }
    if (options_.command == "chips" || options_.command == "chip") return RunDatabaseCommand();
    if (options_.command == "doctor") return RunDoctor();
    return RunProgrammerCommand();
}

int CliSession::RunDatabaseCommand() {
    if (options_.command == "chips") return ListChips(core_.database, options_.argument, out_);
    return ShowChip(core_.database, options_.argument, out_);
}

int CliSession::RunProgrammerCommand() {
    if (!options_.replay.empty() && !LoadReplay()) return kExitFileError;
    if (!SelectChip()) return kExitUsage;
    if (const int code = ConnectProgrammer(); code != kExitOk) return code;
    report_ = {{"command", options_.command}, {"chip", core_.selectedChip.chipName}, {"bytes", 0}};
    host_.SetTransferSize(core_.selectedChip.capacity);
    const auto start = std::chrono::steady_clock::now();
    const int code = ReplayOutcome(Dispatch());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (emulator_ && !options_.emulatorImage.empty() && !emulator_->Chip().SaveImage(options_.emulatorImage)) {
        err_ << Fill(CurrentCliWording().emulatorSaveError, {options_.emulatorImage}) << '\n';
    }
    if (options_.json) {
        report_["ok"] = code == kExitOk;
        report_["chip"] = core_.selectedChip.chipName;
        report_["elapsed_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        out_ << report_.dump() << '\n';
    }
    return code;
}

// The bus is surveyed first: once this process has opened the programmer, sysfs
// shows its interface as held. The report goes to the error stream when the
// output stream carries the JSON object.
int CliSession::RunDoctor() {
    const std::vector<SurveyedProgrammer> survey = options_.emulatedChip ? std::vector<SurveyedProgrammer>()
                                                                         : SurveyProgrammers();
    if (!SelectChip()) return kExitUsage;
    if (const int code = ConnectProgrammer(); code != kExitOk) return code;
    Doctor doctor(core_, host_);
    const int code = doctor.Run(options_.emulatedChip ? Doctor::Path::Emulated : Doctor::HardwarePath(libraryPath_),
                                survey);
    doctor.Print(options_.json ? err_ : out_);
    if (options_.json) {
        nlohmann::json report = doctor.Report();
        report["command"] = "doctor";
        report["ok"] = code == kExitOk;
        out_ << report.dump() << '\n';
    }
    return code;
}

// The chip named with -c, else the chip of a replayed trace or in the emulated
// programmer's socket, else the default chip the core selected at start.
bool CliSession::SelectChip() {
    std::string name = options_.chip;
    if (name.empty() && replay_) name = replay_->Header().chip;
    if (name.empty() && options_.emulatedChip) name = *options_.emulatedChip;
    if (name.empty()) return true;
    auto chip = core_.database.FindByName(name);
    if (!chip) chip = core_.database.FindByName(UpperCaseLetters(name));
    if (!chip) {
        err_ << Fill(CurrentCliWording().noChipNamed, {name}) << '\n';
        return false;
    }
    core_.selectedChip = *chip;
    core_.buffer.SetActiveLength(chip->capacity);
    return true;
}

bool CliSession::LoadReplay() {
    std::string error;
    replay_ = TraceReplay::Load(options_.replay, error);
    if (!replay_) err_ << error << '\n';
    return replay_ != nullptr;
}

// Fails only for a bad emulator setting or a trace that can't be written; a
// programmer that isn't there is the command's to report.
int CliSession::ConnectProgrammer() {
    std::unique_ptr<UsbLink> link;
    std::string accessPath = "emulated";
    if (replay_) {
        link = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*replay_));
        accessPath = "replay";
    } else if (options_.emulatedChip) {
        ChipRecord socket = core_.selectedChip;
        if (!options_.emulatedChip->empty()) {
            auto chip = core_.database.FindByName(*options_.emulatedChip);
            if (!chip) {
                err_ << Fill(CurrentCliWording().noChipNamed, {*options_.emulatedChip}) << '\n';
                return kExitUsage;
            }
            socket = *chip;
        }
        emulator_ = std::make_unique<EmulatedProgrammer>(socket);
        if (!options_.emulatorImage.empty() && !emulator_->Chip().LoadImage(options_.emulatorImage)) {
            err_ << Fill(CurrentCliWording().emulatorLoadError, {options_.emulatorImage}) << '\n';
            return kExitUsage;
        }
        if (!options_.emulatorFault.empty()) {
            try {
                emulator_->InjectFault(ParseEmulatorFault(options_.emulatorFault));
            } catch (const std::invalid_argument& e) {
                err_ << e.what() << '\n';
                return kExitUsage;
            }
        }
        if (options_.emulateFullSpeed) emulator_->SetSpeed(SpeedModel::FullSpeed());
        link = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*emulator_));
    } else {
        link = MakeHardwareLink();
        accessPath = link->UsesLibraryPath() ? "library" : "direct";
        libraryPath_ = link->UsesLibraryPath();
    }
    if (!options_.trace.empty() && !StartTrace(*link, accessPath)) return kExitFileError;
    host_.SetMuted(true);
    core_.ConnectLink(std::move(link));
    host_.SetMuted(false);
    return kExitOk;
}

// Every transfer of the link goes into the --trace file from now on.
bool CliSession::StartTrace(UsbLink& link, const std::string& accessPath) {
    std::string error;
    std::unique_ptr<TransferTrace> trace = TransferTrace::Create(options_.trace, error);
    if (!trace) {
        err_ << error << '\n';
        return false;
    }
    trace->WriteHeader({"qbr5150-cli", options_.arguments, core_.selectedChip.chipName, accessPath});
    link.SetTrace(std::move(trace));
    return true;
}

// A replay that departed from its trace, or left some of it unplayed, fails the run.
int CliSession::ReplayOutcome(int code) {
    if (!replay_) return code;
    const std::string verdict = replay_->Verdict();
    if (verdict.empty()) return code;
    err_ << verdict << '\n';
    return kExitFailed;
}

int CliSession::Dispatch() {
    const std::string& command = options_.command;
    if (command == "detect") return Detect();
    if (command == "read") return ReadChip();
    if (command == "write") return WithImage(OnWriteChip);
    if (command == "verify") return WithImage(OnVerifyChip);
    if (command == "auto") return WithImage(OnAuto);
    if (command == "erase") return Erase();
    if (command == "version") return Maintenance(OnReadFirmwareVersion);
    if (command == "serial") return Maintenance(OnReadSerialNumber);
    if (command == "selftest") return Maintenance(OnSelfTest);
    if (command == "update-firmware") return UpdateFirmware();
    return Link();
}

int CliSession::Detect() {
    OnDetectChip(core_);
    if (core_.statusIsError) return Outcome(false);
    const ChipRecord& chip = core_.selectedChip;
    nlohmann::json candidates = nlohmann::json::array();
    for (const ChipRecord& record : core_.database.Records()) {
        if (record.manufacturerId != chip.manufacturerId || record.deviceId != chip.deviceId) continue;
        out_ << (candidates.empty() ? "" : "also: ") << record.chipName << "  " << record.makerName << "  "
             << ShortCapacityText(record) << '\n';
        candidates.push_back(record.chipName);
    }
    report_["candidates"] = candidates;
    return kExitOk;
}

int CliSession::ReadChip() {
    const std::string& path = options_.argument;
    OnReadChip(core_);
    if (core_.statusIsError) return Outcome(false);
    const uint32_t size = core_.selectedChip.capacity;
    report_["bytes"] = size;
    if (path == "-") {
        out_.write(reinterpret_cast<const char*>(core_.buffer.bytes.data()), size);
        return out_ ? kExitOk : kExitFileError;
    }
    // The image file is written whole or not at all: a failed read or save never
    // leaves a truncated file behind.
    if (!SaveImage(path, core_.buffer, size)) {
        err_ << MessageText(kMsgOpenFileError) << ' ' << path << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

int CliSession::WithImage(void (*command)(ProgrammerCore&)) {
    const std::string& path = options_.argument;
    if (!(path == "-" ? LoadStandardInput() : LoadInput(path))) return kExitFileError;
    report_["bytes"] = core_.selectedChip.capacity;
    command(core_);
    if (!core_.lastStepOk && options_.json && options_.command != "write") DescribeMismatch();
    return Outcome(core_.lastStepOk);
}

bool CliSession::LoadInput(const std::string& path) {
    if (core_.LoadImageFile(path)) return true;
    err_ << MessageText(kMsgOpenFileError) << ' ' << path << '\n';
    return false;
}

// Raw bytes from standard input, as a raw image file would be loaded.
bool CliSession::LoadStandardInput() {
    const uint32_t capacity = core_.selectedChip.capacity;
    std::fill_n(core_.buffer.bytes.begin(), capacity, 0xFF);
    ClearMarks(core_.buffer, capacity);
    const size_t got = std::fread(core_.buffer.bytes.data(), 1, capacity, stdin);
    if (std::ferror(stdin)) {
        err_ << MessageText(kMsgOpenFileError) << " -\n";
        return false;
    }
    if (got == capacity && std::fgetc(stdin) != EOF) host_.MessageBox(MessageText(kMsgFileTooLong), BoxButtons::Ok);
    return true;
}

// After a failed verify: reads the whole chip once more and reports the first
// difference and how many bytes differ.
void CliSession::DescribeMismatch() {
    const uint32_t size = core_.selectedChip.capacity;
    std::vector<uint8_t> chip(size, 0x00);
    ProgrammerProtocol& protocol = core_.protocol;
    if (!core_.OpenLink() || !protocol.SetChipParameters(core_.selectedChip) ||
        !protocol.StartChipRead(chip.data(), 0, size)) {
        return;
    }
    PollResult result;
    while ((result = protocol.PollOperation()) == PollResult::Reading) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (result != PollResult::Done || protocol.GetBytesRead() < size) return;
    const uint8_t* buffer = core_.buffer.bytes.data();
    auto first = std::mismatch(buffer, buffer + size, chip.begin());
    if (first.first == buffer + size) return;
    size_t differing = 0;
    for (uint32_t i = 0; i < size; ++i) differing += buffer[i] != chip[i];
    report_["mismatch"] = {{"address", first.first - buffer}, {"buffer", *first.first}, {"chip", *first.second}};
    report_["differing_bytes"] = differing;
}

int CliSession::Erase() {
    if (core_.selectedChip.chipType != kSpiFlash) {
        err_ << Fill(CurrentCliWording().notSpiFlash, {core_.selectedChip.chipName}) << '\n';
        return kExitFailed;
    }
    OnEraseChip(core_);
    return Outcome(core_.lastStepOk);
}

// The result of a maintenance command is what its box shows.
int CliSession::Maintenance(void (*command)(ProgrammerCore&)) {
    command(core_);
    const bool ok = !core_.statusIsError;
    if (ok) {
        out_ << ConsoleHost::WithNewlines(host_.LastBox()) << '\n';
        report_["result"] = host_.LastBox();
    }
    return Outcome(ok);
}

int CliSession::UpdateFirmware() {
    host_.SetFirmwareFile(options_.argument);
    OnUpdateFirmware(core_);
    if (Said(kMsgFirmwareOpenError) || Said(kMsgFirmwareFormatError)) return kExitFileError;
    return Outcome(!core_.statusIsError && Said(kMsgFirmwareUpdateOk));
}

int CliSession::Link() {
    const bool linked = core_.OpenLink();
    out_ << MessageText(linked ? kMsgUsbLinkOk : kMsgNoUsbLink) << '\n';
    return linked ? kExitOk : kExitNoProgrammer;
}

int CliSession::Outcome(bool ok) const {
    if (ok) return kExitOk;
    if (Said(kMsgNoProgrammer) || Said(kMsgProgrammerBusy)) return kExitNoProgrammer;
    return kExitFailed;
}

bool CliSession::Said(int messageId) const {
    const std::string text = MessageText(messageId);
    if (text.empty()) return false;
    const auto& texts = host_.Texts();
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& said) { return said.rfind(text, 0) == 0; });
}

}  // namespace qbr

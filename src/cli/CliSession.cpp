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
#include "ops/CommandTable.h"

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
    core_.SetRememberSelectedChip(false);
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
    if (options_.command == "chips") return ListChips(core_.Database(), options_.argument, out_);
    return ShowChip(core_.Database(), options_.argument, out_);
}

int CliSession::RunProgrammerCommand() {
    if (!options_.replay.empty() && !LoadReplay()) return kExitFileError;
    if (!SelectChip()) return kExitUsage;
    if (const int code = ConnectProgrammer(); code != kExitOk) return code;
    report_ = {{"command", options_.command}, {"chip", core_.SelectedChip().chipName}, {"bytes", 0}};
    host_.SetTransferSize(core_.SelectedChip().capacity);
    const auto start = std::chrono::steady_clock::now();
    const int code = ReplayOutcome(Dispatch());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (emulator_ && !options_.emulatorImage.empty() && !emulator_->Chip().SaveImage(options_.emulatorImage)) {
        err_ << Fill(CurrentCliWording().emulatorSaveError, {options_.emulatorImage}) << '\n';
    }
    if (options_.json) {
        report_["ok"] = code == kExitOk;
        report_["chip"] = core_.SelectedChip().chipName;
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
    auto chip = core_.Database().FindByName(name);
    if (!chip) chip = core_.Database().FindByName(UpperCaseLetters(name));
    if (!chip) {
        err_ << Fill(CurrentCliWording().noChipNamed, {name}) << '\n';
        return false;
    }
    host_.SetMuted(true);
    core_.SelectChip(*chip);
    host_.SetMuted(false);
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
        ChipRecord socket = core_.SelectedChip();
        if (!options_.emulatedChip->empty()) {
            auto chip = core_.Database().FindByName(*options_.emulatedChip);
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
    trace->WriteHeader({"qbr5150-cli", options_.arguments, core_.SelectedChip().chipName, accessPath});
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
    const CommandRow* row = FindCliCommand(options_.command);
    if (!row) return Link();
    const ChipRecord& chip = core_.SelectedChip();
    if (!AllowedFor(*row, chip.chipType)) {
        err_ << Fill(CurrentCliWording().notSpiFlash, {chip.chipName}) << '\n';
        return kExitFailed;
    }
    switch (row->argument) {
    case ArgumentKind::ImageIn:
        if (!(options_.argument == "-" ? LoadStandardInput() : LoadInput(options_.argument))) return kExitFileError;
        report_["bytes"] = chip.capacity;
        break;
    case ArgumentKind::FirmwareFile: host_.SetFirmwareFile(options_.argument); break;
    case ArgumentKind::ImageOut:
    case ArgumentKind::NoArgument: break;
    }
    const CommandResult result = row->run(core_);
    if (!result.Ok()) {
        if (result.mismatch && options_.json) DescribeMismatch(*result.mismatch);
        return ExitCode(result.outcome);
    }
    if (row->argument == ArgumentKind::ImageOut) return SaveChipImage();
    if (result.detected) ListCandidates(*result.detected);
    if (!result.text.empty()) {
        out_ << ConsoleHost::WithNewlines(result.text) << '\n';
        report_["result"] = result.text;
    }
    return kExitOk;
}

// Every database chip with the detected chip's identification bytes.
void CliSession::ListCandidates(const ChipRecord& detected) {
    nlohmann::json candidates = nlohmann::json::array();
    for (const ChipRecord& record : core_.Database().Records()) {
        if (record.manufacturerId != detected.manufacturerId || record.deviceId != detected.deviceId) continue;
        out_ << (candidates.empty() ? "" : "also: ") << record.chipName << "  " << record.makerName << "  "
             << ShortCapacityText(record) << '\n';
        candidates.push_back(record.chipName);
    }
    report_["candidates"] = candidates;
}

// The chip just read, from the buffer into the image file (or standard output).
int CliSession::SaveChipImage() {
    const std::string& path = options_.argument;
    const uint32_t size = core_.SelectedChip().capacity;
    report_["bytes"] = size;
    if (path == "-") {
        out_.write(reinterpret_cast<const char*>(core_.Buffer().bytes.data()), size);
        return out_ ? kExitOk : kExitFileError;
    }
    // The image file is written whole or not at all: a failed read or save never
    // leaves a truncated file behind.
    if (!SaveImage(path, core_.Buffer(), size)) {
        err_ << MessageText(kMsgOpenFileError) << ' ' << path << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

bool CliSession::LoadInput(const std::string& path) {
    if (core_.LoadImageFile(path) == Outcome::Ok) return true;
    err_ << MessageText(kMsgOpenFileError) << ' ' << path << '\n';
    return false;
}

// Raw bytes from standard input, as a raw image file would be loaded.
bool CliSession::LoadStandardInput() {
    const uint32_t capacity = core_.SelectedChip().capacity;
    DataBuffer& buffer = core_.Buffer();
    std::fill_n(buffer.bytes.begin(), capacity, 0xFF);
    ClearMarks(buffer, capacity);
    const size_t got = std::fread(buffer.bytes.data(), 1, capacity, stdin);
    if (std::ferror(stdin)) {
        err_ << MessageText(kMsgOpenFileError) << " -\n";
        return false;
    }
    if (got == capacity && std::fgetc(stdin) != EOF) host_.MessageBox(MessageText(kMsgFileTooLong), BoxButtons::Ok);
    return true;
}

// After a failed verify: the first difference, and how many bytes differ, from
// one more read of the whole chip.
void CliSession::DescribeMismatch(const Mismatch& mismatch) {
    report_["mismatch"] = {{"address", mismatch.address}, {"buffer", mismatch.bufferByte}, {"chip", mismatch.chipByte}};
    const ChipRecord& chip = core_.SelectedChip();
    std::vector<uint8_t> image(chip.capacity, 0x00);
    ProgrammerProtocol& protocol = core_.Protocol();
    if (!core_.OpenLink() || !protocol.SetChipParameters(chip) ||
        !protocol.StartChipRead(image.data(), 0, chip.capacity)) {
        return;
    }
    PollResult result;
    while ((result = protocol.PollOperation()) == PollResult::Reading) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (result != PollResult::Done || protocol.GetBytesRead() < chip.capacity) return;
    const uint8_t* buffer = core_.Buffer().bytes.data();
    size_t differing = 0;
    for (uint32_t i = 0; i < chip.capacity; ++i) differing += buffer[i] != image[i];
    report_["differing_bytes"] = differing;
}

int CliSession::Link() {
    const bool linked = core_.OpenLink();
    out_ << MessageText(linked ? kMsgUsbLinkOk : kMsgNoUsbLink) << '\n';
    return linked ? kExitOk : kExitNoProgrammer;
}

// The exit code of a command's outcome; it never depends on the texts shown.
int CliSession::ExitCode(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok: return kExitOk;
    case Outcome::NoProgrammer:
    case Outcome::Busy: return kExitNoProgrammer;
    case Outcome::FileError: return kExitFileError;
    case Outcome::Failed:
    case Outcome::Cancelled:
    case Outcome::NotForThisChip: break;
    }
    return kExitFailed;
}

}  // namespace qbr

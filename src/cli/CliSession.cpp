// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSession.h"

#include "base/Language.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/FileChecks.h"
#include "cli/FirmwareQuestion.h"
#include "cli/ImageErrorReport.h"
#include "cli/ProductionRun.h"
#include "ops/ChipCommands.h"
#include "ops/ChipVerify.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace qbr {

CliSession::CliSession(const CliCommand& command, const CliOptions& options, const ProgrammerSlot& slot,
                       SharedStore& store, RunReport& report, bool terminal)
    : command_(command),
      options_(options),
      slot_(slot),
      store_(store),
      report_(report),
      host_(report.Texts(), terminal && !options.quiet) {
    workspace_.SetRememberSelectedChip(false);
}

CliSession::~CliSession() = default;

void CliSession::ChooseLanguage(const CliOptions& options, std::ostream& err) {
    const std::string problem = LoadLanguageSetting();
    BuildMessageTable();
    if (!options.language.empty()) {
        SetLanguageForSession(options.language == "zh" ? kLanguageChinese : kLanguageEnglish);
    } else if (!problem.empty()) {
        err << problem << '\n';
        LogText(problem);
    }
}

int CliSession::Run() {
    return command_.Prepares() == CliCommand::Needs::Nothing ? command_.Run(*this) : RunOnCore();
}

int CliSession::RunOnCore() {
    if (const int code = CheckFileKinds(options_, report_); code != kExitOk) return code;
    const auto started = workspace_.Start(options_.database);
    if (started != Workspace::StartResult::Ready) {
        const bool database = started == Workspace::StartResult::DatabaseError;
        return report_.Fail(database ? errors::kDatabaseError : errors::kFailed,
                            MessageText(database ? kMsgDatabaseError : kMsgMemoryOverflow), kExitFileError);
    }
    if (command_.Prepares() == CliCommand::Needs::Programmer) return RunProgrammerCommand();
    return command_.Run(*this);
}

int CliSession::RunProgrammerCommand() {
    if (!slot_.id.empty()) report_.Set("programmer", slot_.id);
    if (!options_.link.replay.empty()) {
        if (const std::optional<LinkError> error = LoadReplay(options_.link, link_)) return FailLink(*error, report_);
    }
    if (!SelectChip()) return kExitUsage;
    if (const int code = ConnectProgrammer(options_.link); code != kExitOk) return code;
    report_.Set("chip", core_.SelectedChip().chipName);
    report_.Set("bytes", 0);
    host_.SetTransferSize(core_.SelectedChip().capacity);
    const auto start = std::chrono::steady_clock::now();
    const int code = ReplayOutcome(command_.Run(*this));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    report_.Set("chip", core_.SelectedChip().chipName);
    report_.Set("elapsed_ms", std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    return KeptFiles(code);
}

// A trace cut short or an emulated chip not saved back fails a run that went well:
// what it did is not all on disk.
int CliSession::KeptFiles(int code) {
    for (const std::string& lost : KeepLinkFiles(link_, options_.link.trace)) code = FailAfterRun(code, lost);
    return code;
}

int CliSession::FailAfterRun(int code, const std::string& text) {
    report_.Fail(errors::kFileError, text, kExitFileError);
    return code == kExitOk ? kExitFileError : code;
}

bool CliSession::SelectChip() {
    std::string name = options_.chip;
    if (name.empty() && link_.replay) name = link_.replay->Header().chip;
    if (name.empty() && options_.link.emulatedChip) name = *options_.link.emulatedChip;
    if (name.empty()) return true;
    const std::optional<ChipRecord> chip = FindChip(name);
    if (!chip) return false;
    workspace_.SelectChip(*chip);
    return true;
}

std::optional<ChipRecord> CliSession::FindChip(const std::string& name) {
    std::optional<ChipRecord> chip = core_.Database().FindByTypedName(name);
    if (!chip) FailLink(NoChipNamed(name), report_);
    return chip;
}

// Fails only for a bad emulator setting or a file of the link that can't be used;
// a programmer that isn't there is the command's to report.
int CliSession::ConnectProgrammer(const LinkRequest& request) {
    auto made = MakeLink(request, slot_, core_.Database(), core_.SelectedChip(),
                         {"qbr5150-cli", options_.arguments, {}, {}}, link_);
    if (const auto* error = std::get_if<LinkError>(&made)) return FailLink(*error, report_);
    // The first open is quiet: a programmer that isn't there, or an alert of the
    // open, is the command's to report when it needs the programmer.
    session_.ConnectLink(std::get<std::unique_ptr<UsbLink>>(std::move(made)));
    session_.OpenLink();
    session_.SetAlertHandler([this](const std::string& text) { core_.MessageBox(text); });
    return kExitOk;
}

// A replay that departed from its trace, or left some of it unplayed, fails the run.
int CliSession::ReplayOutcome(int code) {
    if (!link_.replay) return code;
    const std::string verdict = link_.replay->Verdict();
    if (verdict.empty()) return code;
    // The departure is the cause of whatever the command then reported.
    return report_.FailAsCause(errors::kReplayDiffers, verdict, kExitFailed);
}

int CliSession::RunChipCommand(const CommandRow& row) {
    const ChipRecord& chip = core_.SelectedChip();
    if (!AllowedFor(row, FamilyOf(chip))) {
        return report_.Fail(errors::kNotForThisChip, Fill(CurrentCliWording().notSpiFlash, {chip.chipName}),
                            kExitFailed);
    }
    // The ID request carries the selected chip's family, and only SPI flash answers it.
    if (row.id == kCmdDetectChip && !AnswersIdRequest(FamilyOf(chip))) {
        return report_.Fail(errors::kNotForThisChip, Fill(CurrentCliWording().detectSpiOnly, {chip.chipName}),
                            kExitFailed);
    }
    ChipJobs jobs(core_, options_, report_);
    if (const int code = jobs.CheckOptions(row); code != kExitOk) return code;
    ProductionRun production(core_, options_, store_, report_);
    if (const int code = production.Check(&row, jobs.Range()); code != kExitOk) return code;
    switch (row.argument) {
    case ArgumentKind::ImageIn:
        if (!LoadImageArgument(jobs.Range())) return kExitFileError;
        report_.Set("bytes", jobs.Range().length);
        break;
    case ArgumentKind::FirmwareFile:
        if (const int code = ConfirmFirmwareFile(options_.argument, options_.yes, std::cin, isatty(STDIN_FILENO) != 0,
                                                 report_.Texts());
            code != kExitOk) {
            const CliWording& wording = CurrentCliWording();
            if (code == kExitUsage) {
                report_.Keep(errors::kConfirmationNeeded, Fill(wording.firmwareNeedsYes, {options_.argument}));
            } else {
                report_.Keep(errors::kCancelled, wording.firmwareNotSent);
            }
            return code;
        }
        host_.SetFirmwareFile(options_.argument);
        break;
    case ArgumentKind::ImageOut:
    case ArgumentKind::NoArgument: break;
    }
    if (const int code = production.Open(ProgrammerId()); code != kExitOk) return code;
    if (const int code = jobs.Backup(); code != kExitOk) return code;
    if (const int code = production.Begin(); code != kExitOk) return code;
    const int code = RunCommand(row, jobs);
    return production.End(code, jobs.Sums());
}

int CliSession::RunRecorded(const std::function<int()>& run) {
    ProductionRun production(core_, options_, store_, report_);
    if (const int code = production.Check(nullptr, {}); code != kExitOk) return code;
    if (const int code = production.Open(ProgrammerId()); code != kExitOk) return code;
    if (const int code = production.Begin(); code != kExitOk) return code;
    return production.End(run());
}

int CliSession::RunCommand(const CommandRow& row, ChipJobs& jobs) {
    if (row.id == kCmdReadChip) return jobs.Read();
    if (row.id == kCmdVerifyChip && (options_.diff || jobs.IsPartial())) return jobs.Verify();
    if (row.id == kCmdWriteChip) return jobs.Write();
    // Auto on the command line writes only the pages with data after the erase.
    const CommandResult result = row.id == kCmdAuto ? RunAuto(core_, AutoWrite::SkipBlank) : row.run(core_);
    core_.Show(result);
    if (!result.Ok()) {
        if (result.mismatch) {
            const Mismatch& mismatch = *result.mismatch;
            report_.Keep(errors::kVerifyMismatch,
                         MismatchReport(mismatch.address, mismatch.bufferByte, mismatch.chipByte));
            report_.Set("mismatch",
                        {{"address", mismatch.address}, {"buffer", mismatch.bufferByte}, {"chip", mismatch.chipByte}});
            if (options_.json) jobs.ReportDifferingBytes(mismatch);
        } else if (row.id == kCmdAuto && result.outcome == Outcome::Failed) {
            // The failed step said what went wrong; the run says that it stopped there.
            report_.Fail(errors::kFailed, CurrentCliWording().commandFailed, kExitFailed);
        }
        report_.KeepOutcome(result.outcome);
        return ExitCodeOf(result.outcome);
    }
    if (row.id == kCmdVerifyChip) {
        jobs.ReportSums(std::span(core_.Buffer().bytes).first(core_.SelectedChip().capacity));
    }
    if (result.detected) ListCandidates(*result.detected);
    if (!result.text.empty()) {
        // With --json the text is in the report; the status line said it already.
        if (!options_.json) report_.Out() << CliReporter::WithNewlines(result.text) << '\n';
        report_.Set("result", result.text);
    }
    return kExitOk;
}

// The programmer as the production store names it.
std::string CliSession::ProgrammerId() const {
    return link_.replay ? "replay" : slot_.id;
}

// Every database chip with the detected chip's identification bytes.
void CliSession::ListCandidates(const ChipRecord& detected) {
    nlohmann::json candidates = nlohmann::json::array();
    for (const ChipRecord& record : core_.Database().Records()) {
        if (record.manufacturerId != detected.manufacturerId || record.deviceId != detected.deviceId) continue;
        report_.Results() << (candidates.empty() ? "" : "also: ") << record.chipName << "  " << record.makerName << "  "
                          << ShortCapacityText(record) << '\n';
        candidates.push_back(record.chipName);
    }
    report_.Set("candidates", candidates);
}

// The image argument into the buffer at the range's addresses; nothing has been
// sent to the chip yet. An image cut to the range is shown cut, records the
// first-block rule moved are shown moved.
bool CliSession::LoadImageArgument(ChipRange range) {
    const CliWording& wording = CurrentCliWording();
    const std::string& path = options_.argument;
    const bool input = path == "-";
    const RangeImage loaded = LoadRangeImage(workspace_, range, path, input ? stdin : nullptr, options_.cut);
    if (loaded.fault != RangeLoadFault::NotLoaded && loaded.fault != RangeLoadFault::RecordsOutside) {
        const ImageLoadResult& image = loaded.image;
        const char* fit = image.empty ? "empty" : !image.tooLong ? "fits" : options_.cut ? "cut" : "too long";
        report_.Set("image", {{"length", image.length}, {"room", range.length}, {"fit", fit}});
    }
    switch (loaded.fault) {
    case RangeLoadFault::NotLoaded: ReportImageError(report_, path, loaded.image); return false;
    case RangeLoadFault::RecordsOutside:
        report_.Fail(errors::kRecordsOutsideRange, Fill(wording.recordsOutsideRange, {path}), kExitFileError);
        return false;
    case RangeLoadFault::Empty:
        report_.Fail(errors::kImageEmpty, Fill(wording.imageEmpty, {input ? wording.standardInput : path}),
                     kExitFileError);
        return false;
    case RangeLoadFault::NothingLands:
        report_.Fail(errors::kImageEmpty, Fill(wording.nothingOfImageLands, {path}), kExitFileError);
        return false;
    case RangeLoadFault::TooLong: ReportTooLong(loaded.image, range); return false;
    case RangeLoadFault::None: break;
    }
    if (loaded.image.tooLong) host_.MessageBox(MessageText(kMsgFileTooLong), BoxButtons::Ok);
    if (loaded.placed) ReportPlacement(*loaded.placed);
    return true;
}

void CliSession::ReportTooLong(const ImageLoadResult& image, ChipRange range) {
    const CliWording& wording = CurrentCliWording();
    const std::string room = std::to_string(range.length);
    const std::string chip = core_.SelectedChip().chipName;
    const std::string first = HexNumber(range.offset, 6), last = HexNumber(range.End() - 1, 6);
    const std::string text = options_.argument == "-"
                                 ? Fill(wording.inputTooLong, {room, chip, first, last, room})
                                 : Fill(wording.imageTooLong, {options_.argument, std::to_string(image.length), room,
                                                               chip, first, last, room});
    report_.Fail(errors::kImageTooLong, text, kExitFileError);
}

// Said before anything is sent.
void CliSession::ReportPlacement(const ImagePlacement& placed) {
    const uint64_t last = placed.length - 1;
    report_.Texts() << Fill(CurrentCliWording().imagePlaced,
                            {HexNumber(placed.fileAddress, 8), HexNumber(placed.fileAddress + last, 8),
                             HexNumber(placed.chipAddress, 6), HexNumber(placed.chipAddress + last, 6)})
                    << '\n';
    report_.Set("placed", {{"file_address", placed.fileAddress},
                           {"chip_address", placed.chipAddress},
                           {"length", placed.length}});
}

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSession.h"

#include "base/Language.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "buffer/ImageFile.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "cli/ChipJobs.h"
#include "cli/CliText.h"
#include "cli/DatabaseCommands.h"
#include "cli/Doctor.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/FileChecks.h"
#include "cli/FirmwareQuestion.h"
#include "cli/ImageErrorReport.h"
#include "cli/JsonReport.h"
#include "cli/ProductionRun.h"
#include "link/ProgrammerSurvey.h"
#include "ops/ChipCommands.h"
#include "ops/ChipVerify.h"
#include "ops/CommandTable.h"
#include "ops/RepeatedRead.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace qbr {

CliSession::CliSession(const CliOptions& options, const ProgrammerSlot& slot, SharedStore& store, std::ostream& out,
                       std::ostream& err, bool terminal)
    : options_(options), slot_(slot), store_(store), out_(out), err_(err), host_(err, terminal && !options.quiet) {
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

// With --json the output stream carries exactly one document: the run's report,
// also when the run stops before its command begins.
int CliSession::Run() {
    report_ = {{"command", options_.command}};
    const int code = RunOnCore();
    return options_.json ? PrintReport(report_, code, out_) : code;
}

int CliSession::RunOnCore() {
    if (const int code = CheckFileKinds(options_, err_, report_); code != kExitOk) return code;
    const auto started = workspace_.Start(options_.database);
    if (started != Workspace::StartResult::Ready) {
        const bool database = started == Workspace::StartResult::DatabaseError;
        return Fail(report_, err_, database ? errors::kDatabaseError : errors::kFailed,
                    MessageText(database ? kMsgDatabaseError : kMsgMemoryOverflow), kExitFileError);
    }
    if (options_.command == "chips" || options_.command == "chip") return RunDatabaseCommand();
    if (options_.command == "doctor") return RunDoctor();
    if (options_.command == "chip-sum") return RunChipSum();
    return RunProgrammerCommand();
}

int CliSession::RunDatabaseCommand() {
    // With --json the records are in the document; only the count goes beside it.
    std::ostream* text = options_.json ? nullptr : &out_;
    if (options_.command == "chips") {
        return ListChips(core_.Database(), options_.argument, text, options_.json ? err_ : out_, report_);
    }
    const std::optional<ChipRecord> chip = FindChip(options_.argument);
    if (!chip) return kExitUsage;
    ShowChip(*chip, text, report_);
    return kExitOk;
}

int CliSession::RunProgrammerCommand() {
    if (!slot_.id.empty()) report_["programmer"] = slot_.id;
    if (!options_.link.replay.empty()) {
        if (const std::optional<LinkError> error = LoadReplay(options_.link, link_))
            return FailLink(*error, err_, report_);
    }
    if (!SelectChip()) return kExitUsage;
    if (const int code = ConnectProgrammer(options_.link); code != kExitOk) return code;
    report_["chip"] = core_.SelectedChip().chipName;
    report_["bytes"] = 0;
    host_.SetTransferSize(core_.SelectedChip().capacity);
    const auto start = std::chrono::steady_clock::now();
    const int code = ReplayOutcome(Dispatch());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    report_["chip"] = core_.SelectedChip().chipName;
    report_["elapsed_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return KeptFiles(code);
}

// A trace cut short or an emulated chip not saved back fails a run that went well:
// what it did is not all on disk.
int CliSession::KeptFiles(int code) {
    const CliWording& wording = CurrentCliWording();
    if (link_.trace && link_.trace->Failed()) {
        code = FailAfterRun(code, Fill(wording.traceIncomplete, {options_.link.trace}));
    }
    if (link_.emulator && !link_.imagePath.empty() && !link_.image.Save(link_.emulator->Chip())) {
        code = FailAfterRun(code, Fill(wording.emulatorSaveError, {link_.imagePath}));
    }
    return code;
}

int CliSession::FailAfterRun(int code, const std::string& text) {
    Fail(report_, err_, errors::kFileError, text, kExitFileError);
    return code == kExitOk ? kExitFileError : code;
}

// chip-sum: needs the chip (its capacity) but no programmer.
int CliSession::RunChipSum() {
    report_["file"] = options_.argument;
    if (!SelectChip()) return kExitUsage;
    report_["chip"] = core_.SelectedChip().chipName;
    ChipJobs jobs(core_, options_, out_, err_, report_);
    return jobs.ChipSum();
}

// The bus is surveyed first: once this process has opened the programmer, sysfs
// shows its interface as held. The report goes to the error stream when the
// output stream carries the JSON object.
int CliSession::RunDoctor() {
    if (!slot_.id.empty()) report_["programmer"] = slot_.id;
    const std::vector<SurveyedProgrammer> survey = options_.link.emulatedChip ? std::vector<SurveyedProgrammer>()
                                                                              : SurveyProgrammers();
    if (!SelectChip()) return kExitUsage;
    // The doctor looks at the programmer itself, which a recorded trace is not.
    LinkRequest hardware = options_.link;
    hardware.replay.clear();
    if (const int code = ConnectProgrammer(hardware); code != kExitOk) return code;
    Doctor doctor(core_);
    const int code = doctor.Run(options_.link.emulatedChip ? Doctor::Path::Emulated
                                                           : Doctor::HardwarePath(link_.accessPath == "library"),
                                survey);
    doctor.Print(options_.json ? err_ : out_);
    report_.update(doctor.Report());
    return code;
}

// The chip named with -c, else the chip of a replayed trace or in the emulated
// programmer's socket, else the default chip the core selected at start.
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

// The chip of that name in the database, as given or in capitals; none after
// saying that there is none.
std::optional<ChipRecord> CliSession::FindChip(const std::string& name) {
    std::optional<ChipRecord> chip = core_.Database().FindByTypedName(name);
    if (!chip) FailLink(NoChipNamed(name), err_, report_);
    return chip;
}

// Fails only for a bad emulator setting or a file of the link that can't be used;
// a programmer that isn't there is the command's to report.
int CliSession::ConnectProgrammer(const LinkRequest& request) {
    auto made = MakeLink(request, slot_, core_.Database(), core_.SelectedChip(),
                         {"qbr5150-cli", options_.arguments, {}, {}}, link_);
    if (const auto* error = std::get_if<LinkError>(&made)) return FailLink(*error, err_, report_);
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
    report_.erase("error");
    return Fail(report_, err_, errors::kReplayDiffers, verdict, kExitFailed);
}

int CliSession::Dispatch() {
    const CommandRow* row = FindCliCommand(options_.command);
    if (!row) return Link();
    const ChipRecord& chip = core_.SelectedChip();
    if (!AllowedFor(*row, FamilyOf(chip))) {
        return Fail(report_, err_, errors::kNotForThisChip, Fill(CurrentCliWording().notSpiFlash, {chip.chipName}),
                    kExitFailed);
    }
    // The ID request carries the selected chip's family, and only SPI flash answers it.
    if (row->id == kCmdDetectChip && !AnswersIdRequest(FamilyOf(chip))) {
        return Fail(report_, err_, errors::kNotForThisChip, Fill(CurrentCliWording().detectSpiOnly, {chip.chipName}),
                    kExitFailed);
    }
    ChipJobs jobs(core_, options_, out_, err_, report_);
    if (const int code = jobs.CheckOptions(*row); code != kExitOk) return code;
    ProductionRun production(core_, options_, store_, err_, report_);
    if (const int code = production.Check(*row, jobs.Range()); code != kExitOk) return code;
    switch (row->argument) {
    case ArgumentKind::ImageIn:
        if (!LoadImageArgument(jobs.Range())) return kExitFileError;
        report_["bytes"] = jobs.Range().length;
        break;
    case ArgumentKind::FirmwareFile:
        if (const int code = ConfirmFirmwareFile(options_.argument, options_.yes, std::cin, isatty(STDIN_FILENO) != 0,
                                                 err_);
            code != kExitOk) {
            const CliWording& wording = CurrentCliWording();
            if (code == kExitUsage) {
                KeepError(report_, errors::kConfirmationNeeded, Fill(wording.firmwareNeedsYes, {options_.argument}));
            } else {
                KeepError(report_, errors::kCancelled, wording.firmwareNotSent);
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
    return production.End(RunCommand(*row, jobs));
}

int CliSession::RunCommand(const CommandRow& row, ChipJobs& jobs) {
    if (row.id == kCmdReadChip) return jobs.Read();
    if (row.id == kCmdVerifyChip && (options_.diff || jobs.IsPartial())) return jobs.Verify();
    if (row.id == kCmdWriteChip && (jobs.IsPartial() || !options_.skipBlank.empty())) return jobs.Write();
    // Auto on the command line writes only the pages with data after the erase.
    const CommandResult result = row.id == kCmdAuto ? RunAuto(core_, AutoWrite::SkipBlank) : row.run(core_);
    core_.Show(result);
    if (!result.Ok()) {
        if (result.mismatch) {
            const Mismatch& mismatch = *result.mismatch;
            KeepError(report_, errors::kVerifyMismatch,
                      MismatchReport(mismatch.address, mismatch.bufferByte, mismatch.chipByte));
            report_["mismatch"] = {{"address", mismatch.address},
                                   {"buffer", mismatch.bufferByte},
                                   {"chip", mismatch.chipByte}};
            if (options_.json) jobs.ReportDifferingBytes();
        } else if (row.id == kCmdAuto && result.outcome == Outcome::Failed) {
            // The failed step said what went wrong; the run says that it stopped there.
            Fail(report_, err_, errors::kFailed, CurrentCliWording().commandFailed, kExitFailed);
        }
        KeepOutcomeError(report_, result.outcome, options_.command);
        return ExitCodeOf(result.outcome);
    }
    if (row.id == kCmdWriteChip) {
        const ChipRange written[] = {jobs.Range()};
        return jobs.VerifyWritten(written);
    }
    if (row.id == kCmdVerifyChip) {
        report_.update(jobs.PrintSums(std::span(core_.Buffer().bytes).first(core_.SelectedChip().capacity)));
    }
    if (result.detected) ListCandidates(*result.detected);
    if (!result.text.empty()) {
        // With --json the text is in the report; the status line said it already.
        if (!options_.json) out_ << CliReporter::WithNewlines(result.text) << '\n';
        report_["result"] = result.text;
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
        (options_.json ? err_ : out_) << (candidates.empty() ? "" : "also: ") << record.chipName << "  "
                                      << record.makerName << "  " << ShortCapacityText(record) << '\n';
        candidates.push_back(record.chipName);
    }
    report_["candidates"] = candidates;
}

// The image argument into the buffer at the range's addresses. A raw file (or
// standard input) holds the range's bytes: loaded as a file of the range's length
// would be for the whole chip, then moved to its offset. A record file carries
// chip addresses, as read --offset writes them: its records stay at their
// addresses and must keep inside the range. Nothing has been sent to the chip yet.
bool CliSession::LoadImageArgument(ChipRange range) {
    const std::string& path = options_.argument;
    if (path != "-" && IsRecordFileName(path) && range != WholeChip(core_.SelectedChip())) {
        return LoadRecordsInRange(path, range);
    }
    const ImageLoadResult image = path == "-" ? LoadStandardInput(range.length) : LoadInput(path, range.length);
    if (image.outcome != ImageLoadResult::Outcome::Loaded || !AcceptImage(image, range)) return false;
    std::vector<uint8_t>& bytes = core_.Buffer().bytes;
    if (range.offset != 0) {
        std::memmove(bytes.data() + range.offset, bytes.data(), range.length);
        std::fill_n(bytes.begin(), std::min(range.offset, range.length), 0xFF);
    }
    return true;
}

bool CliSession::LoadRecordsInRange(const std::string& path, ChipRange range) {
    const uint32_t capacity = core_.SelectedChip().capacity;
    const ImageLoadResult result = LoadImage(path, core_.Buffer(), capacity, RecordPlacement::AtOwnAddresses);
    if (result.outcome != ImageLoadResult::Outcome::Loaded) {
        ReportImageError(err_, report_, path, result);
        return false;
    }
    const std::span<const uint8_t> image = std::span(core_.Buffer().bytes).first(capacity);
    if (result.tooLong || !AllBytesAre(image.first(range.offset), 0xFF) ||
        !AllBytesAre(image.subspan(range.End()), 0xFF)) {
        Fail(report_, err_, errors::kRecordsOutsideRange, Fill(CurrentCliWording().recordsOutsideRange, {path}),
             kExitFileError);
        return false;
    }
    ImageLoadResult inRange = result;  // its length from the range's start
    inRange.length = result.length > range.offset ? result.length - range.offset : 0;
    return AcceptImage(inRange, range);
}

ImageLoadResult CliSession::LoadInput(const std::string& path, uint32_t length) {
    const ImageLoadResult result = LoadImage(path, core_.Buffer(), length);
    if (result.outcome != ImageLoadResult::Outcome::Loaded) ReportImageError(err_, report_, path, result);
    return result;
}

// Raw bytes from standard input, as a raw image file would be loaded.
ImageLoadResult CliSession::LoadStandardInput(uint32_t length) {
    const ImageLoadResult result = LoadRawStream(stdin, core_.Buffer(), length);
    if (result.outcome != ImageLoadResult::Outcome::Loaded) ReportImageError(err_, report_, "-", result);
    return result;
}

// An empty image is refused, and so is one longer than the range unless --cut
// asks for its first part; records the first-block rule moved are shown moved.
bool CliSession::AcceptImage(const ImageLoadResult& image, ChipRange range) {
    const CliWording& wording = CurrentCliWording();
    const std::string& path = options_.argument;
    const bool input = path == "-";
    report_["image"] = {{"length", image.length}, {"room", range.length}};
    switch (image.Fit()) {
    case ImageFit::Empty:
        report_["image"]["fit"] = "empty";
        Fail(report_, err_, errors::kImageEmpty, Fill(wording.imageEmpty, {input ? wording.standardInput : path}),
             kExitFileError);
        return false;
    case ImageFit::TooLong:
        report_["image"]["fit"] = options_.cut ? "cut" : "too long";
        if (options_.cut && NothingLands(range)) {
            Fail(report_, err_, errors::kImageEmpty, Fill(wording.nothingOfImageLands, {path}), kExitFileError);
            return false;
        }
        if (options_.cut) {
            host_.MessageBox(MessageText(kMsgFileTooLong), BoxButtons::Ok);
            break;
        }
        ReportTooLong(image, range);
        return false;
    case ImageFit::Fits: report_["image"]["fit"] = "fits"; break;
    }
    if (image.origin != 0) ReportPlacement(image, range);
    return true;
}

// A record file cut to the range may keep none of its data: its records lie beyond.
bool CliSession::NothingLands(ChipRange range) {
    return IsRecordFileName(options_.argument) &&
           AllBytesAre(std::span(core_.Buffer().bytes).first(range.length), 0xFF);
}

void CliSession::ReportTooLong(const ImageLoadResult& image, ChipRange range) {
    const CliWording& wording = CurrentCliWording();
    const std::string room = std::to_string(range.length);
    const std::string chip = core_.SelectedChip().chipName;
    const std::string first = HexNumber(range.offset, 6), last = HexNumber(range.End() - 1, 6);
    if (options_.argument == "-") {
        Fail(report_, err_, errors::kImageTooLong, Fill(wording.inputTooLong, {room, chip, first, last, room}),
             kExitFileError);
    } else {
        Fail(report_, err_, errors::kImageTooLong,
             Fill(wording.imageTooLong,
                  {options_.argument, std::to_string(image.length), room, chip, first, last, room}),
             kExitFileError);
    }
}

// The first-block rule put the file's data at other addresses than its own: said
// before anything is sent.
void CliSession::ReportPlacement(const ImageLoadResult& image, ChipRange range) {
    const uint64_t last = std::clamp<uint64_t>(image.length, 1, range.length) - 1;  // what the chip gets
    err_ << Fill(CurrentCliWording().imagePlaced,
                 {HexNumber(image.origin, 8), HexNumber(image.origin + last, 8), HexNumber(0, 6), HexNumber(last, 6)})
         << '\n';
    report_["placed"] = {{"file_address", image.origin}, {"chip_address", 0}, {"length", last + 1}};
}

int CliSession::Link() {
    if (!core_.Session().OpenLink())
        return Fail(report_, options_.json ? err_ : out_, errors::kNoProgrammer, MessageText(kMsgNoUsbLink),
                    kExitNoProgrammer);
    (options_.json ? err_ : out_) << MessageText(kMsgUsbLinkOk) << '\n';
    return kExitOk;
}

}  // namespace qbr

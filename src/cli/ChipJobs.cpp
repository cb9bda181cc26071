// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ChipJobs.h"

#include "base/Checksums.h"
#include "base/FileKind.h"
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipType.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/ImageErrorReport.h"
#include "cli/JsonReport.h"
#include "ops/ImageChecksums.h"
#include "ops/RepeatedRead.h"
#include "ops/SparseWrite.h"

#include <ctime>
#include <ostream>

namespace qbr {

namespace {

// Ranges listed one by one; the rest are counted.
constexpr size_t kRangesListed = 20;

// The report's name and the text of each DiffCause, in the enum's order.
const char* CauseName(DiffCause cause) {
    static constexpr const char* kNames[] = {"none", "not programmed", "not erased", "data differs"};
    return kNames[static_cast<size_t>(cause)];
}

const char* CauseText(DiffCause cause) {
    const CliWording& wording = CurrentCliWording();
    const char* const texts[] = {"", wording.causeNotProgrammed, wording.causeNotErased, wording.causeDataDiffers};
    return texts[static_cast<size_t>(cause)];
}

}  // namespace

ChipJobs::ChipJobs(ProgrammerCore& core, const CliOptions& options, std::ostream& out, std::ostream& err,
                   nlohmann::json& report)
    : core_(core), options_(options), out_(out), err_(err), report_(report) {}

int ChipJobs::CheckOptions(const CommandRow& row) {
    const ChipRecord& chip = core_.SelectedChip();
    // The chip's image must fit the buffer before any file is loaded into it.
    if (row.needsChip && chip.capacity > DataBuffer::kSize) {
        err_ << MessageText(kMsgMemoryOverflow) << '\n';
        return kExitFailed;
    }
    if (const int code = CheckRange(); code != kExitOk) return code;
    if (options_.skipBlank != SkipBlank::Off && !IsErasable(FamilyOf(chip))) {
        return Fail(report_, err_, errors::kUsage, CurrentCliWording().skipBlankFlashOnly, kExitUsage);
    }
    if (options_.noVerify && (!options_.serialize.empty() || !options_.production.empty())) {
        return Fail(report_, err_, errors::kUsage, CurrentCliWording().noVerifyProduction, kExitUsage);
    }
    return kExitOk;
}

int ChipJobs::CheckRange() {
    const ChipRecord& chip = core_.SelectedChip();
    const uint32_t offset = options_.offset.value_or(0);
    const uint32_t rest = offset < chip.capacity ? chip.capacity - offset : 0;
    range_ = {offset, options_.length.value_or(rest)};
    if (RangeInside(chip, range_)) return kExitOk;
    return Fail(report_, err_, errors::kRangeOutside,
                Fill(CurrentCliWording().rangeOutside, {HexNumber(range_.offset, 6), std::to_string(range_.length),
                                                        chip.chipName, std::to_string(chip.capacity)}),
                kExitUsage);
}

int ChipJobs::Backup() {
    if (options_.backup.empty() && options_.backupDir.empty()) return kExitOk;
    const CliWording& wording = CurrentCliWording();
    const ChipRecord chip = core_.SelectedChip();
    const BackupTarget target = ChooseBackupTarget({options_.backup, options_.backupDir,
                                                    options_.all ? options_.programmer : ""},
                                                   chip, std::time(nullptr));
    if (target.directoryMade) err_ << Fill(wording.backupDirCreated, {options_.backupDir}) << '\n';
    if (target.path.empty()) {
        return Fail(report_, err_, errors::kFileError, Fill(wording.backupFileError, {options_.backupDir}),
                    kExitFileError);
    }
    const std::string& path = target.path;
    const ChipBackup backup = BackupChip(core_, chip, path, target.naming);
    core_.Show(backup.reads);
    switch (backup.outcome) {
    case Outcome::Ok: {
        err_ << Fill(wording.backupSaved, {backup.path}) << '\n';
        nlohmann::json sums = PrintSums(SumsOf(backup.reads.data));
        sums["path"] = backup.path;
        report_["backup"] = sums;
        return kExitOk;
    }
    case Outcome::FileError:
        if (backup.fileExists && !backup.path.empty()) {
            Fail(report_, err_, errors::kBackupNameTaken, Fill(wording.backupTaken, {path, backup.path}),
                 kExitFileError);
            report_["backup_kept_as"] = backup.path;
        } else {
            Fail(report_, err_, backup.fileExists ? errors::kBackupNameTaken : errors::kFileError,
                 Fill(backup.fileExists ? wording.backupExists : wording.backupFileError, {path}), kExitFileError);
        }
        return kExitFileError;
    default: break;
    }
    if (backup.reads.outcome == Outcome::Ok) {
        Fail(report_, err_, errors::kReadsDiffer, wording.backupReadsDiffer, kExitFailed);
        ReportRanges(backup.reads.diff);
        return kExitFailed;
    }
    err_ << wording.backupFailed << '\n';
    return ExitCodeOf(backup.outcome);
}

int ChipJobs::Read() {
    const RepeatedRead read = ReadChipRepeatedly(core_, core_.SelectedChip(), range_, options_.reads);
    core_.Show(read);
    report_["reads"] = options_.reads;
    if (read.outcome != Outcome::Ok) return ExitCodeOf(read.outcome);
    if (!read.diff.Same()) {
        Fail(report_, err_, errors::kReadsDiffer,
             Fill(CurrentCliWording().readsDiffer, {std::to_string(options_.reads)}), kExitFailed);
        ReportRanges(read.diff);
        return kExitFailed;
    }
    WarnIfUniform(read.data);
    ReportSums(read.data);
    return SaveRead(read.data);
}

int ChipJobs::Verify() {
    const ChipDiff result = DiffChip(core_, core_.SelectedChip(), range_);
    core_.Show(result);
    if (result.outcome != Outcome::Ok) return ExitCodeOf(result.outcome);
    WarnIfUniform(result.chipData);
    ReportSums(result.chipData);
    return Judge(result.diff);
}

// A verify's verdict: ok, or the differing ranges and their likely cause.
int ChipJobs::Judge(const ImageDiff& diff) {
    report_["cause"] = CauseName(diff.Cause());
    report_["bits_not_programmed"] = diff.bitsNotProgrammed;
    report_["bits_not_erased"] = diff.bitsNotErased;
    if (diff.Same()) {
        err_ << MessageText(kMsgVerifyChipOk) << '\n';
        report_["differing_bytes"] = 0;
        return kExitOk;
    }
    Fail(report_, err_, errors::kVerifyMismatch, MessageText(kMsgVerifyChipError), kExitFailed);
    ReportRanges(diff);
    err_ << CauseText(diff.Cause()) << '\n';
    return kExitFailed;
}

int ChipJobs::Write() {
    const RangeWrite write = WriteRange(core_, core_.SelectedChip(), range_, options_.skipBlank, !options_.noVerify);
    core_.Show(write);
    if (write.notBlank) {
        const Mismatch& dirty = *write.notBlank;
        report_["not_blank_at"] = dirty.address;
        return Fail(report_, err_, errors::kNotBlank,
                    Fill(CurrentCliWording().notBlank, {HexNumber(dirty.address, 6), HexNumber(dirty.chipByte, 2)}),
                    kExitFailed);
    }
    // The whole chip is written as the window writes it, in one request.
    if (write.runs && (IsPartial() || options_.skipBlank != SkipBlank::Off)) report_["runs"] = write.runs->size();
    if (write.written) report_["verified"] = !options_.noVerify;
    if (write.readBack) Judge(*write.readBack);
    KeepOutcomeError(report_, write.outcome, options_.command);
    return ExitCodeOf(write.outcome);
}

void ChipJobs::ReportDifferingBytes() {
    SilentEvents silent;
    ProgrammerCore quiet(core_.Session(), core_.Space(), silent);
    const ChipDiff result = DiffChip(quiet, core_.SelectedChip(), WholeChip(core_.SelectedChip()));
    quiet.Show(result);  // into the log alone
    if (result.outcome == Outcome::Ok) report_["differing_bytes"] = result.diff.differingBytes;
}

int ChipJobs::ChipSum() {
    const std::string& path = options_.argument;
    const ImageChecksums sums = ChecksumImage(core_, path);
    core_.Show(sums);
    if (sums.outcome != Outcome::Ok) {
        ReportImageError(err_, report_, path, sums.load);
        return kExitFileError;
    }
    const CliWording& wording = CurrentCliWording();
    ResultStream() << DataBuffer::ChecksumText(sums.chipSum) << "  " << wording.chipSumWhole << '\n';
    const DataBuffer& buffer = core_.Buffer();
    ReportSums(std::span(buffer.bytes).first(buffer.activeLength));
    ResultStream() << Fill(wording.fileCrc32, {sums.fileCrc32}) << '\n'
                   << Fill(wording.fileSha256, {sums.fileSha256}) << '\n';
    report_["checksum"] = HexNumber(sums.chipSum, 8).substr(2);
    report_["bytes"] = sums.chipBytes;
    report_["file_bytes"] = sums.fileBytes;
    report_["file_crc32"] = sums.fileCrc32;
    report_["file_sha256"] = sums.fileSha256;
    return kExitOk;
}

void ChipJobs::ReportSums(std::span<const uint8_t> data) {
    sums_ = SumsOf(data);
    report_.update(PrintSums(*sums_));
}

nlohmann::json ChipJobs::PrintSums(const DataSums& sums) {
    ResultStream() << "CRC-32: " << sums.crc32 << "\nSHA-256: " << sums.sha256 << '\n';
    return {{"crc32", sums.crc32}, {"sha256", sums.sha256}};
}

int ChipJobs::SaveRead(std::span<const uint8_t> data) {
    const std::string& path = options_.argument;
    report_["bytes"] = data.size();
    if (path == "-") {
        // Flushed here: data that never reached standard output (a full disk) is a failure.
        out_.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size())).flush();
        if (out_) return kExitOk;
        return Fail(report_, err_, errors::kFileError, MessageText(kMsgOpenFileError) + " -", kExitFileError);
    }
    // The image file is written whole or not at all: a failed read or save never
    // leaves a truncated file behind.
    if (!SaveImage(path, data, range_.offset)) {
        Fail(report_, err_, errors::kFileError, MessageText(kMsgOpenFileError) + ' ' + path, kExitFileError);
        if (KindOfFile(path) == FileKind::Fifo) err_ << Fill(CurrentCliWording().fifoWithoutReader, {path}) << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

void ChipJobs::ReportRanges(const ImageDiff& diff) {
    const CliWording& wording = CurrentCliWording();
    err_ << Fill(wording.differingBytes, {std::to_string(diff.differingBytes), std::to_string(diff.ranges.size())})
         << '\n';
    nlohmann::json ranges = nlohmann::json::array();
    for (size_t i = 0; i < diff.ranges.size() && i < kRangesListed; ++i) {
        const ChipRange& range = diff.ranges[i];
        err_ << "  " << HexNumber(range.offset, 6) << ".." << HexNumber(range.End() - 1, 6) << "  (" << range.length
             << ")\n";
        ranges.push_back({{"address", range.offset}, {"length", range.length}});
    }
    if (diff.ranges.size() > kRangesListed) {
        err_ << Fill(wording.moreRanges, {std::to_string(diff.ranges.size() - kRangesListed)}) << '\n';
    }
    report_["differing_bytes"] = diff.differingBytes;
    report_["differing_ranges"] = ranges;
    report_["range_count"] = diff.ranges.size();
}

void ChipJobs::WarnIfUniform(std::span<const uint8_t> data) {
    for (const uint8_t value : {0xFF, 0x00}) {
        if (!AllBytesAre(data, value)) continue;
        err_ << Fill(CurrentCliWording().uniformData, {HexNumber(value, 2)}) << '\n';
        report_["uniform_byte"] = value;
    }
}

// Results go to the output stream, unless it carries the JSON report or the data.
std::ostream& ChipJobs::ResultStream() {
    return options_.json || options_.argument == "-" ? err_ : out_;
}

}  // namespace qbr

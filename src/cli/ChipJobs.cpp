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
#include "ops/DiffWording.h"
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

}  // namespace

ChipJobs::ChipJobs(ProgrammerCore& core, const CliOptions& options, RunReport& report)
    : core_(core), options_(options), report_(report) {}

int ChipJobs::CheckOptions(const CommandRow& row) {
    const ChipRecord& chip = core_.SelectedChip();
    // The chip's image must fit the buffer before any file is loaded into it.
    if (row.needsChip && chip.capacity > DataBuffer::kSize) {
        report_.Texts() << MessageText(kMsgMemoryOverflow) << '\n';
        return kExitFailed;
    }
    if (const int code = CheckRange(); code != kExitOk) return code;
    if (options_.skipBlank != SkipBlank::Off && !IsErasable(FamilyOf(chip))) {
        return report_.Fail(errors::kUsage, CurrentCliWording().skipBlankFlashOnly, kExitUsage);
    }
    if (options_.noVerify && (!options_.serialize.empty() || !options_.production.empty())) {
        return report_.Fail(errors::kUsage, CurrentCliWording().noVerifyProduction, kExitUsage);
    }
    return kExitOk;
}

int ChipJobs::CheckRange() {
    const ChipRecord& chip = core_.SelectedChip();
    const uint32_t offset = options_.offset.value_or(0);
    const uint32_t rest = offset < chip.capacity ? chip.capacity - offset : 0;
    range_ = {offset, options_.length.value_or(rest)};
    if (RangeInside(chip, range_)) return kExitOk;
    return report_.Fail(errors::kRangeOutside,
                        Fill(CurrentCliWording().rangeOutside,
                             {HexNumber(range_.offset, 6), std::to_string(range_.length), chip.chipName,
                              std::to_string(chip.capacity)}),
                        kExitUsage);
}

int ChipJobs::Backup() {
    if (options_.backup.empty() && options_.backupDir.empty()) return kExitOk;
    const DiffWording& wording = CurrentDiffWording();
    const ChipRecord chip = core_.SelectedChip();
    const BackupTarget target = ChooseBackupTarget({options_.backup, options_.backupDir,
                                                    options_.all ? options_.programmer : ""},
                                                   chip, std::time(nullptr));
    if (target.directoryMade) report_.Texts() << Fill(wording.backupDirCreated, {options_.backupDir}) << '\n';
    if (target.path.empty()) {
        return report_.Fail(errors::kFileError, Fill(wording.backupFileError, {options_.backupDir}), kExitFileError);
    }
    const std::string& path = target.path;
    const ChipBackup backup = BackupChip(core_, chip, path, target.naming);
    core_.Show(backup.reads);
    switch (backup.outcome) {
    case Outcome::Ok: {
        report_.Texts() << Fill(wording.backupSaved, {backup.path}) << '\n';
        nlohmann::json sums = PrintSums(SumsOf(backup.reads.data));
        sums["path"] = backup.path;
        report_.Set("backup", sums);
        return kExitOk;
    }
    case Outcome::FileError:
        if (backup.fileExists && !backup.path.empty()) {
            report_.Fail(errors::kBackupNameTaken, Fill(wording.backupTaken, {path, backup.path}), kExitFileError);
            report_.Set("backup_kept_as", backup.path);
        } else {
            report_.Fail(backup.fileExists ? errors::kBackupNameTaken : errors::kFileError,
                         Fill(backup.fileExists ? wording.backupExists : wording.backupFileError, {path}),
                         kExitFileError);
        }
        return kExitFileError;
    default: break;
    }
    if (backup.reads.outcome == Outcome::Ok) {
        report_.Fail(errors::kReadsDiffer, wording.backupReadsDiffer, kExitFailed);
        ReportRanges(backup.reads.diff);
        return kExitFailed;
    }
    report_.Texts() << wording.backupFailed << '\n';
    return ExitCodeOf(backup.outcome);
}

int ChipJobs::Read() {
    const RepeatedRead read = ReadChipRepeatedly(core_, core_.SelectedChip(), range_, options_.reads);
    core_.Show(read);
    report_.Set("reads", options_.reads);
    if (read.outcome != Outcome::Ok) return ExitCodeOf(read.outcome);
    if (!read.diff.Same()) {
        report_.Fail(errors::kReadsDiffer, Fill(CurrentDiffWording().readsDiffer, {std::to_string(options_.reads)}),
                     kExitFailed);
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
    report_.Set("cause", CauseName(diff.Cause()));
    report_.Set("bits_not_programmed", diff.bitsNotProgrammed);
    report_.Set("bits_not_erased", diff.bitsNotErased);
    if (diff.Same()) {
        report_.Texts() << MessageText(kMsgVerifyChipOk) << '\n';
        report_.Set("differing_bytes", 0);
        return kExitOk;
    }
    report_.Fail(errors::kVerifyMismatch, MessageText(kMsgVerifyChipError), kExitFailed);
    ReportRanges(diff);
    report_.Texts() << CauseText(diff.Cause()) << '\n';
    return kExitFailed;
}

int ChipJobs::Write() {
    const RangeWrite write = WriteRange(core_, core_.SelectedChip(), range_, options_.skipBlank, !options_.noVerify);
    core_.Show(write);
    if (write.notBlank) {
        const Mismatch& dirty = *write.notBlank;
        report_.Set("not_blank_at", dirty.address);
        return report_.Fail(errors::kNotBlank,
                            Fill(CurrentCliWording().notBlank,
                                 {HexNumber(dirty.address, 6), HexNumber(dirty.chipByte, 2)}),
                            kExitFailed);
    }
    // The whole chip is written as the window writes it, in one request.
    if (write.runs && (IsPartial() || options_.skipBlank != SkipBlank::Off)) report_.Set("runs", write.runs->size());
    // Verified only when the read-back was read to its end and compared.
    if (write.written) report_.Set("verified", write.readBack.has_value());
    if (write.readBack) Judge(*write.readBack);
    report_.KeepOutcome(write.outcome);
    return ExitCodeOf(write.outcome);
}

// The bytes before the mismatch compared equal; only the rest is read again. When
// this read sees the mismatched byte as the buffer has it, the two reads of the chip
// disagree and no count would be true.
void ChipJobs::ReportDifferingBytes(const Mismatch& mismatch) {
    SilentEvents silent;
    ProgrammerCore quiet(core_.Session(), core_.Space(), silent);
    const uint32_t end = core_.SelectedChip().capacity;
    const ChipDiff result = DiffChip(quiet, core_.SelectedChip(), {mismatch.address, end - mismatch.address});
    quiet.Show(result);  // into the log alone
    if (result.outcome != Outcome::Ok) return;
    if (result.chipData.empty() || result.chipData.front() != mismatch.chipByte) {
        report_.Set("reads_differ", true);
        return;
    }
    report_.Set("differing_bytes", result.diff.differingBytes);
}

int ChipJobs::ChipSum() {
    const std::string& path = options_.argument;
    const ImageChecksums sums = ChecksumImage(core_, path);
    core_.Show(sums);
    if (sums.outcome != Outcome::Ok) {
        ReportImageError(report_, path, sums.load);
        return kExitFileError;
    }
    const CliWording& wording = CurrentCliWording();
    ResultStream() << DataBuffer::ChecksumText(sums.chipSum) << "  " << wording.chipSumWhole << '\n';
    const DataBuffer& buffer = core_.Buffer();
    ReportSums(std::span(buffer.bytes).first(buffer.activeLength));
    ResultStream() << Fill(wording.fileCrc32, {sums.fileCrc32}) << '\n'
                   << Fill(wording.fileSha256, {sums.fileSha256}) << '\n';
    report_.Set("checksum", HexNumber(sums.chipSum, 8).substr(2));
    report_.Set("bytes", sums.chipBytes);
    report_.Set("file_bytes", sums.fileBytes);
    report_.Set("file_crc32", sums.fileCrc32);
    report_.Set("file_sha256", sums.fileSha256);
    return kExitOk;
}

void ChipJobs::ReportSums(std::span<const uint8_t> data) {
    sums_ = SumsOf(data);
    report_.Merge(PrintSums(*sums_));
}

nlohmann::json ChipJobs::PrintSums(const DataSums& sums) {
    ResultStream() << "CRC-32: " << sums.crc32 << "\nSHA-256: " << sums.sha256 << '\n';
    return {{"crc32", sums.crc32}, {"sha256", sums.sha256}};
}

int ChipJobs::SaveRead(std::span<const uint8_t> data) {
    const std::string& path = options_.argument;
    report_.Set("bytes", data.size());
    if (path == "-") {
        // Flushed here: data that never reached standard output (a full disk) is a failure.
        std::ostream& out = report_.Out();
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size())).flush();
        if (out) return kExitOk;
        return report_.Fail(errors::kFileError, MessageText(kMsgOpenFileError) + " -", kExitFileError);
    }
    // The image file is written whole or not at all: a failed read or save never
    // leaves a truncated file behind.
    if (!SaveImage(path, data, range_.offset)) {
        report_.Fail(errors::kFileError, MessageText(kMsgOpenFileError) + ' ' + path, kExitFileError);
        if (KindOfFile(path) == FileKind::Fifo)
            report_.Texts() << Fill(CurrentCliWording().fifoWithoutReader, {path}) << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

void ChipJobs::ReportRanges(const ImageDiff& diff) {
    report_.Texts() << DiffRangesText(diff, kRangesListed);
    nlohmann::json ranges = nlohmann::json::array();
    for (size_t i = 0; i < diff.ranges.size() && i < kRangesListed; ++i) {
        ranges.push_back({{"address", diff.ranges[i].offset}, {"length", diff.ranges[i].length}});
    }
    report_.Set("differing_bytes", diff.differingBytes);
    report_.Set("differing_ranges", ranges);
    report_.Set("range_count", diff.ranges.size());
}

void ChipJobs::WarnIfUniform(std::span<const uint8_t> data) {
    for (const uint8_t value : {0xFF, 0x00}) {
        if (!AllBytesAre(data, value)) continue;
        report_.Texts() << Fill(CurrentCliWording().uniformData, {HexNumber(value, 2)}) << '\n';
        report_.Set("uniform_byte", value);
    }
}

// Results go to the output stream, unless it carries the JSON report or the data.
std::ostream& ChipJobs::ResultStream() {
    return options_.argument == "-" ? report_.Texts() : report_.Results();
}

}  // namespace qbr

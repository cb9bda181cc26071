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

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <ostream>

namespace qbr {

namespace {

// Ranges listed one by one; the rest are counted.
constexpr size_t kRangesListed = 20;

const char* CauseName(DiffCause cause) {
    switch (cause) {
    case DiffCause::None: return "none";
    case DiffCause::NotProgrammed: return "not programmed";
    case DiffCause::NotErased: return "not erased";
    case DiffCause::DataDiffers: return "data differs";
    }
    return "";
}

const char* CauseText(DiffCause cause) {
    const CliWording& wording = CurrentCliWording();
    switch (cause) {
    case DiffCause::NotProgrammed: return wording.causeNotProgrammed;
    case DiffCause::NotErased: return wording.causeNotErased;
    case DiffCause::DataDiffers: return wording.causeDataDiffers;
    case DiffCause::None: break;
    }
    return nullptr;
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
    const uint32_t offset = options_.offset.value_or(0);
    const uint32_t rest = offset < chip.capacity ? chip.capacity - offset : 0;
    range_ = {offset, options_.length.value_or(rest)};
    if (!RangeInside(chip, range_)) {
        return Fail(report_, err_, errors::kRangeOutside,
                    Fill(CurrentCliWording().rangeOutside, {HexNumber(range_.offset, 6), std::to_string(range_.length),
                                                            chip.chipName, std::to_string(chip.capacity)}),
                    kExitUsage);
    }
    if (!options_.skipBlank.empty() && !IsErasable(FamilyOf(chip))) {
        return Fail(report_, err_, errors::kUsage, CurrentCliWording().skipBlankFlashOnly, kExitUsage);
    }
    if (options_.noVerify && (!options_.serialize.empty() || !options_.production.empty())) {
        return Fail(report_, err_, errors::kUsage, CurrentCliWording().noVerifyProduction, kExitUsage);
    }
    return kExitOk;
}

int ChipJobs::Backup() {
    if (options_.backup.empty() && options_.backupDir.empty()) return kExitOk;
    const ChipRecord chip = core_.SelectedChip();
    const bool named = !options_.backup.empty();
    if (!named && !MakeBackupDirectory()) return kExitFileError;
    std::string name = BackupFileName(chip, std::time(nullptr));
    // The programmers of a batch back up in the same second: each gets its own file.
    if (options_.all) name.insert(name.rfind('.'), '-' + options_.programmer);
    const std::string path = named ? options_.backup : (std::filesystem::path(options_.backupDir) / name).string();
    const ChipBackup backup = BackupChip(core_, chip, path, named ? BackupName::AsGiven : BackupName::FirstFree);
    core_.Show(backup.reads);
    const CliWording& wording = CurrentCliWording();
    switch (backup.outcome) {
    case Outcome::Ok: {
        err_ << Fill(wording.backupSaved, {backup.path}) << '\n';
        nlohmann::json sums = PrintSums(backup.reads.data);
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

// --backup-dir is made when missing, before the chip is read, with the user's
// permissions for a new directory.
bool ChipJobs::MakeBackupDirectory() {
    std::error_code error;
    if (std::filesystem::create_directories(options_.backupDir, error)) {
        err_ << Fill(CurrentCliWording().backupDirCreated, {options_.backupDir}) << '\n';
    }
    if (!error) return true;
    Fail(report_, err_, errors::kFileError, Fill(CurrentCliWording().backupFileError, {options_.backupDir}),
         kExitFileError);
    return false;
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
    report_.update(PrintSums(read.data));
    return SaveRead(read.data);
}

int ChipJobs::Verify() {
    const ChipDiff result = DiffChip(core_, core_.SelectedChip(), range_);
    core_.Show(result);
    if (result.outcome != Outcome::Ok) return ExitCodeOf(result.outcome);
    WarnIfUniform(result.chipData);
    report_.update(PrintSums(result.chipData));
    return Judge(result.diff);
}

int ChipJobs::VerifyWritten(std::span<const ChipRange> runs) {
    report_["verified"] = !options_.noVerify;
    if (options_.noVerify) return kExitOk;
    const ChipDiff result = DiffChipRuns(core_, core_.SelectedChip(), runs);
    core_.Show(result);
    if (result.outcome != Outcome::Ok) return ExitCodeOf(result.outcome);
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
    const ChipRecord chip = core_.SelectedChip();
    const bool flash = IsErasable(FamilyOf(chip));
    if (options_.skipBlank == "check" || (flash && IsPartial())) {
        if (const int code = RefuseUnlessBlank(range_); code != kExitOk) return code;
    }
    std::vector<ChipRange> runs = {range_};
    if (!options_.skipBlank.empty()) {
        runs = DataRuns(std::span(core_.Buffer().bytes).subspan(range_.offset, range_.length), chip.pageSize);
        for (ChipRange& run : runs) run.offset += range_.offset;
    }
    report_["runs"] = runs.size();
    const CommandResult written = WriteChipRuns(core_, chip, runs, Caller::User);
    core_.Show(written);
    return written.Ok() ? VerifyWritten(runs) : ExitCodeOf(written.outcome);
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
    report_.update(PrintSums(std::span(buffer.bytes).first(buffer.activeLength)));
    ResultStream() << Fill(wording.fileCrc32, {sums.fileCrc32}) << '\n'
                   << Fill(wording.fileSha256, {sums.fileSha256}) << '\n';
    char text[9];
    std::snprintf(text, sizeof text, "%08X", sums.chipSum);
    report_["checksum"] = text;
    report_["bytes"] = sums.chipBytes;
    report_["file_bytes"] = sums.fileBytes;
    report_["file_crc32"] = sums.fileCrc32;
    report_["file_sha256"] = sums.fileSha256;
    return kExitOk;
}

nlohmann::json ChipJobs::PrintSums(std::span<const uint8_t> data) {
    const std::string crc = Crc32Text(Crc32(data));
    const std::string sha = Sha256Text(data);
    ResultStream() << "CRC-32: " << crc << "\nSHA-256: " << sha << '\n';
    return {{"crc32", crc}, {"sha256", sha}};
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

// SPI flash is only programmed where it is erased: the range is read first.
int ChipJobs::RefuseUnlessBlank(ChipRange range) {
    std::vector<uint8_t> data(range.length);
    const CommandResult read = ReadChipRange(core_, core_.SelectedChip(), range, data.data(), Caller::User);
    core_.Show(read);
    if (!read.Ok()) return ExitCodeOf(read.outcome);
    const std::optional<uint32_t> dirty = FirstNotErased(data, range.offset);
    if (!dirty) return kExitOk;
    report_["not_blank_at"] = *dirty;
    return Fail(report_, err_, errors::kNotBlank,
                Fill(CurrentCliWording().notBlank, {HexNumber(*dirty, 6), HexNumber(data[*dirty - range.offset], 2)}),
                kExitFailed);
}

// Results go to the output stream, unless it carries the JSON report or the data.
std::ostream& ChipJobs::ResultStream() {
    return options_.json || options_.argument == "-" ? err_ : out_;
}

}  // namespace qbr

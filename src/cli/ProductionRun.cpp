// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionRun.h"

#include "base/Checksums.h"
#include "base/NumberText.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "core/CommandId.h"
#include "ops/ProductionLog.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <ostream>

namespace qbr {

namespace {

struct CounterFailure {
    const char* text;
    const char* code;
    int exitCode;
};

CounterFailure CounterProblemFailure(SerialCounter::Problem problem) {
    const CliWording& wording = CurrentCliWording();
    switch (problem) {
    case SerialCounter::Problem::InUse: return {wording.counterInUse, errors::kCounterInUse, kExitFileError};
    case SerialCounter::Problem::Missing: return {wording.counterMissing, errors::kUsage, kExitUsage};
    case SerialCounter::Problem::Malformed: return {wording.counterMalformed, errors::kFileError, kExitFileError};
    case SerialCounter::Problem::Unwritable:
    case SerialCounter::Problem::None: break;
    }
    return {wording.counterUnwritable, errors::kFileError, kExitFileError};
}

}  // namespace

SharedCounter::Opened SharedCounter::Open(const std::string& path, std::optional<uint64_t> start) {
    const std::lock_guard lock(mutex_);
    const bool first = !tried_;
    if (first) {
        counter_ = SerialCounter::Open(path, start, problem_);
        // The start is for a new counter; one that goes on elsewhere is refused for
        // every run, so that no chip gets a number the user didn't expect.
        if (counter_ && start && counter_->Next() != *start) {
            fileNext_ = counter_->Next();
            counter_.reset();
        }
    }
    tried_ = true;
    return {counter_.get(), problem_, first, fileNext_};
}

ProductionRun::ProductionRun(ProgrammerCore& core, const CliOptions& options, SharedCounter& counter, std::ostream& err,
                             nlohmann::json& report)
    : core_(core), options_(options), err_(err), report_(report), shared_(counter) {}

int ProductionRun::Check(const CommandRow& row, ChipRange range) {
    row_ = &row;
    range_ = range;
    if (options_.serialize.empty() && options_.serialFile.empty()) return kExitOk;
    format_ = SerialFormat::Parse(options_.serialize);
    const bool programs = row.id == kCmdWriteChip || row.id == kCmdAuto;
    if (!format_ || options_.serialFile.empty() || !programs || format_->address < range.offset ||
        uint64_t{format_->address} + format_->width > range.End()) {
        return Fail(report_, err_, errors::kUsage, CurrentCliWording().serializeUsage, kExitUsage);
    }
    return kExitOk;
}

int ProductionRun::Open(const std::string& programmer) {
    programmer_ = programmer;
    // A log that can't take lines stops the run before any chip is changed.
    if (!options_.log.empty() && !std::ofstream(options_.log, std::ios::app)) {
        err_ << Fill(CurrentCliWording().logError, {options_.log}) << '\n';
        return kExitFileError;
    }
    if (!format_) return kExitOk;
    const SharedCounter::Opened opened = shared_.Open(options_.serialFile, options_.serialStart);
    counter_ = opened.counter;
    if (opened.fileNext) {
        const std::string next = std::to_string(*opened.fileNext);
        return Fail(report_, err_, errors::kSerialStartDiffers,
                    Fill(CurrentCliWording().serialStartDiffers,
                         {options_.serialFile, next, std::to_string(options_.serialStart.value_or(0)), next}),
                    kExitUsage);
    }
    if (!counter_) {
        const CounterFailure failure = CounterProblemFailure(opened.problem);
        return Fail(report_, err_, failure.code, Fill(failure.text, {options_.serialFile}), failure.exitCode);
    }
    for (const uint64_t unfinished : opened.first ? counter_->Unfinished() : std::vector<uint64_t>()) {
        err_ << Fill(CurrentCliWording().serialSkipped, {std::to_string(unfinished)}) << '\n';
        if (!Log("skipped", unfinished)) return kExitFileError;
    }
    return kExitOk;
}

int ProductionRun::Stamp() {
    if (!counter_) return kExitOk;
    const std::optional<uint64_t> number = counter_->Take();
    if (!number) {
        err_ << Fill(CurrentCliWording().counterUnwritable, {options_.serialFile}) << '\n';
        return kExitFileError;
    }
    serial_ = number;
    report_["serial"] = *number;
    const std::optional<std::vector<uint8_t>> bytes = format_->Bytes(*number);
    if (!bytes) {
        err_ << Fill(CurrentCliWording().serialTooWide, {std::to_string(*number)}) << '\n';
        return End(kExitFailed);
    }
    std::copy(bytes->begin(), bytes->end(), core_.Buffer().bytes.begin() + format_->address);
    err_ << Fill(CurrentCliWording().serialPlaced, {std::to_string(*number), HexNumber(format_->address, 6)}) << '\n';
    return kExitOk;
}

int ProductionRun::End(int code) {
    const bool logged = Log(code == kExitOk ? "ok" : "failed", serial_);
    if (serial_ && !counter_->Finish(*serial_)) {
        err_ << Fill(CurrentCliWording().counterUnwritable, {options_.serialFile}) << '\n';
        return code == kExitOk ? kExitFileError : code;
    }
    serial_.reset();
    return logged || code != kExitOk ? code : kExitFileError;
}

// One line for the chip; the CRC-32 is that of the data read, or of the image the
// command wrote or compared.
bool ProductionRun::Log(const std::string& result, std::optional<uint64_t> serial) {
    if (options_.log.empty()) return true;
    ProductionRecord record;
    record.when = std::time(nullptr);
    record.programmer = programmer_;
    record.chip = core_.SelectedChip().chipName;
    record.command = options_.command;
    record.serial = serial;
    record.result = result;
    if (report_.contains("crc32")) {
        record.crc32 = report_["crc32"].get<std::string>();
    } else if (row_ && row_->argument == ArgumentKind::ImageIn) {
        record.crc32 = Crc32Text(Crc32(std::span(core_.Buffer().bytes).subspan(range_.offset, range_.length)));
    }
    record.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    if (AppendProductionRecord(options_.log, record)) return true;
    err_ << Fill(CurrentCliWording().logError, {options_.log}) << '\n';
    return false;
}

}  // namespace qbr

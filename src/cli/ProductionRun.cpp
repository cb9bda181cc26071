// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionRun.h"

#include "base/Checksums.h"
#include "base/NumberText.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/StoreText.h"
#include "core/CommandId.h"

#include <climits>

#include <algorithm>
#include <ostream>
#include <unistd.h>

namespace qbr {

namespace {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string SerialText(const std::optional<uint64_t>& serial) {
    return serial ? std::to_string(*serial) : CurrentCliWording().noNumber;
}

}  // namespace

SharedStore::Opened SharedStore::Open(const std::string& name) {
    const std::lock_guard lock(mutex_);
    Opened opened;
    opened.first = !tried_;
    if (opened.first) {
        tried_ = true;
        store_ = ProductionStore::Open(name, error_);
        // Rows a crashed or killed run left in work are never finished: they are
        // marked before this process takes a number of its own.
        if (store_) opened.interrupted = store_->MarkInterrupted(error_);
        if (error_.kind != StoreError::Kind::None) store_.reset();
    }
    opened.store = store_.get();
    opened.error = error_;
    return opened;
}

ProductionRun::ProductionRun(ProgrammerCore& core, const CliOptions& options, SharedStore& store, RunReport& report)
    : core_(core), options_(options), shared_(store), report_(report), format_(options.serialFormat) {}

int ProductionRun::Check(const CommandRow* row, ChipRange range) {
    row_ = row;
    range_ = range;
    if (options_.serialize.empty() && !options_.counter) return kExitOk;
    const bool programs = row && (row->id == kCmdWriteChip || row->id == kCmdAuto);
    if (options_.production.empty() || !programs || (!options_.serialize.empty() && !format_) ||
        (format_ && !FitsRange(*format_))) {
        return report_.Fail(errors::kUsage, CurrentCliWording().serializeUsage, kExitUsage);
    }
    counter_ = options_.counter.value_or("default");
    return kExitOk;
}

bool ProductionRun::FitsRange(const SerialFormat& format) const {
    return format.address >= range_.offset && uint64_t{format.address} + format.width <= range_.End();
}

int ProductionRun::Open(const std::string& programmer) {
    programmer_ = programmer;
    if (options_.production.empty()) return kExitOk;
    SharedStore::Opened opened = shared_.Open(options_.production);
    if (!opened.store) return FailStore(report_, options_.production, opened.error);
    store_ = opened.store;
    if (opened.first) ReportInterrupted(opened.interrupted);
    return counter_ ? CheckCounter() : kExitOk;
}

// The counter must exist, have a number left and agree with --serialize on where
// the numbers go, all before the chip is read or backed up.
int ProductionRun::CheckCounter() {
    const CliWording& wording = CurrentCliWording();
    StoreError error;
    const std::optional<SerialCounterRow> counter = store_->FindCounter(*counter_, error);
    if (error.kind != StoreError::Kind::None) return FailStore(report_, options_.production, error);
    if (!counter) {
        const std::string store = ProductionStore::DisplayName(options_.production);
        return report_.Fail(errors::kNoCounter, Fill(wording.noCounter, {store, *counter_, store, *counter_}),
                            kExitUsage);
    }
    if (counter->last && counter->next > *counter->last) {
        return report_.Fail(errors::kCounterUsedUp, Fill(wording.counterUsedUp, {*counter_}), kExitFileError);
    }
    if (counter->format.empty()) {
        if (!format_) {
            return report_.Fail(errors::kUsage, Fill(wording.counterWithoutFormat, {*counter_}), kExitUsage);
        }
        formatText_ = options_.serialize;
        return NumberFits(counter->next) ? kExitOk : kExitFileError;
    }
    const std::optional<SerialFormat> own = SerialFormat::Parse(counter->format);
    if (format_ && own != format_) {
        return report_.Fail(errors::kCounterFormatDiffers,
                            Fill(wording.counterFormatDiffers, {*counter_, counter->format, options_.serialize}),
                            kExitUsage);
    }
    format_ = own;
    if (!format_ || !FitsRange(*format_)) {
        return report_.Fail(errors::kUsage, wording.serializeUsage, kExitUsage);
    }
    formatText_ = counter->format;
    return NumberFits(counter->next) ? kExitOk : kExitFileError;
}

// Numbers only grow: once the next one doesn't fit the format, no later one does,
// and the counter is as good as used up for it.
bool ProductionRun::NumberFits(uint64_t number) {
    if (format_->Bytes(number)) return true;
    report_.Fail(errors::kCounterUsedUp,
                 Fill(CurrentCliWording().counterTooWide, {*counter_, std::to_string(number), formatText_}),
                 kExitFileError);
    return false;
}

// Each row is said on its own line, so that the chips can be found and put aside.
void ProductionRun::ReportInterrupted(const std::vector<ChipRow>& rows) {
    nlohmann::json list = nlohmann::json::array();
    for (const ChipRow& row : rows) {
        report_.Texts() << Fill(CurrentCliWording().interruptedRow,
                                {SerialText(row.serial), row.command, row.station, row.programmer, row.time})
                        << '\n';
        list.push_back({{"serial", row.serial ? nlohmann::json(*row.serial) : nlohmann::json()},
                        {"counter", row.counter},
                        {"station", row.station},
                        {"programmer", row.programmer},
                        {"chip", row.chip},
                        {"command", row.command},
                        {"time", row.time}});
    }
    if (!list.empty()) report_.Set("interrupted", list);
}

int ProductionRun::Begin() {
    if (!store_) return kExitOk;
    ChipRow row;
    row.station = options_.station.empty() ? HostName() : options_.station;
    row.programmer = programmer_;
    row.chip = core_.SelectedChip().chipName;
    row.command = options_.command;
    StoreError error;
    const std::optional<ProductionStore::Started> started = store_->Begin(row, counter_.value_or(""), error);
    if (!started) {
        // Another station may have taken the last number since the check.
        if (error.kind == StoreError::Kind::UsedUp) {
            return report_.Fail(errors::kCounterUsedUp, Fill(CurrentCliWording().counterUsedUp, {*counter_}),
                                kExitFileError);
        }
        return FailStore(report_, options_.production, error);
    }
    rowId_ = started->id;
    serial_ = started->serial;
    start_ = std::chrono::steady_clock::now();
    if (!serial_) return kExitOk;
    // Another station took the last number that fits since the check: this one
    // ends failed, and the chip is not touched.
    if (!NumberFits(*serial_)) return End(kExitFileError);
    report_.Set("serial", *serial_);
    const std::optional<std::vector<uint8_t>> bytes = format_->Bytes(*serial_);
    std::copy(bytes->begin(), bytes->end(), core_.Buffer().bytes.begin() + format_->address);
    report_.Texts() << Fill(CurrentCliWording().serialPlaced,
                            {std::to_string(*serial_), HexNumber(format_->address, 6)})
                    << '\n';
    return kExitOk;
}

// The sums are those of the data read, or of the image the command wrote or compared.
int ProductionRun::End(int code, const std::optional<DataSums>& sums) {
    if (!rowId_) return code;
    DataSums recorded = sums.value_or(DataSums());
    if (!sums && row_ && row_->argument == ArgumentKind::ImageIn) {
        recorded = SumsOf(std::span(core_.Buffer().bytes).subspan(range_.offset, range_.length));
    }
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    StoreError error;
    const int64_t id = *rowId_;
    rowId_.reset();
    if (store_->Finish(id, code == kExitOk ? "ok" : "failed", recorded.crc32, recorded.sha256, elapsed, error))
        return code;
    return Unrecorded(code, error);
}

// The chip was changed but its row still says "taken": the operator must see it,
// with its number, to put the chip aside.
int ProductionRun::Unrecorded(int code, const StoreError& error) {
    const CliWording& wording = CurrentCliWording();
    const std::string store = ProductionStore::DisplayName(options_.production);
    const std::string text = serial_ ? Fill(wording.unrecordedSerial,
                                            {std::to_string(*serial_), store, StoreProblemText(error)})
                                     : Fill(wording.unrecordedChip, {options_.command, store, StoreProblemText(error)});
    report_.Set("unrecorded", {{"serial", serial_ ? nlohmann::json(*serial_) : nlohmann::json()}});
    report_.Texts() << text << '\n';
    report_.Keep(errors::kStoreError, text);
    return code == kExitOk ? kExitFileError : code;
}

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
// blank-check: reads the chip, or a range of it, and says whether it is erased.
#include "base/Bilingual.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "base/TextFill.h"
#include "cli/ChipJobs.h"
#include "cli/ChipOptions.h"
#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/ExitCodes.h"
#include "ops/SparseWrite.h"

namespace qbr {
namespace {

struct BlankCheckWording {
    const char* blank;     // first address, last address
    const char* notBlank;  // address, byte, number of bytes
};

const Bilingual<BlankCheckWording> kWording = {
    {
        "Blank: {} to {} is erased (every byte 0xFF).",
        "Not blank: the byte at {} is {} (bytes of the range that are not 0xFF: {}).",
    },
    {
        "空白: {} 至 {} 已擦除 (每个字节均为 0xFF)。",
        "非空白: 地址 {} 的字节为 {} (该范围内不是 0xFF 的字节数: {})。",
    },
};

class BlankCheckCommand final : public CliCommand {
public:
    std::string Name() const override { return "blank-check"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddRangeOptions(AddSubcommand(app, options, Name(),
                                      "read the chip (or a range) and say whether it is erased: every byte 0xFF"),
                        options);
    }
    int Run(CliSession& session) const override {
        ChipJobs jobs(session.Core(), session.Options(), session.Report());
        if (const int code = jobs.CheckRange(); code != kExitOk) return code;
        return session.RunRecorded([&session, range = jobs.Range()] { return Check(session, range); });
    }

private:
    static int Check(CliSession& session, ChipRange range) {
        const BlankCheck check = CheckBlank(session.Core(), session.Core().SelectedChip(), range);
        session.Core().Show(check);
        if (check.outcome != Outcome::Ok) {
            // The JSON error is the failure the user saw.
            if (check.message) session.Report().Keep(errors::kFailed, MessageText(*check.message));
            return ExitCodeOf(check.outcome);
        }
        const BlankCheckWording& wording = InCurrentLanguage(kWording);
        RunReport& report = session.Report();
        report.Set("blank", !check.notBlank);
        report.Set("bytes", range.length);
        if (!check.notBlank) {
            report.Results() << Fill(wording.blank, {HexNumber(range.offset, 6), HexNumber(range.End() - 1, 6)})
                             << '\n';
            return kExitOk;
        }
        report.Set("not_blank_at", check.notBlank->address);
        report.Set("data_bytes", check.dataBytes);
        return report.Fail(errors::kNotBlank,
                           Fill(wording.notBlank,
                                {HexNumber(check.notBlank->address, 6), HexNumber(check.notBlank->chipByte, 2),
                                 std::to_string(check.dataBytes)}),
                           kExitFailed);
    }
};

}  // namespace

std::unique_ptr<CliCommand> MakeBlankCheckCommand() {
    return std::make_unique<BlankCheckCommand>();
}

}  // namespace qbr

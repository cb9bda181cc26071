// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ImageErrorReport.h"

#include "base/MessageTable.h"
#include "cli/ExitCodes.h"
#include "core/RecordErrorText.h"

namespace qbr {

void ReportImageError(RunReport& report, const std::string& path, const ImageLoadResult& result) {
    const RecordError& error = result.error;
    const std::string opening = MessageText(kMsgOpenFileError) + ' ' + path;
    if (error.fault == RecordFault::None) {
        report.Fail(errors::kFileError, opening, kExitFileError);
        return;
    }
    report.Fail(errors::kImageMalformed, opening + '\n' + RecordErrorText(error), kExitFileError);
    report.Set("error_reason", RecordFaultName(error.fault));
    if (error.line != 0) report.Set("error_line", error.line);
}

}  // namespace qbr

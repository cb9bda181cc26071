// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ImageErrorReport.h"

#include "base/MessageTable.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "core/RecordErrorText.h"

namespace qbr {

void ReportImageError(std::ostream& err, nlohmann::json& report, const std::string& path,
                      const ImageLoadResult& result) {
    const RecordError& error = result.error;
    const std::string opening = MessageText(kMsgOpenFileError) + ' ' + path;
    if (error.fault == RecordFault::None) {
        Fail(report, err, errors::kFileError, opening, kExitFileError);
        return;
    }
    Fail(report, err, errors::kImageMalformed, opening + '\n' + RecordErrorText(error), kExitFileError);
    report["error_reason"] = RecordFaultName(error.fault);
    if (error.line != 0) report["error_line"] = error.line;
}

}  // namespace qbr

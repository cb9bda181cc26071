// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StoreText.h"

#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"

namespace qbr {

std::string StoreProblemText(const StoreError& error) {
    const CliWording& wording = CurrentCliWording();
    std::string text = wording.storeUnwritable;
    if (error.kind == StoreError::Kind::Unreachable) text = wording.storeUnreachable;
    if (error.kind == StoreError::Kind::Malformed) text = wording.storeMalformed;
    if (error.kind == StoreError::Kind::NotTaken) text = wording.storeRowGone;
    return error.detail.empty() ? text : text + " (" + error.detail + ")";
}

int FailStore(RunReport& report, const std::string& store, const StoreError& error) {
    return report.Fail(errors::kStoreError,
                       Fill(CurrentCliWording().storeError,
                            {ProductionStore::DisplayName(store), StoreProblemText(error)}),
                       kExitFileError);
}

}  // namespace qbr

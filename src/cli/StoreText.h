// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/RunReport.h"
#include "store/ProductionStore.h"

#include <string>

namespace qbr {

// What went wrong with the store, in the current language, with the engine's own
// words when it gave any.
std::string StoreProblemText(const StoreError& error);

// Says that the store `store` can't be used and that no chip was touched, keeps
// it as the run's "store-error" and returns kExitFileError.
int FailStore(RunReport& report, const std::string& store, const StoreError& error);

}  // namespace qbr

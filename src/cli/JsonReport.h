// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The free forms of the run's report, for a command that keeps its document itself.
#include "cli/RunReport.h"

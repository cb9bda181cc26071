#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks every C++ file of the project against .clang-format: prints each place
# that differs and exits non-zero when there is one. It changes nothing; to apply
# the format run `clang-format -i FILE...`.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests bench tools fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
  xargs -0 "${CLANG_FORMAT:-clang-format}" --dry-run --Werror

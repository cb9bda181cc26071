// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/SameFile.h"

#include <filesystem>

namespace qbr {
namespace {

namespace fs = std::filesystem;

// Where a name leads: its symbolic links followed as far as they go, the rest made
// absolute and normal. A loop stops after a few links.
fs::path Resolved(const std::string& name) {
    std::error_code ignored;
    fs::path path = fs::absolute(name, ignored);
    for (int links = 0; links < 40 && fs::is_symlink(path, ignored); ++links) {
        const fs::path target = fs::read_symlink(path, ignored);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return fs::weakly_canonical(path, ignored);
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ignored;
    return fs::equivalent(a, b, ignored) || Resolved(a) == Resolved(b);
}

}  // namespace qbr

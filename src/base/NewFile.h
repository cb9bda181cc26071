// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace qbr {

enum class NewFileResult { Created, Exists, Failed };

// Makes a new file holding the data and never replaces anything: when the name is
// taken (by any kind of file, or by a symbolic link, even a dangling one) the
// result is Exists and nothing changes. The data is written and flushed to disk
// first as an anonymous file in the target's directory, which gets its name only
// when complete and only if the name is free, in one step; a run killed before
// that leaves nothing behind. On a file system without anonymous files a
// temporary name is used instead and removed again on every failure.
NewFileResult CreateNewFile(const std::string& path, const void* data, size_t size);

// The n-th choice of name for a file when `path` is taken (n >= 2): "dir/name.ext"
// becomes "dir/name-n.ext", keeping the extension that gives the file's format.
std::string NumberedName(const std::string& path, unsigned n);

}  // namespace qbr

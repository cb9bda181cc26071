// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace qbr {

// Replaces a file's contents as one step: the data goes to a temporary file with a
// short name in the target's directory, is flushed to disk and then renamed over
// the target, and the directory is flushed too so the rename survives a power cut. A symbolic link is followed, so the
// file it points to gets the new contents and the link stays a link; an existing file keeps its mode. On any failure
// before the rename the temporary file is removed and the old file stays as it was.
//
// When the directory can't take a new file but the file itself is writable, the
// data is written into the file in place instead. A failure part-way then leaves
// the file damaged, and is reported like any other.
//
// Only a regular file, or a name that doesn't exist yet, is replaced. A FIFO or a
// character device is never replaced by a file: the data is written into it, as
// into standard output (a FIFO nobody reads from fails at once). A directory, a
// block device or a socket is refused.
class AtomicFile {
public:
    static bool Replace(const std::string& path, const void* data, size_t size);
    static bool Replace(const std::string& path, const std::string& data) {
        return Replace(path, data.data(), data.size());
    }
};

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

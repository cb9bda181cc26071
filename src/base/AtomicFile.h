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

}  // namespace qbr

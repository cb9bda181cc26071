// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace qbr {

// What a path names, symbolic links followed.
enum class FileKind { Missing, Regular, Directory, Fifo, CharacterDevice, BlockDevice, Socket, Other };

// Looks at the path without opening it, so a FIFO or a device is never touched.
// Missing also when the path can't be looked at (a dangling link, no permission).
FileKind KindOfFile(const std::string& path);

// Opens a regular file for reading. Anything else (a FIFO, a device, a socket, a
// directory) is refused without waiting on it: the file is opened without
// blocking and its kind checked on the open file, so a FIFO swapped in for the
// name in between is refused too. Returns the descriptor, or -1 with errno set
// (ENXIO for a file that isn't regular).
int OpenRegularFile(const std::string& path);

// Opens what the path names for writing into it directly, as a shell's ">" does
// for standard output: only a FIFO or a character device, never a regular file.
// A FIFO that nobody reads from is refused at once (ENXIO) rather than waited on.
// Returns the descriptor in blocking mode, or -1 with errno set.
int OpenStreamForWriting(const std::string& path);

// Writes every byte to `fd`, going on after a signal; false at the first error.
bool WriteAll(int fd, const void* data, size_t size);

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ImageChecksums.h"

#include "base/Checksums.h"
#include "base/MessageTable.h"
#include "buffer/ImageFile.h"
#include "buffer/InputFile.h"
#include "core/ProgrammerCore.h"

#include <span>
#include <vector>

namespace qbr {
namespace {

// The file's own checksums, read a piece at a time: a file may be far longer than
// any chip (a disk image picked by mistake) and is never held whole in memory.
bool SumFile(const std::string& path, ImageChecksums& sums) {
    InputFile file;
    if (!file.Open(path)) return false;
    RunningChecksums running;
    std::vector<uint8_t> piece(1 << 20);
    while (const size_t got = file.Read(piece.data(), piece.size())) {
        running.Add(std::span(piece).first(got));
        sums.fileBytes += got;
    }
    if (file.Failed()) return false;
    sums.fileCrc32 = running.Crc32Text();
    sums.fileSha256 = running.Sha256Text();
    return true;
}

}  // namespace

ImageChecksums ChecksumImage(ProgrammerCore& core, const std::string& path) {
    ImageChecksums sums;
    sums.load = LoadImage(path, core.Buffer(), core.SelectedChip().capacity);
    if (sums.load.tooLong) sums.words.box = MessageText(kMsgFileTooLong);
    if (sums.load.outcome != ImageLoadResult::Outcome::Loaded) {
        sums.outcome = Outcome::FileError;
        return sums;
    }
    const DataBuffer& buffer = core.Buffer();
    sums.chipSum = buffer.Checksum();
    sums.chipBytes = buffer.activeLength;
    if (!SumFile(path, sums)) sums.outcome = Outcome::FileError;
    return sums;
}

}  // namespace qbr

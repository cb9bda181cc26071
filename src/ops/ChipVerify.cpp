// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipVerify.h"

#include "base/LargeBytes.h"
#include "base/MessageTable.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace qbr {

namespace {

// Offsets compared per pass, so that the window is served during a long comparison.
constexpr uint32_t kCompareBatch = 1024;

// How the comparison of one request ended.
enum class VerifyEnd { Match, Mismatch, ReadFailed, ReadShort };

// One read request of the verify: the chip's bytes [offset, offset + length).
struct Segment {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// The progress of the whole verify, not of the request under way.
void ShowProgress(ProgrammerCore& core, uint32_t received, uint32_t capacity) {
    core.SetProgress(static_cast<uint16_t>(uint64_t{received} * 100 / capacity));
}

// Compares the buffer with the chip's bytes of `segment` as they arrive. While the
// read runs a pass starts only once the received bytes lead the compared ones by
// a hundredth of the segment; after the read has ended the passes follow each
// other at once. A read that ended short leaves offsets that can never be
// compared: the comparison ends as soon as every received byte has been compared.
VerifyEnd CompareWhileReading(ProgrammerCore& core, const std::vector<uint8_t>& chipImage, Segment segment,
                              uint32_t capacity, uint32_t& next) {
    const uint32_t lead = segment.length / 100;
    const uint32_t segmentEnd = segment.offset + segment.length;
    for (;;) {
        const PollResult result = core.Session().Protocol().PollOperation();
        if (result == PollResult::Failed) return VerifyEnd::ReadFailed;
        const uint32_t received = segment.offset + core.Session().Protocol().GetBytesRead();
        ShowProgress(core, received, capacity);
        const bool reading = result == PollResult::Reading;
        if (reading && received < next + lead) {
            core.Session().Wait();
            continue;
        }
        // At most kCompareBatch offsets a pass; `next` stays on the first difference.
        const uint32_t end = std::min(received, next + kCompareBatch);
        while (next < end && core.Buffer().bytes[next] == chipImage[next]) ++next;
        if (next < end) return VerifyEnd::Mismatch;
        if (next >= segmentEnd) return VerifyEnd::Match;
        if (!reading && next >= received) return VerifyEnd::ReadShort;
    }
}

// Reads and compares the chip a segment at a time, so that a difference found
// early leaves at most the rest of one request on the wire. `next` ends on the
// first difference.
VerifyEnd CompareChip(ProgrammerCore& core, std::vector<uint8_t>& chipImage, uint32_t segment, uint32_t& next) {
    const auto capacity = static_cast<uint32_t>(chipImage.size());
    for (uint32_t offset = 0; offset < capacity; offset += segment) {
        const Segment part{offset, std::min(segment, capacity - offset)};
        if (!core.Session().Protocol().StartChipRead(chipImage.data() + part.offset, part.offset, part.length)) {
            return VerifyEnd::ReadFailed;
        }
        const VerifyEnd end = CompareWhileReading(core, chipImage, part, capacity, next);
        if (end != VerifyEnd::Match) return end;
    }
    return VerifyEnd::Match;
}

std::string ByteText(uint8_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X%X   ", value >> 4, value & 0xF);
    return text;
}

// The rest of the chip is not read once a difference is known. The report goes
// to the log and into a box.
CommandResult MismatchFound(ProgrammerCore& core, const Mismatch& mismatch) {
    core.Session().Protocol().CancelRead();
    CommandResult result = Failure(kMsgVerifyChipError);
    result.words.log = result.words.box = MismatchReport(mismatch.address, mismatch.bufferByte, mismatch.chipByte);
    result.mismatch = mismatch;
    return result;
}

}  // namespace

std::string MismatchReport(uint32_t address, uint8_t bufferByte, uint8_t chipByte) {
    char addressText[16];
    std::snprintf(addressText, sizeof addressText, "0x%06X   ", address & 0xFFFFFF);
    return MessageText(kMsgVerifyChipError) + "\r\n\r\n" + MessageText(kMsgMismatchAddr) + addressText + "\r\n" +
           MessageText(kMsgMismatchBuf) + ByteText(bufferByte) + "\r\n" + MessageText(kMsgMismatchChip) +
           ByteText(chipByte);
}

CommandResult VerifyChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller, uint32_t segment) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgVerifyChipStart));
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    if (CommandResult prepared = PrepareChipTransfer(core, chip); !prepared.Ok()) return prepared;
    core.ShowInfo(MessageText(kMsgVerifying));
    std::vector<uint8_t> chipImage;
    try {
        AssignLarge(chipImage, chip.capacity, 0x00);
    } catch (const std::bad_alloc&) {
        return {Outcome::Failed, {.box = MessageText(kMsgMemoryOverflow)}};
    }
    // Ends the verify read, if it still runs, on every way out: once CancelRead has
    // returned the link's worker no longer touches chipImage, which may then be freed.
    const auto stopRead = [](ProgrammerProtocol* protocol) {
        if (protocol->State() == OperationState::Reading) protocol->CancelRead();
    };
    const std::unique_ptr<ProgrammerProtocol, decltype(stopRead)> stopper(&core.Session().Protocol(), stopRead);
    uint32_t next = 0;
    switch (CompareChip(core, chipImage, segment, next)) {
    case VerifyEnd::Match:
        core.SetProgress(100);
        return {Outcome::Ok, {.status = MessageText(kMsgVerifyChipOk) + core.ElapsedText()}};
    case VerifyEnd::Mismatch: return MismatchFound(core, {next, core.Buffer().bytes[next], chipImage[next]});
    case VerifyEnd::ReadFailed:
    case VerifyEnd::ReadShort: break;
    }
    return Failure(kMsgVerifyChipError);
}

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace qbr {

// The kinds of misbehaviour the emulated programmer can be told to show.
// "Data phase" is the stream of chip data, self-test block or firmware image that
// follows a request's reply; a fault "after N bytes" counts within each one.
enum class FaultKind {
    Unplugged,     // the programmer is unplugged now and stays away until replugged
    UnplugAfter,   // it is unplugged after `value` bytes of a data phase (once)
    ReplugAfter,   // after `value` bytes of a data phase it drops off and is back at once (once)
    NoReply,       // requests are swallowed: no reply, nothing done
    StrayReplies,  // `value` replies with another opcode come before each real reply;
                   // kEndless: they never stop and the real reply never comes
    Reject,        // replies refuse the command, which is not carried out
    ShortChunk,    // a data phase from the programmer ends after `value` bytes
    Stall,         // a data phase stops after `value` bytes: transfers block until
                   // cancelled or timed out
    WriteFail,     // writes fail for `value` ms, counted from the first write after the fault is set
    FlipByte,      // a loose contact at chip address `value`: the first read that covers it,
                   // and every other one after (third, fifth, ...), returns that byte bit-inverted
    ProtectFrom,   // a write-protected top of the chip: programming at address `value` and
                   // above is ignored
    BusyForever,   // the status reports a running erase for ever
    SelfTestFail,  // the self-test block reports a hardware problem
};

struct EmulatorFault {
    static constexpr uint64_t kEndless = std::numeric_limits<uint64_t>::max();

    FaultKind kind = FaultKind::NoReply;
    uint64_t value = 0;
};

// Reads the text form of a fault: "unplugged", "unplug@N", "replug@N", "no-reply",
// "stray-replies" (endless), "stray-replies@N", "reject", "short@N", "stall@N",
// "write-fail@MS", "flip@ADDR", "protect@ADDR", "busy-forever", "selftest-fail". Numbers are decimal,
// or hexadecimal with a 0x prefix. Throws std::invalid_argument with a message
// that names the problem and the accepted forms.
EmulatorFault ParseEmulatorFault(std::string_view text);

// Every form ParseEmulatorFault reads and what it does, a line each ("  FORM  meaning\n").
std::string EmulatorFaultHelp();

}  // namespace qbr

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Doctor.h"

#include "base/MessageTable.h"
#include "base/PermissionText.h"
#include "cli/CliCommand.h"
#include "cli/CliReporter.h"
#include "cli/CliSession.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "core/ProgrammerCore.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/HardwareLink.h"
#include "link/ProgrammerSurvey.h"
#include "ops/Maintenance.h"

#include <algorithm>
#include <cstdio>

namespace qbr {

namespace {

// The programmer is a full-speed device with 64-byte bulk packets; the host's
// reply buffers are sized for them.
constexpr const char* kFullSpeed = "12";
constexpr uint16_t kBulkPacketSize = 64;
constexpr uint8_t kDirectionIn = 0x80;

// The programmer's own answers, asked through the window's commands.
struct Question {
    const char* key;
    CommandResult (*command)(ProgrammerCore&);
};
constexpr Question kQuestions[] = {
    {"firmware_version", OnReadFirmwareVersion},
    {"serial_number", OnReadSerialNumber},
    {"self_test", OnSelfTest},
};

// The emulated programmer's interface: the usual endpoint pair at full speed.
SurveyedInterface EmulatedInterface() {
    const auto size = static_cast<uint16_t>(EmulatedProgrammer::kMaxPacketSize);
    return {"", "", {{0x01, "Bulk", size}, {0x81, "Bulk", size}}};
}

std::string IdText(uint16_t vendorId, uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
    return text;
}

std::string HexAddress(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", address);
    return text;
}

std::string TrimmedEnd(std::string text) {
    text.erase(text.find_last_not_of(" \r\n") + 1);
    return text;
}

const char* AccessName(NodeAccess access) {
    return access == NodeAccess::Allowed ? "allowed" : access == NodeAccess::Denied ? "denied" : "missing";
}

const char* PathName(Doctor::Path path) {
    switch (path) {
    case Doctor::Path::Emulated: return "emulated";
    case Doctor::Path::Library: return "library";
    default: return "direct";
    }
}

bool AsExpected(const std::string& speed, const SurveyedInterface& interface) {
    return speed == kFullSpeed && interface.HasBulkPair() &&
           std::all_of(interface.endpoints.begin(), interface.endpoints.end(), [](const SurveyedEndpoint& endpoint) {
               return endpoint.type != "Bulk" || endpoint.maxPacketSize == kBulkPacketSize;
           });
}

// The text lines of `text`, whose line breaks may be "\r\n".
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    const std::string plain = CliReporter::WithNewlines(text);
    for (size_t start = 0; start <= plain.size();) {
        const size_t end = std::min(plain.find('\n', start), plain.size());
        lines.push_back(plain.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

int Doctor::Run(Path path, const std::vector<SurveyedProgrammer>& survey) {
    const DoctorWording& wording = CurrentDoctorWording();
    steps_.clear();
    CheckBus(path, survey);
    CheckPath(path);
    const bool opened = core_.Session().OpenLink();
    const bool refused = !opened && core_.Session().LinkProblem() == UsbLink::OpenProblem::AccessDenied;
    const bool onBus = path != Path::Emulated && !survey.empty();
    if (onBus) {
        CheckPermission(survey.front(), refused);
        CheckDriver(survey.front());
        CheckEndpoints(survey.front().speed, survey.front().interface);
    } else {
        Skip("permission", wording.titlePermission, path);
        Skip("driver", wording.titleDriver, path);
        if (path == Path::Emulated) {
            CheckEndpoints(kFullSpeed, EmulatedInterface());
        } else {
            Skip("endpoints", wording.titleEndpoints, path);
        }
    }
    CheckProgrammer(opened, refused, onBus);
    if (!opened && !onBus) {
        summary_ = wording.summaryNoProgrammer;
        return kExitNoProgrammer;
    }
    const auto problems = std::count_if(steps_.begin(), steps_.end(),
                                        [](const Step& step) { return step.status == Status::Problem; });
    summary_ = problems == 0 ? wording.summaryOk : Fill(wording.summaryProblems, {std::to_string(problems)});
    return problems == 0 ? kExitOk : kExitFailed;
}

Doctor::Step& Doctor::Add(const char* key, const char* title) {
    Step& step = steps_.emplace_back();
    step.key = key;
    step.title = title;
    return step;
}

void Doctor::CheckBus(Path path, const std::vector<SurveyedProgrammer>& survey) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("bus", wording.titleBus);
    step.facts["programmers"] = nlohmann::json::array();
    if (path == Path::Emulated) {
        step.lines.push_back(wording.emulatedBus);
        return;
    }
    if (survey.empty()) {
        step.status = Status::Problem;
        step.lines.push_back(wording.noneFound);
        return;
    }
    step.lines.push_back(Fill(wording.found, {std::to_string(survey.size())}));
    const std::string ids = IdText(AccessPath::kVendorId, AccessPath::kProductId);
    for (const SurveyedProgrammer& programmer : survey) {
        step.lines.push_back(
            Fill(wording.programmerLine,
                 {programmer.busPort, ids, programmer.serial.empty() ? wording.noSerial : programmer.serial,
                  programmer.deviceNode}));
        step.facts["programmers"].push_back({{"bus_port", programmer.busPort},
                                             {"vid_pid", ids},
                                             {"serial", programmer.serial},
                                             {"device_node", programmer.deviceNode}});
    }
    if (survey.size() > 1) step.lines.push_back(Fill(wording.firstUsed, {survey.front().busPort}));
}

void Doctor::CheckPath(Path path) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("access_path", wording.titlePath);
    step.facts["path"] = PathName(path);
    step.facts["reason"] = path == Path::DirectRequested        ? "QBR5150_USB=direct"
                           : path == Path::DirectWithoutLibrary ? "libusb could not start"
                                                                : "";
    step.lines.push_back(path == Path::Emulated          ? wording.pathEmulated
                         : path == Path::Library         ? wording.pathLibrary
                         : path == Path::DirectRequested ? wording.pathDirectRequested
                                                         : wording.pathDirectFallback);
    // The device rule this run would have udev apply: beside a portable program,
    // where the installation put it otherwise.
    step.lines.push_back(Fill(wording.ruleFile, {DeviceRulePath()}));
    step.facts["rule"] = DeviceRulePath();
}

// Refused when the node can't be opened by this user or the access path was
// refused the device; the way out is the device rule.
void Doctor::CheckPermission(const SurveyedProgrammer& programmer, bool refused) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("permission", wording.titlePermission);
    const NodeAccess access = refused ? NodeAccess::Denied : programmer.nodeAccess;
    step.facts["device_node"] = programmer.deviceNode;
    step.facts["access"] = AccessName(access);
    if (access == NodeAccess::Allowed) {
        step.lines.push_back(Fill(wording.accessAllowed, {programmer.deviceNode}));
        return;
    }
    step.status = Status::Problem;
    if (access == NodeAccess::Missing) {
        step.lines.push_back(Fill(wording.accessMissing, {programmer.deviceNode}));
        return;
    }
    step.lines = Lines(PermissionDeniedText());
    step.lines.push_back(Fill(wording.ruleFile, {DeviceRulePath()}));
    step.facts["rule"] = DeviceRulePath();
    step.facts["command"] = DeviceAccessCommand();
}

// A driver name of "usbfs" means that a program holds the interface through
// usbfs; any other driver the access paths detach when they claim it.
void Doctor::CheckDriver(const SurveyedProgrammer& programmer) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("driver", wording.titleDriver);
    const SurveyedInterface& interface = programmer.interface;
    step.facts["interface"] = interface.name;
    step.facts["driver"] = interface.driver;
    if (interface.name.empty()) {
        step.status = Status::Problem;
        step.lines.push_back(wording.noInterface);
    } else if (interface.driver.empty()) {
        step.lines.push_back(Fill(wording.driverNone, {interface.name}));
    } else if (interface.driver == "usbfs") {
        step.status = Status::Problem;
        step.lines.push_back(Fill(wording.driverOtherProgram, {interface.name}));
    } else {
        step.lines.push_back(Fill(wording.driverKernel, {interface.driver, interface.name}));
    }
}

void Doctor::CheckEndpoints(const std::string& speed, const SurveyedInterface& interface) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("endpoints", wording.titleEndpoints);
    step.facts["speed_mbps"] = speed;
    step.facts["endpoints"] = nlohmann::json::array();
    for (const SurveyedEndpoint& endpoint : interface.endpoints) {
        const bool in = (endpoint.address & kDirectionIn) != 0;
        step.lines.push_back(Fill(wording.endpointLine, {HexAddress(endpoint.address), endpoint.type, in ? "IN" : "OUT",
                                                         std::to_string(endpoint.maxPacketSize)}));
        step.facts["endpoints"].push_back(
            {{"address", endpoint.address}, {"type", endpoint.type}, {"max_packet_size", endpoint.maxPacketSize}});
    }
    if (AsExpected(speed, interface)) {
        step.lines.push_back(wording.endpointsAsExpected);
        return;
    }
    step.status = Status::Problem;
    step.lines.push_back(interface.HasBulkPair() ? Fill(wording.endpointsUnexpected, {speed}) : wording.noBulkPair);
}

void Doctor::CheckProgrammer(bool opened, bool refused, bool onBus) {
    const DoctorWording& wording = CurrentDoctorWording();
    Step& step = Add("programmer", wording.titleProgrammer);
    step.facts["opened"] = opened;
    if (opened) {
        AskProgrammer(step);
        return;
    }
    step.status = Status::Problem;
    step.lines.push_back(refused ? wording.openRefused : onBus ? wording.openFailed : wording.noneOpened);
}

// Each answer is what the window's command shows: its result on success, its
// failure's status line otherwise (no programmer, when it went away after the
// open). The commands run for their results alone: their texts stay off the terminal.
void Doctor::AskProgrammer(Step& step) {
    SilentEvents silent;
    ProgrammerCore quiet(core_.Session(), core_.Space(), silent);
    for (const Question& question : kQuestions) {
        const CommandResult result = question.command(quiet);
        quiet.Show(result);  // into the log alone
        const bool ok = result.Ok();
        const std::string failure = MessageText(result.message.value_or(kMsgNoProgrammer));
        const std::string shown = ok || !result.text.empty() ? result.text : failure;
        const std::string text = TrimmedEnd(CliReporter::WithNewlines(shown));
        if (!ok) step.status = Status::Problem;
        step.lines.push_back(text);
        step.facts[question.key] = {{"ok", ok}, {"text", text}};
    }
}

// A step that needs a programmer found on the bus; the emulated programmer has
// no bus, so there is nothing to say.
void Doctor::Skip(const char* key, const char* title, Path path) {
    Step& step = Add(key, title);
    step.status = Status::Skipped;
    if (path != Path::Emulated) step.lines.push_back(CurrentDoctorWording().skippedNoProgrammer);
}

void Doctor::Print(std::ostream& out) const {
    const DoctorWording& wording = CurrentDoctorWording();
    int number = 0;
    for (const Step& step : steps_) {
        const char* tag = step.status == Status::Ok        ? wording.tagOk
                          : step.status == Status::Problem ? wording.tagProblem
                                                           : wording.tagSkipped;
        out << ++number << ". " << step.title << "  [" << tag << "]\n";
        for (const std::string& line : step.lines) {
            for (const std::string& part : Lines(line)) out << "   " << part << '\n';
        }
    }
    out << summary_ << '\n';
}

nlohmann::json Doctor::Report() const {
    nlohmann::json steps = nlohmann::json::array();
    for (const Step& step : steps_) {
        nlohmann::json entry = step.facts;
        entry["step"] = step.key;
        entry["status"] = step.status == Status::Ok ? "ok" : step.status == Status::Problem ? "problem" : "skipped";
        entry["text"] = step.lines;
        steps.push_back(std::move(entry));
    }
    return {{"steps", steps}, {"summary", summary_}};
}

namespace {

// The bus is surveyed first: once this process has opened the programmer, sysfs
// shows its interface as held. The report goes to the error stream when the
// output stream carries the JSON object.
class DoctorCommand final : public CliCommand {
public:
    std::string Name() const override { return "doctor"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(), "check step by step why the programmer can or can't be used");
    }
    Needs Prepares() const override { return Needs::Database; }
    bool RunsOnEachProgrammer() const override { return true; }
    int Run(CliSession& session) const override {
        const CliOptions& options = session.Options();
        if (!session.Slot().id.empty()) session.Report().Set("programmer", session.Slot().id);
        const std::vector<SurveyedProgrammer> survey = options.link.emulatedChip ? std::vector<SurveyedProgrammer>()
                                                                                 : SurveyProgrammers();
        if (!session.SelectChip()) return kExitUsage;
        // The doctor looks at the programmer itself, which a recorded trace is not.
        LinkRequest hardware = options.link;
        hardware.replay.clear();
        if (const int code = session.ConnectProgrammer(hardware); code != kExitOk) return code;
        Doctor doctor(session.Core());
        const Doctor::Path path = options.link.emulatedChip                ? Doctor::Path::Emulated
                                  : session.Link().accessPath == "library" ? Doctor::Path::Library
                                  : DirectPathRequested()                  ? Doctor::Path::DirectRequested
                                                                           : Doctor::Path::DirectWithoutLibrary;
        const int code = doctor.Run(path, survey);
        doctor.Print(session.Report().Results());
        session.Report().Merge(doctor.Report());
        return code;
    }
};

}  // namespace

std::unique_ptr<CliCommand> MakeDoctorCommand() {
    return std::make_unique<DoctorCommand>();
}

}  // namespace qbr

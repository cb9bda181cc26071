// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ProgrammerSurvey.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace qbr {

class ProgrammerCore;

// `qbr5150-cli doctor`: goes step by step through what stands between the
// program and the programmer (the bus, the access path, this user's permission,
// a kernel driver on the interface, the endpoints, and the programmer's own
// answers: firmware version, serial number, self test), and says at each step
// what is wrong and how to mend it, as text or as one JSON object.
class Doctor {
public:
    // How this run reaches the programmer.
    enum class Path { Emulated, Library, DirectRequested, DirectWithoutLibrary };

    explicit Doctor(ProgrammerCore& core) : core_(core) {}

    // `survey`: the programmers sysfs showed before this process opened one (not
    // used on the emulated path). Returns the exit code: 0 when all is well, 3 when
    // there is no programmer, 1 when anything else is wrong.
    int Run(Path path, const std::vector<SurveyedProgrammer>& survey);
    void Print(std::ostream& out) const;
    // {"steps": [{"step", "status", "text", and the step's facts}, ...], "summary"}.
    nlohmann::json Report() const;

private:
    enum class Status { Ok, Problem, Skipped };
    struct Step {
        const char* key = "";
        const char* title = "";
        Status status = Status::Ok;
        std::vector<std::string> lines;
        nlohmann::json facts = nlohmann::json::object();
    };

    Step& Add(const char* key, const char* title);
    void CheckBus(Path path, const std::vector<SurveyedProgrammer>& survey);
    void CheckPath(Path path);
    void CheckPermission(const SurveyedProgrammer& programmer, bool refused);
    void CheckDriver(const SurveyedProgrammer& programmer);
    void CheckEndpoints(const std::string& speed, const SurveyedInterface& interface);
    void CheckProgrammer(bool opened, bool refused, bool onBus);
    void AskProgrammer(Step& step);
    void Skip(const char* key, const char* title, Path path);

    ProgrammerCore& core_;
    std::vector<Step> steps_;
    std::string summary_;
};

}  // namespace qbr

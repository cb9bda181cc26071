// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FirmwareQuestion.h"

#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "ops/FirmwareImage.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <optional>
#include <ostream>

namespace qbr {
namespace {

// y or yes in any case, blanks around it ignored.
bool IsYes(std::string answer) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    answer.erase(answer.begin(), std::find_if_not(answer.begin(), answer.end(), blank));
    answer.erase(std::find_if_not(answer.rbegin(), answer.rend(), blank).base(), answer.end());
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "y" || answer == "yes";
}

}  // namespace

int ConfirmFirmwareFile(const std::string& path, bool yes, std::istream& in, bool terminal, std::ostream& err) {
    if (yes) return kExitOk;
    const CliWording& wording = CurrentCliWording();
    if (!terminal) {
        err << Fill(wording.firmwareNeedsYes, {path}) << '\n';
        return kExitUsage;
    }
    const std::optional<FirmwareImage> image = LoadFirmwareImage(path);
    if (!image || !image->Acceptable()) return kExitOk;
    err << Fill(wording.firmwareQuestion, {path, std::to_string(image->fileLength)}) << std::flush;
    std::string answer;
    if (std::getline(in, answer) && IsYes(answer)) return kExitOk;
    err << wording.firmwareNotSent << '\n';
    return kExitFailed;
}

}  // namespace qbr

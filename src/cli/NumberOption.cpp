// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/NumberOption.h"

#include "base/NumberText.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"

namespace qbr {

CLI::Option* AddNumberOption(CLI::App& app, CliOptions& options, const std::string& name, uint64_t least,
                             uint64_t greatest, std::function<void(uint64_t)> store, const std::string& help) {
    const std::string option = name.substr(0, name.find(','));
    return app.add_option_function<std::string>(
        name,
        [&options, option, least, greatest, store = std::move(store)](const std::string& text) {
            const std::optional<uint64_t> value = ParseNumber(text);
            if (value && *value >= least && *value <= greatest) {
                store(*value);
            } else if (!options.badNumber) {
                options.badNumber = BadNumber{option, text, least, greatest};
            }
        },
        help);
}

std::string BadNumberText(const BadNumber& bad) {
    return Fill(CurrentCliWording().badNumber,
                {bad.option, bad.text, std::to_string(bad.least), std::to_string(bad.greatest)});
}

}  // namespace qbr

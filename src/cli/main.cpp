// qbr5150-cli: the programmer's functions on the command line.

#include "app/Language.h"
#include "app/MessageTable.h"
#include "chipdb/ChipDatabase.h"
#include "cli/ChipCommands.h"
#include "cli/LinkCommands.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

int main(int argc, char** argv) {
    CLI::App app{"qbr5150 serial memory programmer"};
    std::string language;
    std::string databasePath;
    app.add_option("--lang", language, "language of the texts")->check(CLI::IsMember({"en", "zh"}));
    app.add_option("--db", databasePath, "chip database file instead of the configured one");
    std::string emulatedChip;
    CLI::Option* emulate =
        app.add_option("--emulate", emulatedChip, "use the emulated programmer with CHIP in its socket")
            ->expected(0, 1);
    app.require_subcommand(1);

    std::string pattern;
    CLI::App* chips = app.add_subcommand("chips", "list the chips whose names match a wildcard pattern");
    chips->add_option("pattern", pattern, "pattern with '*' wildcards; all chips when left out");
    std::string name;
    CLI::App* chip = app.add_subcommand("chip", "show one chip's record");
    chip->add_option("name", name, "chip name")->required();
    CLI::App* link = app.add_subcommand("link", "check that the programmer answers");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? qbr::kExitOk : qbr::kExitUsage;
    }

    qbr::LoadLanguageSetting();
    qbr::BuildMessageTable();
    if (!language.empty()) {
        qbr::SetLanguageForSession(language == "zh" ? qbr::kLanguageChinese : qbr::kLanguageEnglish);
    }
    qbr::ChipDatabase database;
    if (!database.Load(databasePath.empty() ? qbr::MessageText(qbr::kMsgDatabaseFilePath) : databasePath)) {
        std::cerr << qbr::MessageText(qbr::kMsgDatabaseError) << '\n';
        return qbr::kExitNotFound;
    }
    if (chips->parsed()) return qbr::ListChips(database, pattern, std::cout);
    if (link->parsed()) {
        return qbr::CheckLink(database, emulate->count() > 0 ? std::optional(emulatedChip) : std::nullopt,
                              std::cout);
    }
    return qbr::ShowChip(database, name, std::cout);
}

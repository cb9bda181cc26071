// SPDX-License-Identifier: GPL-3.0-or-later
// qbr5150-chipdb: turns the chip table's text form into the binary database file
// and back.
//   qbr5150-chipdb build IN.csv OUT.dat
//   qbr5150-chipdb dump IN.dat OUT.csv
// OUT may be "-" for standard output.

#include "base/AtomicFile.h"
#include "chipdb/ChipCsv.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipDatabaseFile.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file is replaced as a whole, never left half written.
void WriteOutput(const std::string& path, const std::string& bytes) {
    if (path == "-") {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (!std::cout) throw std::runtime_error("cannot write to standard output");
        return;
    }
    if (!qbr::AtomicFile::Replace(path, bytes)) throw std::runtime_error("cannot write " + path);
}

void Build(const std::string& in, const std::string& out) {
    std::vector<qbr::ChipRecord> chips;
    try {
        chips = qbr::ParseChipCsv(ReadText(in));
    } catch (const qbr::ChipCsvError& e) {
        throw std::runtime_error(in + ": " + e.what());
    }
    std::vector<uint8_t> file = qbr::EncodeDatabase(chips);
    WriteOutput(out, std::string(file.begin(), file.end()));
}

void Dump(const std::string& in, const std::string& out) {
    qbr::ChipDatabase database;
    if (!database.Load(in)) throw std::runtime_error(in + ": not a readable chip database");
    WriteOutput(out, qbr::FormatChipCsv(database.Records()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: qbr5150-chipdb build IN.csv OUT.dat\n"
                     "       qbr5150-chipdb dump IN.dat OUT.csv\n";
        return 2;
    }
    const std::string command = argv[1];
    try {
        if (command == "build") {
            Build(argv[2], argv[3]);
        } else if (command == "dump") {
            Dump(argv[2], argv[3]);
        } else {
            std::cerr << "qbr5150-chipdb: unknown command \"" << command << "\" (build or dump)\n";
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "qbr5150-chipdb: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

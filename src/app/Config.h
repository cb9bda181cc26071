#pragma once

#include <string>

namespace qbr {

// The program's directory: where config.ini, the chip database, the pictures and
// the manual lie. The text ends with '/'.
// By default the directory of the running executable; front ends and tests may
// point it elsewhere before anything is read.
std::string ExecutableDirectory();
void SetExecutableDirectory(const std::string& directory);

// The directory part of a path, cut behind its last '/' (which stays); empty when
// the path has no '/'.
std::string DirectoryOfPath(const std::string& path);

// ExecutableDirectory() + "config.ini".
std::string ConfigFilePath();

// A key of config.ini; empty when the file, section or key is missing.
std::string ReadConfig(const std::string& section, const std::string& key);
// Writes a key of config.ini; the result is the write's success, which callers
// may ignore: a failed write leaves the old file intact.
bool WriteConfig(const std::string& section, const std::string& key, const std::string& value);

}  // namespace qbr

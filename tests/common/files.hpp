#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace tarnwick::test {

/// The content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& Name);
/// Writes Content to the file Name, replacing what was there.
void WriteFile(const std::string& Name, const std::string& Content);
/// The names of the entries of Dir.
std::set<std::string> FileNames(const std::filesystem::path& Dir);

} // namespace tarnwick::test

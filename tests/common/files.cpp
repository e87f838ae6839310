#include "common/files.hpp"

#include <fstream>
#include <iterator>

namespace tarnwick::test {

std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& Name, const std::string& Content) {
  std::ofstream(Name, std::ios::binary) << Content;
}

std::set<std::string> FileNames(const std::filesystem::path& Dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Dir)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

} // namespace tarnwick::test

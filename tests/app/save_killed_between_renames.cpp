// Saves a generated image over the pair BASE and dies, as a power cut or a kill would end it,
// at the moment between the save's two renames: the new block file is in place, the status
// file is still the old one.
#include "sim/sample_image.hpp"
#include "support/file_util.hpp"

#include <csignal>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  using namespace tarnwick;
  ReplacingFile::SetCommitFaultForTests([](const std::string& Target) {
    if (Target.size() > 4 && Target.compare(Target.size() - 4, 4, ".dat") == 0) {
      std::raise(SIGKILL);
    }
    return std::error_code();
  });
  sim::GenerateSampleImage({sim::SampleFamily::GT900, 500, 9}).SaveToFile(argv[1]);
  return 0; // not reached: the status file's rename kills the program
}

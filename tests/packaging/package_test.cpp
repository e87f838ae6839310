#include "common/ci.hpp"
#include "common/run_process.hpp"
#include "common/temp_dir.hpp"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <sstream>

namespace tarnwick {
namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
    s.pop_back();
  }
  return s;
}

// Width and height from a PNG file's IHDR chunk, or 0, 0.
std::pair<uint32_t, uint32_t> PngSize(const std::string& file) {
  std::array<unsigned char, 24> h{};
  std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(h.data()), h.size());
  const auto be32 = [&](size_t at) {
    return uint32_t{h[at]} << 24 | uint32_t{h[at + 1]} << 16 | uint32_t{h[at + 2]} << 8 | h[at + 3];
  };
  if (h[1] != 'P' || h[2] != 'N' || h[3] != 'G') {
    return {0, 0};
  }
  return {be32(16), be32(20)};
}

TEST(PackageTest, DebHoldsTheProgramDesktopEntryIconsUdevRuleAndLicence) {
  const std::string dpkgDeb = TARNWICK_DPKG_DEB;
  if (dpkgDeb.empty()) {
    TARNWICK_SKIP_OR_FAIL_UNDER_CI("dpkg-deb not installed");
  }
  test::TempDir out;
  const test::ProcessResult built = test::RunProcess(
      {TARNWICK_SOURCE_DIR "/scripts/package", TARNWICK_BINARY_DIR, out.Path().string()}, "", "",
      540);
  ASSERT_EQ(built.ExitCode, 0) << built.Err;
  const std::string deb = Trimmed(built.Out);
  const std::string arch =
      Trimmed(test::RunProcess({"/usr/bin/env", "dpkg", "--print-architecture"}).Out);
  EXPECT_EQ(deb, out.File("tarnwick_" TARNWICK_VERSION "_" + arch + ".deb"));

  // Every file, with its mode; directories are left out.
  const test::ProcessResult listing = test::RunProcess({dpkgDeb, "-c", deb});
  ASSERT_EQ(listing.ExitCode, 0) << listing.Err;
  std::map<std::string, std::string> files;
  std::istringstream lines(listing.Out);
  for (std::string mode, owner, size, date, time, path;
       lines >> mode >> owner >> size >> date >> time >> path;) {
    EXPECT_EQ(owner, "root/root") << path;
    if (mode[0] != 'd') {
      files[path] = mode;
    }
  }
  std::map<std::string, std::string> expected = {
      {"./usr/bin/tarnwick", "-rwxr-xr-x"},
      {"./usr/lib/udev/rules.d/60-tarnwick.rules", "-rw-r--r--"},
      {"./usr/share/applications/tarnwick-viewer.desktop", "-rw-r--r--"},
      {"./usr/share/icons/hicolor/scalable/apps/tarnwick.svg", "-rw-r--r--"},
      {"./usr/share/doc/tarnwick/copyright", "-rw-r--r--"},
      {"./usr/share/doc/tarnwick/LICENSE", "-rw-r--r--"}};
  if (!TARNWICK_ICON_PNG && test::UnderCi()) {
    ADD_FAILURE() << "rsvg-convert (librsvg2-bin) was missing, so the package has no PNG icon";
  }
  if (TARNWICK_ICON_PNG) {
    expected["./usr/share/icons/hicolor/256x256/apps/tarnwick.png"] = "-rw-r--r--";
  }
  if (files.count("./usr/bin/tarnwick-viewer") != 0) {
    expected["./usr/bin/tarnwick-viewer"] = "-rwxr-xr-x";
  }
  EXPECT_EQ(files, expected); // and nothing else: no headers, libraries or test programs

  const test::ProcessResult fields =
      test::RunProcess({dpkgDeb, "-f", deb, "Package", "Version", "Section", "Depends"});
  EXPECT_NE(fields.Out.find("Package: tarnwick\nVersion: " TARNWICK_VERSION "\nSection: utils\n"),
            std::string::npos)
      << fields.Out;
  // Found by dpkg-shlibdeps from what the program links (a sanitizer build adds libasan8).
  const size_t depends = fields.Out.find("\nDepends: ");
  ASSERT_NE(depends, std::string::npos) << fields.Out;
  EXPECT_NE(
      fields.Out.substr(depends, fields.Out.find('\n', depends + 1) - depends).find("libc6 ("),
      std::string::npos)
      << fields.Out;

  test::TempDir root;
  ASSERT_EQ(test::RunProcess({dpkgDeb, "-x", deb, root.Path().string()}).ExitCode, 0);
  if (!TARNWICK_ICON_PNG && test::UnderCi()) {
    ADD_FAILURE() << "rsvg-convert (librsvg2-bin) was missing, so the package has no PNG icon";
  }
  if (TARNWICK_ICON_PNG) {
    EXPECT_EQ(PngSize(root.File("usr/share/icons/hicolor/256x256/apps/tarnwick.png")),
              std::make_pair(256u, 256u));
  }
  const std::string validate = TARNWICK_DESKTOP_FILE_VALIDATE;
  if (validate.empty() && test::UnderCi()) {
    ADD_FAILURE() << "desktop-file-validate (desktop-file-utils) is not installed";
  }
  if (!validate.empty()) {
    const test::ProcessResult checked =
        test::RunProcess({validate, root.File("usr/share/applications/tarnwick-viewer.desktop")});
    EXPECT_EQ(checked.ExitCode, 0) << checked.Out << checked.Err;
  }
}

} // namespace
} // namespace tarnwick

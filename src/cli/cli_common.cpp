#include "cli/cli_common.hpp"

#include "support/errors.hpp"
#include "support/str_util.hpp"

#include "support/os_files.hpp"

#include <cerrno>
#include <charconv>
#include <iostream>
#include <limits>

namespace tarnwick::cli {

LoadedImage LoadImage(const std::string& Base) {
  LoadedImage image;
  const std::string dat = TIGotUWholeData::StatusFileName(Base);
  if (const auto status = StatusOf(dat, true); !status) {
    // The C library's text for a missing file, so the message reads the same everywhere.
    throw IsNotFound(status.Error)
        ? FileError::Open(dat, ENOENT)
        : FileError(dat, "Cannot open file \"" + dat + "\". " + SystemErrorText(status.Error));
  }
  image.Data.LoadFromFile(Base);
  for (const auto& warning : image.Data.Warnings()) {
    std::cerr << "tarnwick: warning: " << EscapeControls(warning) << '\n';
  }
  image.Points = std::make_unique<TIGotUPoints>(image.Data.Status.FModel, image.Data.Blocks());
  return image;
}

const TIGotUTrack& TrackByNumber(const LoadedImage& Image, int Number) {
  const int count = Image.Points->Tracks().Count();
  if (Number < 1 || Number > count) {
    throw Error("there is no track " + std::to_string(Number) + ": the image has " +
                std::to_string(count) + (count == 1 ? " track" : " tracks"));
  }
  return Image.Points->Tracks()[Number - 1];
}

CLI::Validator CountsFromOne(const std::string& Things) {
  return CLI::Validator(
      [Things](std::string& Text) -> std::string {
        int64_t value = 0;
        const auto* end = Text.data() + Text.size();
        const auto [ptr, ec] = std::from_chars(Text.data(), end, value);
        if (ec == std::errc::result_out_of_range ||
            (ec == std::errc() && value > std::numeric_limits<int>::max())) {
          return "\"" + Text + "\" is too large";
        }
        if (ec != std::errc() || ptr != end) {
          return "\"" + Text + "\" is not a number";
        }
        if (value < 1) {
          return Things + " count from 1, not " + Text;
        }
        return {};
      },
      "NUMBER >= 1");
}

void WriteTable(std::ostream& Out, const TStringGridHelper& Table) {
  const int cols = Table.GetColCount();
  std::string line;
  for (int row = 0; row <= Table.DataCount(); ++row) {
    line.clear();
    for (int col = 0; col < cols; ++col) {
      if (col > 0) {
        line += '\t';
      }
      line += EscapeControls(Table.GetCellText(col, row));
    }
    line += '\n';
    Out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
}

} // namespace tarnwick::cli

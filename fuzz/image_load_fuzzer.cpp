// A saved image pair from fuzzed bytes: the first two bytes give the length of the status file
// text, the rest is split into that text and the block file.
#include "logger_fuzz_common.hpp"

#include "logger/whole_data.hpp"
#include "logger/year_era.hpp"
#include "support/byte_order.hpp"

#include <cstdint>
#include <string_view>
#include <zlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  if (size < 2) {
    return 0;
  }
  const size_t datLength = std::min<size_t>(size - 2, size_t{GetBE16(data)});
  const std::string_view dat(reinterpret_cast<const char*>(data + 2), datLength);
  const std::span<const uint8_t> bin(data + 2 + datLength, size - 2 - datLength);
  TIGotUWholeData image;
  try {
    image.LoadFromMemory(dat, bin, "fuzz.dat");
  } catch (const Error&) {
    return 0;
  }
  // Saving keeps the user's lines of the old status file; the saved status must still read
  // back exactly, and the block file it records must match.
  const std::string saved = image.StatusText(
      std::string(dat), bin.size(), static_cast<uint32_t>(::crc32_z(0, bin.data(), bin.size())));
  TIGotUWholeData again;
  again.LoadFromMemory(saved, bin, "fuzz.dat");
  if (again.Status.FModel.Data != image.Status.FModel.Data ||
      again.Status.FIdent.Data != image.Status.FIdent.Data ||
      again.Status.FCount.Data != image.Status.FCount.Data || !again.Warnings().empty()) {
    __builtin_trap();
  }
  // The download moment ([Download] TimeUTC) survives the save to the second, and the era
  // counted from it reads every record.
  const auto& was = image.DownloadTime();
  const auto& now = again.DownloadTime();
  if (was.has_value() != now.has_value() || (was && FormatIsoUtc(*was) != FormatIsoUtc(*now))) {
    __builtin_trap();
  }
  const YearEra era = YearEra::Automatic(was);
  (void)era.Description();
  for (int ym = 0; ym < 256; ym += 17) {
    (void)era.YearBase(static_cast<uint8_t>(ym), static_cast<uint16_t>(ym * 251), 0);
  }
  const TIGotUPoints points(image.Status.FModel, image.Blocks());
  fuzz::WalkPoints(points);
  ConfigDumpLines(image.ConfigBlockPtr(), image.ConfigLength());
  StatusLabels(image.Status);
  return 0;
}

#include "gpx/gpx_test_util.hpp"

#include "logger/slot_blocks.hpp"

#include <cstdlib>
#include <filesystem>

namespace tarnwick::test {

using sim::RecordEncoder;

DateTime At(int h, int m, int s, int ms, int day) {
  return EncodeDate(2013, 11, day) + EncodeTime(h, m, s, ms);
}

RecordEncoder::FixRecord Fix(DateTime Time, double Lat, double Lon, double Ele, double Speed,
                             double Course) {
  RecordEncoder::FixRecord f;
  f.Time = Time;
  f.Latitude = Lat;
  f.Longitude = Lon;
  f.Elevation = Ele;
  f.Speed = Speed;
  f.Course = Course;
  f.EHPE = 3;
  return f;
}

RIGotUPointSlot Point900(const RecordEncoder::FixRecord& F, double PressureEle, uint8_t Flags) {
  return RecordEncoder::TrackPoint800(Flags, F, PressureEle, 0);
}

RIGotUPointSlot Point120(const RecordEncoder::FixRecord& F, int Sats, uint8_t Flags) {
  const uint32_t mask = Sats >= 32 ? 0xFFFFFFFFu : (1u << Sats) - 1;
  return RecordEncoder::TrackPoint100(Flags, F, mask, 0, 0, 0, 0);
}

RIGotUPointSlot IntRecord(uint8_t Flag, DateTime Start, int First) {
  std::array<uint8_t, 24> values{};
  for (int i = 0; i < 24; ++i) {
    values[static_cast<size_t>(i)] = static_cast<uint8_t>(First + i);
  }
  return RecordEncoder::ExtInt(Flag, Start, values, 0);
}

RIGotUPointSlot SpeedRecord(DateTime Start, double First) {
  std::array<double, 12> values{};
  for (int i = 0; i < 12; ++i) {
    values[static_cast<size_t>(i)] = First + i / 10.0;
  }
  return RecordEncoder::ExtSpeed(Start, values, 0);
}

TestImage Decode(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots) {
  const auto blocks = BlocksOf(Slots);
  TestImage image;
  image.Points = std::make_unique<TIGotUPoints>(RModelResult{{0, 1, Model}}, blocks.get());
  return image;
}

std::optional<std::string> SchemaDir() {
  namespace fs = std::filesystem;
  if (const char* env = std::getenv("TARNWICK_SCHEMA_DIR"); env && fs::is_directory(env)) {
    return std::string(env);
  }
  const fs::path shared = fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "schemas";
  if (fs::is_directory(shared)) {
    return fs::weakly_canonical(shared).string();
  }
  return std::nullopt;
}

size_t CountOf(const std::string& Text, const std::string& Needle) {
  size_t n = 0;
  for (size_t pos = Text.find(Needle); pos != std::string::npos;
       pos = Text.find(Needle, pos + Needle.size())) {
    ++n;
  }
  return n;
}

} // namespace tarnwick::test

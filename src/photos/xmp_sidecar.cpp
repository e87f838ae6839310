#include "photos/photo_metadata.hpp"

#include "photos/exiv2_support.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/str_util.hpp"

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

// Sidecars hold text only; a bigger one is not a sidecar anyone wrote by hand or by tool.
constexpr size_t kMaxSidecarBytes = size_t{16} << 20;

// XMP's form of a GPS coordinate, "DDD,MM.mmmmmmmmK": minutes to 1e-8, about 2e-10 degrees.
std::string XmpCoordinate(double degrees, char positive, char negative) {
  constexpr int64_t kPerMinute = 100'000'000;
  const int64_t units = std::llround(std::fabs(degrees) * 60.0 * kPerMinute);
  const int64_t whole = units / (60 * kPerMinute);
  const int64_t rest = units % (60 * kPerMinute);
  char text[48];
  std::snprintf(text, sizeof text, "%lld,%02lld.%08lld%c", static_cast<long long>(whole),
                static_cast<long long>(rest / kPerMinute),
                static_cast<long long>(rest % kPerMinute), degrees < 0 ? negative : positive);
  return text;
}

// XMP has one date-time for GPSDateStamp and GPSTimeStamp together.
std::string XmpTime(int64_t utcMs) {
  std::string text = FormatPhotoTime(utcMs, utcMs % 1000 != 0);
  text[10] = 'T';
  return text + "Z";
}

std::vector<std::pair<std::string, std::string>> XmpGpsProperties(const GpsFix& fix) {
  std::vector<std::pair<std::string, std::string>> properties = {
      {"Xmp.exif.GPSVersionID", "2.3.0.0"},
      {"Xmp.exif.GPSLatitude", XmpCoordinate(fix.Latitude, 'N', 'S')},
      {"Xmp.exif.GPSLongitude", XmpCoordinate(fix.Longitude, 'E', 'W')},
  };
  if (!std::isnan(fix.Elevation)) {
    properties.emplace_back("Xmp.exif.GPSAltitudeRef", fix.Elevation < 0 ? "1" : "0");
    properties.emplace_back("Xmp.exif.GPSAltitude",
                            std::to_string(std::llround(std::fabs(fix.Elevation) * 1000)) +
                                "/1000");
  }
  properties.emplace_back("Xmp.exif.GPSTimeStamp", XmpTime(fix.UtcMs));
  properties.emplace_back("Xmp.exif.GPSMapDatum", "WGS-84");
  return properties;
}

bool IsGpsProperty(const std::string& key) {
  return key.compare(0, 12, "Xmp.exif.GPS") == 0;
}

} // namespace

void WriteXmpSidecar(const std::string& File, const GpsFix& Fix) {
  const std::string name = XmpSidecarName(File);
  try {
    if (!(std::fabs(Fix.Latitude) <= 90) || !(std::fabs(Fix.Longitude) <= 180) ||
        std::isinf(Fix.Elevation) || Fix.UtcMs < 0) {
      throw PhotoError(File, "Cannot write the sidecar of photo \"" + File +
                                 "\": the position or its time is out of range");
    }
    InitExiv2();
    ReplacingFile::CheckTarget(name);
    const auto old = ReadWholeFile(name, kMaxSidecarBytes, {.RegularOnly = true, .NoFollow = true});
    Exiv2::XmpData xmp;
    if (old && Exiv2::XmpParser::decode(xmp, *old) != 0) {
      throw PhotoError(File, "Cannot write the sidecar of photo \"" + File + "\": \"" + name +
                                 "\" is there but is not XMP that can be read; left alone");
    }
    std::vector<std::string> kept;
    for (auto it = xmp.begin(); it != xmp.end();) {
      if (IsGpsProperty(it->key())) {
        it = xmp.erase(it);
      } else {
        kept.push_back(it->key());
        ++it;
      }
    }
    const auto properties = XmpGpsProperties(Fix);
    for (const auto& [key, value] : properties) {
      xmp[key] = value;
    }
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, xmp,
                                 Exiv2::XmpParser::useCompactFormat |
                                     Exiv2::XmpParser::omitPacketWrapper) != 0) {
      throw PhotoError(File, "Cannot write the sidecar of photo \"" + File +
                                 "\": the XMP could not be written");
    }
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + packet;

    // Read back before anything is replaced: every new property with its value, every old
    // one still there.
    Exiv2::XmpData back;
    bool same = Exiv2::XmpParser::decode(back, text) == 0;
    for (const auto& [key, value] : properties) {
      const auto it = back.findKey(Exiv2::XmpKey(key));
      same = same && it != back.end() && it->toString() == value;
    }
    for (const std::string& key : kept) {
      same = same && back.findKey(Exiv2::XmpKey(key)) != back.end();
    }
    if (!same) {
      throw PhotoError(File, "Cannot write the sidecar of photo \"" + File +
                                 "\": the XMP written does not read back as meant");
    }
    ReplacingFile out(name);
    out.Write(text.data(), text.size());
    out.Commit();
  } catch (...) {
    RethrowAsPhotoError(File, "write the sidecar of");
  }
}

} // namespace tarnwick

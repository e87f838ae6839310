#include "viewer/map/tile_math.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tarnwick::viewer {

namespace {

constexpr double kPi = std::numbers::pi;
// The WGS84 equator's length in metres, as the tile servers scale their tiles.
constexpr double kEquatorMetres = 2 * kPi * 6378137.0;

} // namespace

WorldPoint ToWorld(double Latitude, double Longitude) {
  const double lat = std::clamp(Latitude, -kMaxLatitude, kMaxLatitude) * kPi / 180;
  return {(Longitude + 180) / 360, (1 - std::asinh(std::tan(lat)) / kPi) / 2};
}

double LatitudeOf(const WorldPoint& Point) {
  return std::atan(std::sinh(kPi * (1 - 2 * Point.Y))) * 180 / kPi;
}

double LongitudeOf(const WorldPoint& Point) {
  return Point.X * 360 - 180;
}

double WorldPixels(int Zoom) {
  return std::ldexp(kTileSize, Zoom);
}

TileKey TileOf(const WorldPoint& Point, int Zoom) {
  const int last = (1 << Zoom) - 1;
  const auto index = [&](double V) {
    return std::clamp(static_cast<int>(std::floor(std::ldexp(V, Zoom))), 0, last);
  };
  return {Zoom, index(Point.X), index(Point.Y)};
}

double MetresPerPixel(double Latitude, int Zoom) {
  return kEquatorMetres * std::cos(Latitude * kPi / 180) / WorldPixels(Zoom);
}

double ScaleBarMetres(double MetresPerPixel, double MaxPixels) {
  const double most = MetresPerPixel * MaxPixels;
  if (!(most > 0) || !std::isfinite(most)) {
    return 0;
  }
  const double power = std::pow(10.0, std::floor(std::log10(most)));
  for (const double factor : {5.0, 2.0, 1.0}) {
    if (factor * power <= most) {
      return factor * power;
    }
  }
  return power;
}

double GraticuleStep(double PixelsPerDegree, double MinPixels) {
  // Decimal degrees as GPS receivers show them: 1, 2 or 5 times a power of ten, then the
  // usual divisions of a circle.
  static constexpr std::array<double, 22> kSteps{
      0.00001, 0.00002, 0.00005, 0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02,
      0.05,    0.1,     0.2,     0.5,    1,      2,      5,     10,    15,    30,   90};
  for (const double step : kSteps) {
    if (step * PixelsPerDegree >= MinPixels) {
      return step;
    }
  }
  return kSteps.back();
}

int FittingZoom(double Width, double Height, double PixelsWide, double PixelsHigh) {
  int zoom = 0;
  while (zoom < kMaxZoom && Width * WorldPixels(zoom + 1) <= PixelsWide &&
         Height * WorldPixels(zoom + 1) <= PixelsHigh) {
    ++zoom;
  }
  return zoom;
}

uint64_t PackedKey(const TileKey& Key) {
  return (static_cast<uint64_t>(Key.Z) << 58) | (static_cast<uint64_t>(Key.X) << 29) |
         static_cast<uint64_t>(Key.Y);
}

} // namespace tarnwick::viewer

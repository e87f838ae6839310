#pragma once

#include <cstdint>

namespace tarnwick::viewer {

/// A place in the Web Mercator plane of the tile servers, as fractions of the world square:
/// X from 0 (180° W) to 1 (180° E), Y from 0 (north edge, about 85.05° N) to 1 (south edge).
/// A map at zoom Z draws the square as 256 · 2^Z pixels a side.
struct WorldPoint {
  double X = 0;
  double Y = 0;
};

/// A tile of the XYZ scheme: column X and row Y from the north-west corner at zoom Z.
struct TileKey {
  int Z = 0;
  int X = 0;
  int Y = 0;
  bool operator==(const TileKey&) const = default;
};

/// The pixel size of a tile.
inline constexpr int kTileSize = 256;
/// The deepest zoom the map offers (the standard tiles stop at 19).
inline constexpr int kMaxZoom = 19;
/// The latitude that the square's north and south edges stand for.
inline constexpr double kMaxLatitude = 85.0511287798066;

/// Longitude and latitude (degrees, WGS84) into the plane; latitudes beyond the square's edges
/// land on them.
WorldPoint ToWorld(double Latitude, double Longitude);
double LatitudeOf(const WorldPoint& Point);
double LongitudeOf(const WorldPoint& Point);

/// Pixels a side of the whole world at Zoom.
double WorldPixels(int Zoom);
/// The tile at Zoom that holds Point (a point on the east or south edge is in the last tile).
TileKey TileOf(const WorldPoint& Point, int Zoom);
/// Ground metres that one pixel spans at Latitude and Zoom.
double MetresPerPixel(double Latitude, int Zoom);

/// The longest round length (1, 2 or 5 times a power of ten, in metres) that fits into
/// MaxPixels at MetresPerPixel: the length of a scale bar.
double ScaleBarMetres(double MetresPerPixel, double MaxPixels);
/// The spacing in degrees of graticule lines (1, 2 or 5 times a power of ten up to 10°, then
/// 15°, 30°, 90°) that leaves at least MinPixels between lines where one degree spans
/// PixelsPerDegree.
double GraticuleStep(double PixelsPerDegree, double MinPixels);

/// The deepest zoom, at most kMaxZoom, at which a box of Width × Height in the plane fits
/// into Pixels wide × PixelsHigh; 0 for a box larger than the world.
int FittingZoom(double Width, double Height, double PixelsWide, double PixelsHigh);

/// A key for caches and sets: zoom, column and row packed into one number.
uint64_t PackedKey(const TileKey& Key);

} // namespace tarnwick::viewer

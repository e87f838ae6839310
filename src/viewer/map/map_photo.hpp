#pragma once

#include "viewer/map/tile_math.hpp"

#include <QString>

namespace tarnwick::viewer {

/// A photo the map marks: where it was taken and its file, whose thumbnail shows on hover.
struct MapPhoto {
  WorldPoint At;
  QString File;
};

} // namespace tarnwick::viewer

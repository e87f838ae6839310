#pragma once

#include <vector>

namespace tarnwick {

struct TrackSeries;

/// The geodesic distance in metres between two positions (degrees) on the WGS84 ellipsoid.
double GeodesicDistanceM(double Lat1, double Lon1, double Lat2, double Lon2);

/// The distance from the track's first point to each point along the track, in metres: the
/// sum of the geodesic distances between consecutive points (0 for the first point); a
/// segment to or from an impossible position counts 0.
std::vector<double> CumulativeDistanceM(const TrackSeries& Series);

} // namespace tarnwick

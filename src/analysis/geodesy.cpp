#include "analysis/geodesy.hpp"

#include "analysis/track_series.hpp"

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <cmath>

namespace tarnwick {

namespace {

// Up to this chord a segment is measured from the chord (see CumulativeDistanceM); the error
// grows with the cube of the length and stays below 0.1 mm here.
constexpr double kShortChordM = 1000;
// The mean radius of WGS84 in metres: the curvature under a short arc.
constexpr double kMeanRadiusM = 6371008.8;

struct Ecef {
  double X = 0;
  double Y = 0;
  double Z = 0;
};

Ecef EcefOf(const GeographicLib::Geocentric& Wgs84, double Lat, double Lon) {
  Ecef p;
  Wgs84.Forward(Lat, Lon, 0, p.X, p.Y, p.Z);
  return p;
}

} // namespace

double GeodesicDistanceM(double Lat1, double Lon1, double Lat2, double Lon2) {
  double s12 = 0;
  GeographicLib::Geodesic::WGS84().Inverse(Lat1, Lon1, Lat2, Lon2, s12);
  return s12;
}

std::vector<double> CumulativeDistanceM(const TrackSeries& Series) {
  // The inverse problem costs about a microsecond a pair, too much for the statistics of a
  // 65,535-point track in a few milliseconds. Between points a few metres apart the geodesic
  // is the chord between their Earth-centred places lengthened as an arc of the local radius
  // (chord³ / 24R²), within micrometres of the full solution; a longer segment (a gap in the
  // recording) gets the full solution.
  const GeographicLib::Geodesic& geodesic = GeographicLib::Geodesic::WGS84();
  const GeographicLib::Geocentric& geocentric = GeographicLib::Geocentric::WGS84();
  std::vector<double> along(Series.Size(), 0.0);
  if (along.empty()) {
    return along;
  }
  Ecef previous = EcefOf(geocentric, Series.Latitude[0], Series.Longitude[0]);
  for (size_t i = 1; i < along.size(); ++i) {
    const Ecef here = EcefOf(geocentric, Series.Latitude[i], Series.Longitude[i]);
    const double chord = std::sqrt((here.X - previous.X) * (here.X - previous.X) +
                                   (here.Y - previous.Y) * (here.Y - previous.Y) +
                                   (here.Z - previous.Z) * (here.Z - previous.Z));
    double s12 = 0;
    if (chord <= kShortChordM) {
      s12 = chord * (1 + chord * chord / (24 * kMeanRadiusM * kMeanRadiusM));
    } else {
      geodesic.Inverse(Series.Latitude[i - 1], Series.Longitude[i - 1], Series.Latitude[i],
                       Series.Longitude[i], s12);
    }
    // A position no ellipsoid has (a latitude beyond 90° in a file) adds nothing.
    along[i] = along[i - 1] + (std::isfinite(s12) ? s12 : 0);
    previous = here;
  }
  return along;
}

} // namespace tarnwick

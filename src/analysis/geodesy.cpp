#include "analysis/geodesy.hpp"

#include "analysis/track_series.hpp"

#include <GeographicLib/Geodesic.hpp>

namespace tarnwick {

double GeodesicDistanceM(double Lat1, double Lon1, double Lat2, double Lon2) {
  double s12 = 0;
  GeographicLib::Geodesic::WGS84().Inverse(Lat1, Lon1, Lat2, Lon2, s12);
  return s12;
}

std::vector<double> CumulativeDistanceM(const TrackSeries& Series) {
  const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
  std::vector<double> along(Series.Size(), 0.0);
  for (size_t i = 1; i < along.size(); ++i) {
    double s12 = 0;
    wgs84.Inverse(Series.Latitude[i - 1], Series.Longitude[i - 1], Series.Latitude[i],
                  Series.Longitude[i], s12);
    along[i] = along[i - 1] + s12;
  }
  return along;
}

} // namespace tarnwick

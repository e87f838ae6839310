#pragma once

#include "analysis/track_stats.hpp"

#include <string>
#include <vector>

namespace tarnwick::app {

/// Kilometres per hour in a metre per second.
constexpr double kKmhPerMs = 3.6;

/// One figure of a track's statistics as the command line and the window show it: its key in
/// the JSON and the table, a caption and unit for a person, its value, how many decimals it is
/// given with, and whether the track has it. A figure of samples is left out of the JSON of a
/// track without them; any other missing figure is null there.
struct StatsFigure {
  const char* Key;
  const char* Caption;
  const char* Unit;
  bool Present;
  double Value;
  int Decimals;
  bool FromSamples = false;
};

/// The figures of S in their fixed order (the table's columns).
std::vector<StatsFigure> FiguresOf(const TrackStats& S);

/// Value rounded to Decimals places: the figures are no finer than the data, and rounded they
/// are the same on every system whatever the last bits of its mathematics library. Never "-0".
double RoundedFigure(double Value, int Decimals);

/// Value with Decimals places, "." as the separator.
std::string FigureText(double Value, int Decimals);

/// Seconds as "h:mm:ss" (rounded to the second), for a person.
std::string DurationText(double Seconds);

/// "pressure" or "gps": the elevation the figures of S use.
const char* ElevationSource(const TrackStats& S);

} // namespace tarnwick::app

#pragma once

#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "sim/record_encoder.hpp"
#include "support/date_time.hpp"
#include "support/progress.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

/// Model codes of the two families.
inline constexpr uint8_t kGT120 = 0x15;
inline constexpr uint8_t kGT900 = 0x17;

/// 2013-11-24 at the given time of day (or another day of November 2013).
DateTime At(int h, int m, int s, int ms = 0, int day = 24);

/// A fix at Time near Tokyo with the given values.
sim::RecordEncoder::FixRecord Fix(DateTime Time, double Lat = 35.6812345, double Lon = 139.7654321,
                                  double Ele = 40.12, double Speed = 12.3, double Course = 270.5);

/// A GT-900 track point (flags 0x04 make it a way point) with its pressure elevation.
RIGotUPointSlot Point900(const sim::RecordEncoder::FixRecord& F, double PressureEle,
                         uint8_t Flags = 0);
/// A GT-120 track point with a satellite mask of Sats bits.
RIGotUPointSlot Point120(const sim::RecordEncoder::FixRecord& F, int Sats, uint8_t Flags = 0);
/// A heart-rate (0xF5) or cadence (0xF6) record whose sample i is First + i.
RIGotUPointSlot IntRecord(uint8_t Flag, DateTime Start, int First);
/// A speed record whose sample i is First + i / 10.
RIGotUPointSlot SpeedRecord(DateTime Start, double First);

/// Records decoded as the logger would: the point list and its tracks.
struct TestImage {
  std::unique_ptr<TIGotUPoints> Points;
  /// Track Index (from 0).
  const TIGotUTrack& Track(int Index) const { return Points->Tracks()[Index]; }
};
TestImage Decode(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots);

/// A memory image holding Slots, as a logger of Model would have saved it.
TIGotUWholeData ImageOf(uint8_t Model, const std::vector<RIGotUPointSlot>& Slots);

/// The content of a file; a failed test when it cannot be read.
std::string ReadText(const std::string& FileName);
/// Writes Text to FileName.
void WriteText(const std::string& FileName, const std::string& Text);

/// Where two texts first differ ("line 12, column 5: expected "...", got "...""), or empty.
std::string FirstDifference(const std::string& Expected, const std::string& Actual);
/// Compares Actual byte for byte with tests/data/gpx/Name, reporting the first difference.
/// With TARNWICK_UPDATE_GOLDEN=1 in the environment it rewrites the file instead.
void ExpectGolden(const std::string& Name, const std::string& Actual);

/// The exit status and standard output of a shell command.
struct RunResult {
  int Status = -1;
  std::string Out;
};
RunResult RunShell(const std::string& Command);
/// Whether a program is on the PATH.
bool HasTool(const std::string& Name);
/// Quotes Text for the shell.
std::string Quote(const std::string& Text);

/// The folder with the GPX and TrackPointExtension schemas: $TARNWICK_SCHEMA_DIR, else
/// ../shared/schemas beside the repository; empty when neither exists.
std::optional<std::string> SchemaDir();

/// A progress sink that records what it is told and can answer abort.
class RecordingSink : public IProgressInterface {
 public:
  /// OnProgress answers abort from this call on (counting from 1); 0 never aborts.
  int AbortAtCall = 0;
  std::vector<std::string> Messages;
  int ProgressCalls = 0;

  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override;
  void SetMessage1(const std::string& Msg) override { Messages.push_back(Msg); }
  void SetMessage2(const std::string& Msg) override { Messages.push_back("2:" + Msg); }
};

/// Number of times Needle occurs in Text.
size_t CountOf(const std::string& Text, const std::string& Needle);

} // namespace tarnwick::test

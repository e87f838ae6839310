#include "sim/sample_image.hpp"

#include "sim/record_encoder.hpp"
#include "support/byte_order.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <vector>

namespace tarnwick::sim {

std::optional<SampleFamily> ParseSampleFamily(std::string_view Text) {
  if (Text == "gt120") {
    return SampleFamily::GT120;
  }
  if (Text == "gt900") {
    return SampleFamily::GT900;
  }
  return std::nullopt;
}

namespace {

// splitmix64: small, fast and the same everywhere (the standard distributions are not).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  /// Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  int Int(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t state_;
};

struct Place {
  double Latitude;
  double Longitude;
  double Elevation;
};

constexpr Place kPlaces[] = {
    {35.6812345, 139.7654321, 40.0},  // Tokyo
    {35.0116363, 135.7680294, 50.0},  // Kyoto
    {43.0617713, 141.3544507, 20.0},  // Sapporo
    {46.5480000, 11.8100000, 1500.0}, // Dolomites
    {52.5200066, 13.4049540, 34.0},   // Berlin
    {-33.8688197, 151.2092955, 20.0}, // Sydney
    {37.7749295, -122.4194155, 50.0}, // San Francisco
    {51.0000000, -0.0500000, 100.0},  // near Greenwich
};

enum class Activity { Walk, Run, Bike, Drive };

struct ActivityModel {
  double MeanSpeed;   // m/s
  double SpeedSpread; // m/s
  int IntervalGT120;  // seconds between fixes
  double BaseHR;
  double Cadence; // 0 for none
};

ActivityModel Model(Activity a) {
  switch (a) {
  case Activity::Walk:
    return {1.4, 0.4, 3, 95, 0};
  case Activity::Run:
    return {3.2, 0.6, 2, 150, 168};
  case Activity::Bike:
    return {6.0, 2.0, 2, 130, 85};
  case Activity::Drive:
    return {14.0, 6.0, 5, 80, 0};
  }
  return {1.4, 0.4, 3, 95, 0};
}

// The sensors of the GT-900 family, each with its record kind and window of samples.
enum class Sensor { HeartRate, Cadence, Speed };

constexpr size_t WindowSize(Sensor s) {
  return s == Sensor::Speed ? 12 : 24;
}

// Samples of one sensor since the start of its current record.
struct SensorWindow {
  Sensor Kind;
  bool Present;
  int64_t Start; // milliseconds, as the generator's clock
  std::vector<double> Samples;
};

constexpr double kMetresPerDegree = 111'320.0;
constexpr int64_t kSecond = 1000; // the generator's clock counts whole milliseconds

const char* const kOtherMessages[] = {"POWER ON", "LOW BATTERY", "GPS FIX", "USB CONNECT"};

class Generator {
 public:
  explicit Generator(const SampleSpec& spec)
      : spec_(spec), rng_(spec.Seed),
        limit_(static_cast<size_t>(std::clamp(spec.Points, 0, 65535))) {
    records_.reserve(limit_);
  }

  TIGotUWholeData Run() {
    const bool gt900 = spec_.Family == SampleFamily::GT900;
    // The clock counts whole milliseconds and is turned into a date-time only when a record
    // is written: adding fractions of a day would drift off whole seconds after a few
    // thousand steps.
    // The day is drawn even when the start is given, so the rest of the image stays the same.
    const int day = rng_.Int(0, 40);
    time_ = DateTimeToMilliseconds(
        spec_.Start ? *spec_.Start : EncodeDate(2013, 11, 24) + day + EncodeTime(6, 21, 52, 0));
    const Place& home = kPlaces[rng_.Int(0, static_cast<int>(std::size(kPlaces)) - 1)];
    if (spec_.RideHours > 0) {
      Ride(home, gt900);
      return Image(gt900);
    }
    for (int track = 0; !Full(); ++track) {
      if (track > 0) {
        time_ += rng_.Int(2 * 3600, 40 * 3600) * kSecond;
        if (gt900) {
          Push(RecordEncoder::LogMessage(At(time_), "RESET COUNTER", NextPrevSMS()));
          time_ += rng_.Int(2, 20) * kSecond;
        } else if (rng_.Chance(0.5)) {
          Push(RecordEncoder::LogMessage(At(time_), "POWER ON", NextPrevSMS()));
          time_ += rng_.Int(5, 60) * kSecond;
        }
      }
      Track(home, gt900);
    }
    return Image(gt900);
  }

 private:
  bool Full() const { return records_.size() >= limit_; }

  static DateTime At(int64_t Milliseconds) {
    return static_cast<double>(Milliseconds) / 86'400'000.0;
  }

  void Push(const RIGotUPointSlot& slot) {
    if (!Full()) {
      records_.push_back(slot);
    }
  }

  uint16_t NextPrevSMS() {
    const auto p = DecodeDateTime(At(time_));
    const auto prev = prevSms_;
    prevSms_ = static_cast<uint16_t>(p.Second * 1000 + p.MilliSecond);
    return prev;
  }

  void Track(const Place& home, bool gt900) {
    static constexpr Activity kGT120[] = {Activity::Walk, Activity::Bike, Activity::Drive};
    static constexpr Activity kGT900[] = {Activity::Walk, Activity::Run, Activity::Bike};
    const Activity activity = gt900 ? kGT900[rng_.Int(0, 2)] : kGT120[rng_.Int(0, 2)];
    const int interval = gt900 ? 1 : Model(activity).IntervalGT120;
    // Small images still get several tracks; full memories get long ones.
    const int longest = std::clamp(static_cast<int>(limit_ / 4), 60, 2500);
    const int length = rng_.Int(std::min(60, longest), longest);
    Track(home, gt900, activity, interval, length);
  }

  // One ride of the hours asked for: a fix a second when the memory holds them with the sensor
  // records (one per 24 s of heart rate and of cadence, one per 12 s of speed: a sixth of a
  // record a second), else the fewest seconds apart that fit.
  void Ride(const Place& home, bool gt900) {
    const double seconds = std::min(spec_.RideHours, 1000.0) * 3600;
    const double sensorRecords = gt900 ? seconds / 6 : 0;
    const double room = static_cast<double>(limit_) - sensorRecords;
    const int interval =
        room <= 0 ? 60 : std::clamp(static_cast<int>(std::ceil(seconds / room)), 1, 60);
    const int length = static_cast<int>(std::ceil(seconds / interval)) + 1;
    Track(home, gt900, Activity::Bike, interval, length);
  }

  void Track(const Place& home, bool gt900, Activity activity, int interval, int length) {
    const ActivityModel m = Model(activity);

    double lat = home.Latitude + rng_.Range(-0.05, 0.05);
    double lon = home.Longitude + rng_.Range(-0.05, 0.05);
    double ele = home.Elevation + rng_.Range(-10, 60);
    double pressureOffset = rng_.Range(-8, 8);
    double course = rng_.Range(0, 360);
    double speed = m.MeanSpeed;
    double hr = m.BaseHR - 20;
    int satellites = rng_.Int(5, 9);
    uint32_t satMap = RandomMask(satellites);

    // Sensor samples collect one per second; a record is written once its window is full.
    // The sensors take their samples in this order, which fixes the order of the random draws.
    std::array<SensorWindow, 3> sensors{{
        {Sensor::HeartRate, gt900, time_, {}},
        {Sensor::Cadence, gt900 && m.Cadence > 0, time_, {}},
        {Sensor::Speed, gt900 && activity == Activity::Bike, time_, {}},
    }};

    for (int i = 0; i < length && !Full(); ++i) {
      uint8_t flags = 0;
      if (!gt900 && i == 0) {
        flags |= 0x40;
      }
      if (i > 0 && rng_.Chance(1.0 / 250)) {
        flags |= 0x04;
      }
      RecordEncoder::FixRecord fix;
      fix.Time = At(time_);
      fix.Latitude = lat;
      fix.Longitude = lon;
      fix.Elevation = ele;
      fix.Speed = speed;
      fix.Course = course;
      fix.EHPE = std::clamp(18.0 / satellites + rng_.Range(0, 4), 1.5, 40.0);
      if (gt900) {
        const double pe = ele + pressureOffset + rng_.Range(-0.5, 0.5);
        Push(RecordEncoder::TrackPoint800(flags, fix, pe, NextPrevSMS()));
      } else {
        Push(RecordEncoder::TrackPoint100(flags, fix, satMap, static_cast<uint8_t>(rng_.Int(0, 2)),
                                          static_cast<uint8_t>(rng_.Int(0, 255)),
                                          static_cast<uint8_t>(rng_.Int(1, 9)),
                                          static_cast<uint8_t>(rng_.Int(20, 45))));
        NextPrevSMS();
      }
      if (!gt900 && rng_.Chance(1.0 / 1500)) {
        Push(RecordEncoder::LogMessage(At(time_), kOtherMessages[rng_.Int(1, 3)], NextPrevSMS()));
      }

      for (int s = 0; s < interval; ++s) {
        // One second of motion and of the sensors.
        speed =
            std::clamp(speed + rng_.Range(-0.3, 0.3) * m.SpeedSpread + (m.MeanSpeed - speed) * 0.05,
                       0.0, m.MeanSpeed + 3 * m.SpeedSpread);
        course = std::fmod(course + rng_.Range(-6, 6) + 360.0, 360.0);
        const double rad = course * std::numbers::pi / 180.0;
        lat += speed * std::cos(rad) / kMetresPerDegree;
        lon +=
            speed * std::sin(rad) / (kMetresPerDegree * std::cos(lat * std::numbers::pi / 180.0));
        ele += rng_.Range(-0.4, 0.4) + (activity == Activity::Drive ? rng_.Range(-0.5, 0.5) : 0);
        hr = std::clamp(hr + (m.BaseHR + speed * 3 - hr) * 0.03 + rng_.Range(-1.5, 1.5), 50.0,
                        195.0);

        for (auto& sensor : sensors) {
          if (!sensor.Present) {
            continue;
          }
          sensor.Samples.push_back(Sample(sensor.Kind, m, hr, speed));
          if (sensor.Samples.size() == WindowSize(sensor.Kind)) {
            Push(WindowRecord(sensor));
            sensor.Samples.clear();
            sensor.Start = time_ + (s + 1) * kSecond;
          }
        }
      }
      time_ += interval * kSecond;
      if (rng_.Chance(0.01)) {
        satellites = std::clamp(satellites + rng_.Int(-1, 1), 4, 12);
        satMap = RandomMask(satellites);
      }
    }
  }

  // One sample a second of Kind; Cadence and Speed draw one random number each.
  double Sample(Sensor Kind, const ActivityModel& m, double hr, double speed) {
    switch (Kind) {
    case Sensor::HeartRate:
      return hr;
    case Sensor::Cadence: {
      const double cad = std::clamp(m.Cadence + rng_.Range(-6, 6), 0.0, 250.0);
      return speed < 0.3 ? 0 : cad;
    }
    case Sensor::Speed:
      return std::max(0.0, speed + rng_.Range(-0.15, 0.15));
    }
    return 0;
  }

  // The record of a full window, stamped with the window's start.
  RIGotUPointSlot WindowRecord(const SensorWindow& w) {
    if (w.Kind == Sensor::Speed) {
      std::array<double, 12> values{};
      std::copy_n(w.Samples.begin(), values.size(), values.begin());
      return RecordEncoder::ExtSpeed(At(w.Start), values, NextPrevSMS());
    }
    std::array<uint8_t, 24> values{};
    std::transform(w.Samples.begin(), w.Samples.begin() + values.size(), values.begin(),
                   [](double v) { return static_cast<uint8_t>(std::lround(v)); });
    const uint8_t flag = w.Kind == Sensor::HeartRate ? kFlagHeartRate : kFlagCadence;
    return RecordEncoder::ExtInt(flag, At(w.Start), values, NextPrevSMS());
  }

  uint32_t RandomMask(int bits) {
    uint32_t mask = 0;
    while (std::popcount(mask) < bits) {
      mask |= 1U << rng_.Int(0, 31);
    }
    return mask;
  }

  TIGotUWholeData Image(bool gt900) {
    TIGotUWholeData image;
    auto& st = image.Status;
    st.FModel.Data = {0x00, 0x01, static_cast<uint8_t>(gt900 ? kModelTypeGT800 : 0x15)};
    const auto serial = static_cast<uint32_t>(spec_.Seed * 2654435761ULL % 90'000'000 + 10'000'000);
    const uint16_t modelNumber = gt900 ? 900 : 120;
    auto& ident = st.FIdent.Data;
    PutLE32(ident, 0, serial);
    ident[4] = gt900 ? 2 : 1;
    ident[5] = gt900 ? 1 : 5;
    PutBE16(ident, 6, modelNumber);
    PutBE16(ident, 8, 0x0102);
    const auto count = static_cast<uint16_t>(records_.size());
    st.FCount.Data = {};
    PutBE16(st.FCount.Data, 1, count);

    auto& config = image.ConfigBlock();
    config.assign(kBlockSize, 0xFF);
    Random cfg(spec_.Seed ^ 0xC0FFEE);
    for (size_t i = 0; i < 64; ++i) {
      config[i] = static_cast<uint8_t>(cfg.Next());
    }

    auto blocks = std::make_unique<TIGotUSlotBlocks>(count, kSlotSize);
    for (size_t i = 0; i < records_.size(); ++i) {
      std::copy(records_[i].begin(), records_[i].end(), blocks->DataBuffer() + i * kSlotSize);
    }
    image.SetBlocks(std::move(blocks));
    return image;
  }

  SampleSpec spec_;
  Random rng_;
  size_t limit_;
  std::vector<RIGotUPointSlot> records_;
  int64_t time_ = 0; // milliseconds since the date-time epoch
  uint16_t prevSms_ = 0;
};

} // namespace

TIGotUWholeData GenerateSampleImage(const SampleSpec& Spec) {
  return Generator(Spec).Run();
}

} // namespace tarnwick::sim

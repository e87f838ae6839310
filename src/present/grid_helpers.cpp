#include "present/grid_helpers.hpp"

#include "support/date_time.hpp"
#include "support/dump_text.hpp"
#include "support/errors.hpp"
#include "support/number_format.hpp"
#include "support/str_util.hpp"

namespace tarnwick {

namespace {

constexpr auto kLeft = CellAlignment::Left;
constexpr auto kRight = CellAlignment::Right;
constexpr auto kCenter = CellAlignment::Center;

} // namespace

// ----- track points and way points -----

namespace {
const TDataViewFormHeader kPointColumns[] = {
    {"#", kRight, 40, "Number of the point in the track, in the order the logger wrote it",
     "99999"},
    {"Flag", kCenter, 40, "Flag byte of the record (hexadecimal): the kind of record", "FF"},
    {"Time", kCenter, 120, "Time of the fix (year-month-day hour:minute:second)",
     "2015-06-07 12:34:56"},
    {"Lat:Lng", kCenter, 120,
     "Latitude and longitude in degrees; north and east positive, south and west negative",
     "-35.1234 -139.1234"},
    {"Elev", kRight, 60, "Elevation from the satellites in m", "-1234.56"},
    {"EHPE", kRight, 60, "Estimated horizontal position error in m", "12.34"},
    {"PressElev", kRight, 60,
     "Elevation from the air pressure in m; --- for a logger without a barometer", "-1234.56"},
    {"Speeds", kRight, 50, "Speed over ground in m/s", "123.45"},
    {"Course", kRight, 50, "Course over ground in degrees clockwise from north", "359.99"},
    {"SatMap", kLeft, 120,
     "Satellites of the fix: their number in parentheses, then the 32-bit satellite map, "
     "a 1 for each satellite used",
     "(12) 00000000000000000000000000000000"},
};
} // namespace

TBasePointGridHelper::TBasePointGridHelper(char DecimalSeparator)
    : TStringGridHelper(kPointColumns, DecimalSeparator) {}

void TBasePointGridHelper::SetTrack(const TIGotUTrack* Track) {
  FTrack = Track;
  SetDataCount(Track != nullptr ? GetPointCount() : 0);
}

void TBasePointGridHelper::GetDataText(int ACol, int Index, std::string& Text) const {
  if (FTrack == nullptr || Index < 0 || Index >= GetPointCount()) {
    return;
  }
  const TIGotUTrackPoint& p = *GetPoint(Index);
  const char sep = DecimalSeparator();
  std::string s;
  switch (ACol) {
  case 0:
    AppendInt(s, Index + 1);
    break;
  case 1:
    s = HexStr(p.Flags(), 2);
    break;
  case 2:
    s = TimeText(p.Time());
    break;
  case 3:
    AppendFixed(s, p.Latitude(), 4, sep);
    s += ' ';
    AppendFixed(s, p.Longitude(), 4, sep);
    break;
  case 4:
    AppendFixed(s, p.Elevation(), 2, sep);
    break;
  case 5:
    AppendFixed(s, p.EHPE(), 2, sep);
    break;
  case 6:
    if (p.HasPressureElevation()) {
      AppendFixed(s, p.PressureElevation(), 2, sep);
    } else {
      s = "---";
    }
    break;
  case 7:
    AppendFixed(s, p.Speed(), 2, sep);
    break;
  case 8:
    AppendFixed(s, p.Course(), 2, sep);
    break;
  case 9:
    if (p.HasSatelliteMap()) {
      s = "(" + std::to_string(p.SatelliteCount()) + ") " + IntToBinStr(p.GetSatelliteMap());
    }
    break;
  default:
    return;
  }
  Text = std::move(s);
}

CellSortKey TBasePointGridHelper::GetSortKey(int ACol, int Index) const {
  if (FTrack == nullptr || Index < 0 || Index >= GetPointCount()) {
    return {};
  }
  const TIGotUTrackPoint& p = *GetPoint(Index);
  switch (ACol) {
  case 0:
    return CellSortKey::Numbers({Index + 1.0});
  case 1:
    return CellSortKey::Numbers({static_cast<double>(p.Flags())});
  case 2:
    return TimeKey([&p] { return p.Time(); });
  case 3:
    return CellSortKey::Numbers({p.Latitude(), p.Longitude()});
  case 4:
    return CellSortKey::Numbers({p.Elevation()});
  case 5:
    return CellSortKey::Numbers({p.EHPE()});
  case 6:
    return p.HasPressureElevation() ? CellSortKey::Numbers({p.PressureElevation()}) : CellSortKey();
  case 7:
    return CellSortKey::Numbers({p.Speed()});
  case 8:
    return CellSortKey::Numbers({p.Course()});
  case 9:
    return p.HasSatelliteMap() ? CellSortKey::Numbers({static_cast<double>(p.SatelliteCount()),
                                                       static_cast<double>(p.GetSatelliteMap())})
                               : CellSortKey();
  default:
    return {};
  }
}

const TIGotUTrackPoint* TTrackPointGridHelper::GetPoint(int Index) const {
  return FTrack->Points()[static_cast<size_t>(Index)];
}
int TTrackPointGridHelper::GetPointCount() const {
  return FTrack != nullptr ? static_cast<int>(FTrack->Points().size()) : 0;
}

const TIGotUTrackPoint* TWayPointGridHelper::GetPoint(int Index) const {
  return FTrack->WayPoints()[static_cast<size_t>(Index)];
}
int TWayPointGridHelper::GetPointCount() const {
  return FTrack != nullptr ? static_cast<int>(FTrack->WayPoints().size()) : 0;
}

// ----- tracks -----

namespace {
const TDataViewFormHeader kTrackColumns[] = {
    {"#", kRight, 20, "Number of the track, in the order the logger wrote it", "999"},
    {"Time", kCenter, 120, "Time of the track's first point", "2015-06-07 12:34:56"},
    {"TimeLen", kRight, 60, "Duration of the track from its first to its last point in h:m:s.ms",
     "01:02:03.000"},
    {"Count", kRight, 50, "Number of track points", "12345"},
    {"WayPoints", kRight, 50, "Number of way points (points marked on the logger)", "99"},
    {"HR", kRight, 40, "Number of heart-rate records (24 samples each)", "999"},
    {"Cadence", kRight, 40, "Number of cadence records (24 samples each)", "999"},
    {"Speed", kRight, 40, "Number of speed-sensor records (12 samples each)", "999"},
};
} // namespace

TTracksGridHelper::TTracksGridHelper(char DecimalSeparator)
    : TStringGridHelper(kTrackColumns, DecimalSeparator) {}

void TTracksGridHelper::SetTracks(const TIGotUTracks* Tracks) {
  FTracks = Tracks;
  SetDataCount(Tracks != nullptr ? Tracks->Count() : 0);
}

void TTracksGridHelper::GetDataText(int ACol, int Index, std::string& Text) const {
  if (FTracks == nullptr || Index < 0 || Index >= FTracks->Count()) {
    return;
  }
  const TIGotUTrack& t = (*FTracks)[Index];
  std::string s;
  switch (ACol) {
  case 0:
    AppendInt(s, Index + 1);
    break;
  case 1:
    s = TimeText(t.StartTime());
    break;
  case 2:
    s = TUTCDateTime::DoubleToTimeStr(static_cast<double>(t.TimeLength()));
    break;
  case 3:
    AppendInt(s, static_cast<long long>(t.Points().size()));
    break;
  case 4:
    AppendInt(s, t.CountWayPoints());
    break;
  case 5:
    AppendInt(s, static_cast<long long>(t.HR().size()));
    break;
  case 6:
    AppendInt(s, static_cast<long long>(t.Cadence().size()));
    break;
  case 7:
    AppendInt(s, static_cast<long long>(t.Speed().size()));
    break;
  default:
    return;
  }
  Text = std::move(s);
}

CellSortKey TTracksGridHelper::GetSortKey(int ACol, int Index) const {
  if (FTracks == nullptr || Index < 0 || Index >= FTracks->Count()) {
    return {};
  }
  const TIGotUTrack& t = (*FTracks)[Index];
  const auto number = [](auto N) { return CellSortKey::Numbers({static_cast<double>(N)}); };
  switch (ACol) {
  case 0:
    return number(Index + 1);
  case 1:
    return TimeKey([&t] { return t.StartTime(); });
  case 2:
    try {
      return number(t.TimeLength());
    } catch (const Error&) {
      return {};
    }
  case 3:
    return number(t.Points().size());
  case 4:
    return number(t.CountWayPoints());
  case 5:
    return number(t.HR().size());
  case 6:
    return number(t.Cadence().size());
  case 7:
    return number(t.Speed().size());
  default:
    return {};
  }
}

// ----- raw records -----

namespace {
const TDataViewFormHeader kDumpColumns[] = {
    {"#", kRight, 40, "Number of the record in the memory, in the order the logger wrote it",
     "99999"},
    {"Flag", kCenter, 40, "Flag byte of the record (hexadecimal): the kind of record", "FF"},
    {"Time", kCenter, 120, "Time of the record (year-month-day hour:minute:second)",
     "2015-06-07 12:34:56"},
    {"Data", kLeft, 500, "The record's 32 bytes in hexadecimal",
     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "},
};
} // namespace

TPointsDumpGridHelper::TPointsDumpGridHelper(char DecimalSeparator)
    : TStringGridHelper(kDumpColumns, DecimalSeparator) {}

void TPointsDumpGridHelper::SetPoints(const TIGotUPoints* Points) {
  FPoints = Points;
  SetDataCount(Points != nullptr ? Points->Points().Count() : 0);
}

void TPointsDumpGridHelper::GetDataText(int ACol, int Index, std::string& Text) const {
  if (FPoints == nullptr || Index < 0 || Index >= FPoints->Points().Count()) {
    return;
  }
  const TIGotUPointBase& p = FPoints->Points()[Index];
  switch (ACol) {
  case 0:
    Text = std::to_string(Index + 1);
    break;
  case 1:
    Text = HexStr(p.Flags(), 2);
    break;
  case 2:
    Text = TimeText(p.Time());
    break;
  case 3:
    Text = BytesToHex(p.PRawData(), kSlotSize);
    break;
  default:
    break;
  }
}

CellSortKey TPointsDumpGridHelper::GetSortKey(int ACol, int Index) const {
  if (FPoints == nullptr || Index < 0 || Index >= FPoints->Points().Count()) {
    return {};
  }
  const TIGotUPointBase& p = FPoints->Points()[Index];
  switch (ACol) {
  case 0:
    return CellSortKey::Numbers({Index + 1.0});
  case 1:
    return CellSortKey::Numbers({static_cast<double>(p.Flags())});
  case 2:
    return TimeKey([&p] { return p.Time(); });
  case 3:
    // The bytes in order: the hexadecimal text of fixed width sorts as they do.
    return CellSortKey::Text(BytesToHex(p.PRawData(), kSlotSize));
  default:
    return {};
  }
}

// ----- extension records -----

namespace {
constexpr const char* kExtNumberHint =
    "Number of the sensor record in the track, in the order the logger wrote it";
constexpr const char* kExtTimeHint =
    "Time of the record's first sample (year-month-day hour:minute:second)";
constexpr const char* kExtSmsHint =
    "The record's second x 1000 + millisecond (SMS), then the PrevSMS field";

const TDataViewFormHeader kExtIntColumns[] = {
    {"#", kRight, 40, kExtNumberHint, "9999"},
    {"Time", kCenter, 120, kExtTimeHint, "2015-06-07 12:34:56"},
    {"Data", kLeft, 480,
     "The record's 24 samples, one per second: heart rate in beats/min or cadence in "
     "revolutions/min",
     "123 123 123 123 123 123 123 123 123 123 123 123 "
     "123 123 123 123 123 123 123 123 123 123 123 123 "},
    {"SMS", kCenter, 100, kExtSmsHint, "59999:59999"},
};

const TDataViewFormHeader kExtDoubleColumns[] = {
    {"#", kRight, 40, kExtNumberHint, "9999"},
    {"Time", kCenter, 120, kExtTimeHint, "2015-06-07 12:34:56"},
    {"Data", kLeft, 480, "The record's 12 speed samples, one per second, in m/s",
     "12.34 12.34 12.34 12.34 12.34 12.34 12.34 12.34 12.34 12.34 12.34 12.34 "},
    {"SMS", kCenter, 100, kExtSmsHint, "59999:59999"},
};
} // namespace

TExtPointGridHelper::TExtPointGridHelper(std::span<const TDataViewFormHeader> Columns,
                                         char DecimalSeparator)
    : TStringGridHelper(Columns, DecimalSeparator) {}

TExtIntPointGridHelper::TExtIntPointGridHelper(char DecimalSeparator)
    : ExtListGridHelper(kExtIntColumns, DecimalSeparator) {}

TExtDoublePointGridHelper::TExtDoublePointGridHelper(char DecimalSeparator)
    : ExtListGridHelper(kExtDoubleColumns, DecimalSeparator) {}

void TExtPointGridHelper::GetDataText(int ACol, int Index, std::string& Text) const {
  const TIGotUExtPoint* p = GetPoint(Index);
  if (p == nullptr) {
    return;
  }
  switch (ACol) {
  case 0:
    Text = std::to_string(Index + 1);
    break;
  case 1:
    Text = PointTimeText(*p, Zone());
    break;
  case 2:
    GetValuesText(Index, Text);
    break;
  case 3:
    Text = std::to_string(p->SMS()) + ":" + std::to_string(p->PrevSMS());
    break;
  default:
    break;
  }
}

CellSortKey TExtPointGridHelper::GetSortKey(int ACol, int Index) const {
  const TIGotUExtPoint* p = GetPoint(Index);
  if (p == nullptr) {
    return {};
  }
  switch (ACol) {
  case 0:
    return CellSortKey::Numbers({Index + 1.0});
  case 1:
    return TimeKey([p] { return p->Time(); });
  case 2:
    return CellSortKey::Numbers(GetValues(Index));
  case 3:
    return CellSortKey::Numbers({static_cast<double>(p->SMS()), static_cast<double>(p->PrevSMS())});
  default:
    return {};
  }
}

std::vector<double> TExtIntPointGridHelper::GetValues(int Index) const {
  std::vector<double> values;
  if (const TIGotUExtIntPoint* p = Record(Index)) {
    for (int i = 0; i < p->DataCount(); ++i) {
      values.push_back(p->getIntValues(i));
    }
  }
  return values;
}

std::vector<double> TExtDoublePointGridHelper::GetValues(int Index) const {
  std::vector<double> values;
  if (const TIGotUExtDoublePoint* p = Record(Index)) {
    for (int i = 0; i < p->DataCount(); ++i) {
      values.push_back(p->getDoubleValues(i));
    }
  }
  return values;
}

void TExtIntPointGridHelper::GetValuesText(int Index, std::string& Text) const {
  const TIGotUExtIntPoint* p = Record(Index);
  if (p == nullptr) {
    return;
  }
  std::string s;
  for (int i = 0; i < p->DataCount(); ++i) {
    AppendIntPadded(s, p->getIntValues(i), 3);
    s += ' ';
  }
  Text = std::move(s);
}

void TExtDoublePointGridHelper::GetValuesText(int Index, std::string& Text) const {
  const TIGotUExtDoublePoint* p = Record(Index);
  if (p == nullptr) {
    return;
  }
  std::string s;
  for (int i = 0; i < p->DataCount(); ++i) {
    AppendFixed(s, p->getDoubleValues(i), 2, DecimalSeparator());
    s += ' ';
  }
  Text = std::move(s);
}

} // namespace tarnwick

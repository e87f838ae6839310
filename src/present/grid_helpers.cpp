#include "present/grid_helpers.hpp"

#include "support/date_time.hpp"
#include "support/dump_text.hpp"
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
    {"#", kRight, 40},         {"Flag", kCenter, 40},  {"Time", kCenter, 120},
    {"Lat:Lng", kCenter, 120}, {"Elev", kRight, 60},   {"EHPE", kRight, 60},
    {"PressElev", kRight, 60}, {"Speeds", kRight, 50}, {"Course", kRight, 50},
    {"SatMap", kLeft, 120},
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
    {"#", kRight, 20},       {"Time", kCenter, 120},    {"TimeLen", kRight, 60},
    {"Count", kRight, 50},   {"WayPoints", kRight, 50}, {"HR", kRight, 40},
    {"Cadence", kRight, 40}, {"Speed", kRight, 40},
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

// ----- raw records -----

namespace {
const TDataViewFormHeader kDumpColumns[] = {
    {"#", kRight, 40},
    {"Flag", kCenter, 40},
    {"Time", kCenter, 120},
    {"Data", kLeft, 500},
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

// ----- extension records -----

namespace {
const TDataViewFormHeader kExtColumns[] = {
    {"#", kRight, 40},
    {"Time", kCenter, 120},
    {"Data", kLeft, 480},
    {"SMS", kCenter, 100},
};
} // namespace

TExtPointGridHelper::TExtPointGridHelper(char DecimalSeparator)
    : TStringGridHelper(kExtColumns, DecimalSeparator) {}

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

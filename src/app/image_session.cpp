#include "app/image_session.hpp"

#include "app/logger_link.hpp"
#include "gpx/gpx_file.hpp"
#include "gpx/track_point_extension.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/os_files.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

namespace tarnwick::app {

namespace {

// Count with Thousands between groups of three digits (none when it is empty).
std::string Grouped(size_t Count, const std::string& Thousands) {
  std::string digits = std::to_string(Count);
  if (Thousands.empty()) {
    return digits;
  }
  std::string out;
  const size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
  out += digits.substr(0, first);
  for (size_t i = first; i < digits.size(); i += 3) {
    out += Thousands;
    out += digits.substr(i, 3);
  }
  return out;
}

} // namespace

std::string ExportResult::Summary(const std::string& Target, const std::string& Thousands) const {
  std::string s = "wrote " + Target + ": " + std::to_string(Tracks) +
                  (Tracks == 1 ? " track, " : " tracks, ") + Grouped(Points, Thousands) +
                  (Points == 1 ? " point, " : " points, ") + Grouped(WayPoints, Thousands) +
                  (WayPoints == 1 ? " way point" : " way points");
  if (LeftOut.Total() > 0) {
    s += ", " + std::to_string(LeftOut.Total()) + " left out (impossible position)";
  }
  return s;
}

void ExportResult::CountWritten(const std::vector<const TIGotUTrack*>& Tracks) {
  this->Tracks = static_cast<int>(Tracks.size());
  Points = 0;
  WayPoints = 0;
  for (const TIGotUTrack* t : Tracks) {
    Points += t->Points().size();
    WayPoints += t->CountWayPoints();
  }
  Points -= static_cast<size_t>(LeftOut.TrackPoints);
  WayPoints -= LeftOut.WayPoints;
}

ImageSession::ImageSession(std::string EraSetting) : eraSetting_(std::move(EraSetting)) {
  YearEra::CheckSetting(eraSetting_);
}

ImageSession::~ImageSession() = default;

void ImageSession::Open(const std::string& Base) {
  const std::string dat = TIGotUWholeData::StatusFileName(Base);
  // Without its status file an image has no size: a lone block file is refused, not shown
  // as an empty image.
  if (const auto status = StatusOf(dat, true); !status) {
    // The C library's text for a missing file, so the message reads the same everywhere.
    throw IsNotFound(status.Error)
        ? FileError::Open(dat, ENOENT)
        : FileError(dat, "Cannot open file \"" + dat + "\". " + SystemErrorText(status.Error));
  }
  auto image = std::make_unique<TIGotUWholeData>();
  image->LoadFromFile(Base);
  if (image->StatusSectionsLoaded() == 0) {
    throw FileError(dat, "\"" + dat + "\" holds no logger status");
  }
  const YearEra era = YearEra::FromSetting(eraSetting_, image->DownloadTime());
  auto points = std::make_unique<TIGotUPoints>(image->Status.FModel, image->Blocks(), era);

  // Nothing above changed the session; from here nothing fails.
  warnings_ = image->Warnings();
  era_ = era;
  points_ = std::move(points);
  series_.reset();
  image_ = std::move(image);
  name_ = Base;
  unsaved_ = false;
  fromDownload_ = false;
  gpx_ = false;
}

void ImageSession::OpenGpx(const std::string& FileName) {
  // Heart rate, cadence and sensor speed are read from the TrackPointExtension elements.
  static const bool registered = [] {
    TGPXFile::RegistExtensions(TGPXTrkTypeTpx2::Class());
    return true;
  }();
  (void)registered;
  TGPXFile doc;
  doc.Load(FileName);
  std::vector<TrackSeries> series = SeriesOfGpxFile(doc);
  const auto quoted = "\"" + FileName + "\"";
  if (std::all_of(series.begin(), series.end(), [](const TrackSeries& S) { return S.Empty(); })) {
    throw FileError(FileName, quoted + " holds no track point");
  }
  std::vector<std::string> warnings;
  for (size_t i = 0; i < series.size(); ++i) {
    const std::string track = "track " + std::to_string(i + 1) + " of " + quoted;
    const std::vector<int64_t>& times = series[i].TimeMs;
    if (series[i].Empty()) {
      warnings.push_back(track + " has no points");
    } else if (std::find(times.begin(), times.end(), 0) != times.end() ||
               !std::is_sorted(times.begin(), times.end())) {
      warnings.push_back(track + " has points without a time or out of order: its graphs are "
                                 "drawn against distance");
    }
  }

  // Nothing above changed the session; from here nothing fails.
  Close();
  series_ = std::move(series);
  warnings_ = std::move(warnings);
  name_ = FileName;
  gpx_ = true;
}

void ImageSession::Adopt(std::unique_ptr<TIGotUWholeData> Image) {
  const YearEra era = YearEra::FromSetting(eraSetting_, Image->DownloadTime());
  auto points = std::make_unique<TIGotUPoints>(Image->Status.FModel, Image->Blocks(), era);
  warnings_.clear();
  era_ = era;
  points_ = std::move(points);
  series_.reset();
  image_ = std::move(Image);
  name_.clear();
  unsaved_ = true;
  fromDownload_ = true;
  gpx_ = false;
}

void ImageSession::Save(const std::string& Base) {
  if (!image_) {
    throw Error("there is no image to save");
  }
  image_->SaveToFile(Base);
  name_ = Base;
  unsaved_ = false;
}

void ImageSession::Close() {
  series_.reset();
  points_.reset();
  image_.reset();
  name_.clear();
  warnings_.clear();
  unsaved_ = false;
  fromDownload_ = false;
  gpx_ = false;
}

void ImageSession::SetYearEra(const std::string& Setting) {
  const YearEra era = YearEra::FromSetting(Setting, image_ ? image_->DownloadTime() : std::nullopt);
  eraSetting_ = Setting;
  era_ = era;
  if (points_) {
    points_->SetYearEra(era);
  }
  // A GPX file's times are its own, whatever the era.
  if (!gpx_) {
    series_.reset();
  }
}

const std::vector<TrackSeries>& ImageSession::Series() const {
  if (!series_) {
    std::vector<TrackSeries> all;
    if (points_) {
      const TIGotUTracks& tracks = points_->Tracks();
      all.reserve(static_cast<size_t>(tracks.Count()));
      for (int i = 0; i < tracks.Count(); ++i) {
        all.push_back(SeriesOfTrack(tracks[i]));
      }
    }
    series_ = std::move(all);
  }
  return *series_;
}

std::unique_ptr<TIGotUWholeData> ImageSession::Release() {
  auto image = std::move(image_);
  Close();
  return image;
}

const TIGotUTrack& ImageSession::TrackByNumber(int Number) const {
  const int count = points_ ? points_->Tracks().Count() : 0;
  if (Number < 1 || Number > count) {
    throw Error("there is no track " + std::to_string(Number) + ": the image has " +
                std::to_string(count) + (count == 1 ? " track" : " tracks"));
  }
  return points_->Tracks()[Number - 1];
}

void ImageSession::CheckGpxTarget(const std::string& Target, const std::string& Base) {
  ReplacingFile::CheckTarget(Target);
  if (Base.empty()) {
    return;
  }
  for (const auto& own :
       {TIGotUWholeData::StatusFileName(Base), TIGotUWholeData::BlockFileName(Base)}) {
    if (IsSameFile(own, Target)) {
      throw Error("will not write the GPX file over " + own +
                  ", a file of the image being exported; choose another name");
    }
  }
}

std::vector<std::string> ImageSession::SplitNames(const std::vector<const TIGotUTrack*>& Tracks,
                                                  const std::string& Dir) {
  std::set<std::string> used;
  std::vector<std::string> names;
  for (const TIGotUTrack* track : Tracks) {
    const std::string name = TIGotUDataToGPX::TrackName(*track);
    std::string stem = name;
    for (int n = 2; used.count(stem) != 0; ++n) {
      stem = name + "-" + std::to_string(n);
    }
    used.insert(stem);
    names.push_back((std::filesystem::path(Dir) / (stem + ".gpx")).string());
  }
  return names;
}

std::string ImageSession::SuggestedGpxName(const std::vector<const TIGotUTrack*>& Tracks) {
  for (const TIGotUTrack* track : Tracks) {
    if (track != nullptr && !track->IsVoid()) {
      try {
        return TIGotUDataToGPX::TrackName(*track) + ".gpx";
      } catch (const Error&) {
        break; // a start that cannot be decoded names nothing
      }
    }
  }
  return "track.gpx";
}

ExportResult ImageSession::Export(const std::vector<const TIGotUTrack*>& Tracks,
                                  const std::string& FileName, const GPXPreferences& Preferences,
                                  const std::shared_ptr<IProgressInterface>& Progress,
                                  const std::atomic<bool>* Cancel) {
  ExportResult result;
  result.FileName = FileName;
  result.Done =
      LoggerLink::ExportGpx(Tracks, FileName, Preferences, Progress, Cancel, &result.LeftOut);
  if (!result.Done) {
    return result;
  }
  result.CountWritten(Tracks);
  return result;
}

} // namespace tarnwick::app

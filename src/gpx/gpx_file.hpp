#pragma once

#include "gpx/gpx_extension.hpp"
#include "gpx/gpx_track.hpp"
#include "gpx/gpx_types.hpp"
#include "support/progress.hpp"

#include <memory>
#include <string>

namespace tarnwick {

class XmlDocument;
class XmlWriter;

/// What Save does when the progress sink asks to abort.
enum class GPXAbortAction {
  WritePartial, ///< Write the file with the points written so far.
  Discard,      ///< Write nothing; an existing file stays as it was.
};

/// The points a strict file leaves out because the schemas have no place for their position.
struct PositionsLeftOut {
  int TrackPoints = 0;
  int WayPoints = 0;
  int Total() const { return TrackPoints + WayPoints; }
};

/// An in-memory GPX 1.0 or 1.1 document: version, creator, metadata, way points and tracks.
/// Writes files in a fixed layout and reads them back, reporting to an optional progress
/// sink while it works. One thread at a time.
class TGPXFile {
 public:
  /// Version "1.1", empty creator and metadata, no way points, an empty GPX 1.1 track list.
  TGPXFile();
  ~TGPXFile();
  TGPXFile(const TGPXFile&) = delete;
  TGPXFile& operator=(const TGPXFile&) = delete;

  /// "1.0" or "1.1".
  const std::string& Version() const { return FVersion; }
  /// Changes the version; a change discards the tracks and the extension classes. An
  /// unsupported version raises "GPX Version "%s" not support" and changes nothing.
  void SetVersion(const std::string& Value);
  /// Text of the root's "creator" attribute.
  const std::string& Creator() const { return FCreator; }
  void SetCreator(const std::string& Value) { FCreator = Value; }
  /// The metadata, written when IsExist.
  const TGPXMetaData& MetaData() const { return FMetaData; }
  void SetMetaData(const TGPXMetaData& Value) { FMetaData = Value; }
  /// The tracks and the extension classes they carry.
  TGPXTrkList& Tracks() { return *FTracks; }
  const TGPXTrkList& Tracks() const { return *FTracks; }
  /// The way points.
  TGPXWptList& WayPoints() { return *FWayPoints; }
  const TGPXWptList& WayPoints() const { return *FWayPoints; }
  /// The progress sink, or null.
  const std::shared_ptr<IProgressInterface>& Progress() const { return FProgress; }
  void SetProgress(std::shared_ptr<IProgressInterface> Value) { FProgress = std::move(Value); }
  /// Whether Save writes the layout that the published schemas accept: GPX 1.0 points with
  /// their elements in schema order and extension elements without an "extensions" wrapper,
  /// GPX 1.1 points without the speed and course elements the schema has no place for,
  /// schema-shaped metadata, a longitude of 180 given as -180, and no point whose position
  /// is impossible (latitude beyond 90, longitude beyond 180; see LeftOut). Off by default:
  /// the layout consumers have always been given.
  bool Strict() const { return strict_; }
  void SetStrict(bool Value) { strict_ = Value; }
  /// The way points and track points Save leaves out for their position; none unless Strict.
  PositionsLeftOut LeftOut() const;

  /// Writes the document to AFileName, replacing an existing file only with a complete new
  /// one. Reports "Prepare to saving...", "Constructing Track Data...", each
  /// point, and "Save to file...". Returns false when the sink asked to abort: OnAbort says
  /// whether the shortened file is written. Raises FileError when the file cannot be written.
  bool Save(const std::string& AFileName,
            GPXAbortAction OnAbort = GPXAbortAction::WritePartial) const;
  /// The text Save writes (points up to an abort), without a file, with the same messages.
  std::string SaveToString() const;

  /// Reads AFileName into the document (see LoadFromString). Raises FileError for a file
  /// that cannot be read.
  void Load(const std::string& AFileName);
  /// Reads a GPX text: version, creator, metadata (when the file has some), way points after
  /// the ones held, and tracks in place of the ones held, with the registered extension
  /// classes whose namespace some element of the file declares, under any prefix. A failure
  /// raises ConvertError (or the version error) naming SourceName and, where it is known,
  /// the line; the document is left as it was.
  void LoadFromString(std::string Text, const std::string& SourceName);

  /// Adds an extension class to the program-wide registry the reader consults.
  static void RegistExtensions(TGPXExtensionClass ExtCls);

  /// The sink's OnProgress, when there is a sink; Abort is left as it was otherwise.
  void DoProgress(int32_t Position, int32_t Max, bool& Abort) const;

 private:
  void DoMessage(const std::string& Text) const;
  std::unique_ptr<TGPXTrkList> MakeTrackList(const std::string& Version);
  bool Write(XmlWriter& Xml, GPXAbortAction OnAbort) const;
  void LoadFromXml(const XmlDocument& Xml, const std::string& SourceName);

  std::string FVersion;
  std::string FCreator;
  TGPXMetaData FMetaData;
  std::shared_ptr<IProgressInterface> FProgress;
  std::unique_ptr<TGPXWptList> FWayPoints;
  std::unique_ptr<TGPXTrkList> FTracks;
  bool strict_ = false;
};

} // namespace tarnwick

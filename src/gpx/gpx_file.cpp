#include "gpx/gpx_file.hpp"

#include "gpx/xml_document.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr std::string_view kXsiURI = "http://www.w3.org/2001/XMLSchema-instance";

} // namespace

TGPXFile::TGPXFile()
    : FVersion("1.1"), FWayPoints(std::make_unique<TGPXWptList>()),
      FTracks(MakeTrackList(FVersion)) {}

TGPXFile::~TGPXFile() {
  // Tracks first, then the way points.
  FTracks.reset();
  FWayPoints.reset();
}

std::unique_ptr<TGPXTrkList> TGPXFile::MakeTrackList(const std::string& Version) {
  if (Version == "1.0") {
    return std::make_unique<TGPXTrkListV100>(this);
  }
  if (Version == "1.1") {
    return std::make_unique<TGPXTrkListV110>(this);
  }
  throw Error("GPX Version \"" + Version + "\" not support");
}

void TGPXFile::SetVersion(const std::string& Value) {
  if (Value == FVersion) {
    return;
  }
  // The new list is made before anything is dropped, so a refused version changes nothing.
  std::unique_ptr<TGPXTrkList> tracks = MakeTrackList(Value);
  FVersion = Value;
  FTracks = std::move(tracks);
}

void TGPXFile::RegistExtensions(TGPXExtensionClass ExtCls) {
  GPXExtensionRegistry().push_back(ExtCls);
}

void TGPXFile::DoMessage(const std::string& Text) const {
  if (FProgress) {
    FProgress->SetMessage1(Text);
  }
}

void TGPXFile::DoProgress(int32_t Position, int32_t Max, bool& Abort) const {
  if (FProgress) {
    FProgress->OnProgress(Position, Max, Abort);
  }
}

bool TGPXFile::Write(XmlWriter& Xml, GPXAbortAction OnAbort) const {
  XmlElement root = Xml.CreateRoot("gpx", FTracks->URIDecl());
  root.SetAttribute("version", FVersion);
  root.SetAttribute("creator", FCreator);
  root.DeclarePrefix("xsi", kXsiURI);
  root.SetAttribute("xsi:schemaLocation",
                    std::string(FTracks->URIDecl()) + " " + FTracks->XSDURI());
  for (const TGPXExtensionClass cls : FTracks->ExtensionClasses()) {
    cls->DeclareNamespace(root);
  }
  if (FMetaData.IsExist()) {
    if (!strict_) {
      FMetaData.SetToNode(root.AddChild("metadata"));
    } else if (FVersion == "1.0") {
      FMetaData.SetToNodeStrict(root, true);
    } else {
      FMetaData.SetToNodeStrict(root.AddChild("metadata"), false);
    }
  }
  for (int i = 0; i < FWayPoints->Count(); ++i) {
    const TGPXWptType& p = FWayPoints->Points(i);
    if (!strict_ || p.HasSchemaPosition()) {
      p.SetToNode(root.AddChild("wpt"), strict_);
    }
  }
  DoMessage("Constructing Track Data...");
  bool complete = true;
  for (int i = 0; i < FTracks->Count(); ++i) {
    if (!(*FTracks)[i].SetToNode(root.AddChild("trk"))) {
      complete = false;
      if (OnAbort == GPXAbortAction::Discard) {
        return false;
      }
    }
  }
  return complete;
}

bool TGPXFile::Save(const std::string& AFileName, GPXAbortAction OnAbort) const {
  DoMessage("Prepare to saving...");
  // The text goes straight into a temporary file that replaces the target only when it is
  // complete; a failure or a discarded abort removes it.
  ReplacingFile file(AFileName);
  XmlWriter xml([&file](std::string_view Text) { file.Write(Text.data(), Text.size()); });
  const bool complete = Write(xml, OnAbort);
  if (!complete && OnAbort == GPXAbortAction::Discard) {
    return false;
  }
  DoMessage("Save to file...");
  xml.Finish();
  file.Commit();
  return complete;
}

std::string TGPXFile::SaveToString() const {
  DoMessage("Prepare to saving...");
  XmlWriter xml;
  Write(xml, GPXAbortAction::WritePartial);
  DoMessage("Save to file...");
  xml.Finish();
  return std::string(xml.Text());
}

PositionsLeftOut TGPXFile::LeftOut() const {
  PositionsLeftOut left;
  if (!strict_) {
    return left;
  }
  for (int i = 0; i < FWayPoints->Count(); ++i) {
    left.WayPoints += FWayPoints->Points(i).HasSchemaPosition() ? 0 : 1;
  }
  for (int t = 0; t < FTracks->Count(); ++t) {
    for (const TGPXTrkSeg& seg : (*FTracks)[t].TrkSeg()) {
      left.TrackPoints += seg.trkpt.HasSchemaPosition() ? 0 : 1;
    }
  }
  return left;
}

void TGPXFile::Load(const std::string& AFileName) {
  DoMessage("Prepare to loading...");
  XmlDocument xml;
  xml.LoadFromFile(AFileName);
  LoadFromXml(xml, AFileName);
}

void TGPXFile::LoadFromString(std::string Text, const std::string& SourceName) {
  DoMessage("Prepare to loading...");
  XmlDocument xml;
  xml.LoadFromString(std::move(Text), SourceName);
  LoadFromXml(xml, SourceName);
}

void TGPXFile::LoadFromXml(const XmlDocument& Xml, const std::string& SourceName) {
  const XmlNode root = Xml.Root();
  if (root.LocalName() != "gpx") {
    throw ConvertError(SourceName + " is not a GPX file: its root element is \"" +
                       std::string(root.Name()) + "\"");
  }
  // Everything is read into new parts first and taken over only when the whole file has
  // been read, so that a refused or broken file leaves the document as it was.
  std::string version(root.Attribute("version"));
  std::unique_ptr<TGPXTrkList> tracks;
  try {
    tracks = MakeTrackList(version);
  } catch (const Error& e) {
    throw Error(root.Location() + ": " + e.what());
  }
  // An extension is recognised by its namespace, under whatever prefix and on whichever
  // element the file declares it.
  for (const TGPXExtensionClass cls : GPXExtensionRegistry()) {
    if (Xml.DeclaresNamespace(cls->URI) ||
        std::any_of(cls->AlsoReads.begin(), cls->AlsoReads.end(),
                    [&](std::string_view URI) { return Xml.DeclaresNamespace(URI); })) {
      tracks->AddExtensionClass(cls);
    }
  }
  DoMessage("Constructing Track Data...");
  TGPXMetaData metaData = FMetaData;
  auto wayPoints = std::make_unique<TGPXWptList>(*FWayPoints);
  bool hasMetaData = false;
  bool hasRootTexts = false;
  for (XmlNode child = root.FirstChild(); child; child = child.NextSibling()) {
    if (!child.IsElement() || !child.SameNamespaceAs(root)) {
      continue;
    }
    const std::string_view name = child.LocalName();
    if (name == "metadata") {
      metaData.SetFromNode(child);
      hasMetaData = true;
    } else if (name == "wpt") {
      wayPoints->AddNewWayPointFromNode(child);
    } else if (name == "trk") {
      tracks->AddNewTrack().SetFromNode(child);
    } else if (name == "name" || name == "desc" || name == "author" || name == "keywords") {
      hasRootTexts = true;
    }
  }
  // GPX 1.0 has no "metadata": its name, description, author and keywords stand in the root.
  if (version == "1.0" && !hasMetaData && hasRootTexts) {
    metaData.SetFromNode(root);
  }
  FVersion = std::move(version);
  FCreator = std::string(root.Attribute("creator"));
  FMetaData = std::move(metaData);
  FWayPoints = std::move(wayPoints);
  FTracks = std::move(tracks);
}

} // namespace tarnwick

#include "gpx/gpx_track.hpp"

#include "gpx/gpx_file.hpp"
#include "logger/point_list.hpp"
#include "support/errors.hpp"

#include <algorithm>
#include <utility>

namespace tarnwick {

namespace {

constexpr std::string_view kGPX10URI = "http://www.topografix.com/GPX/1/0";
constexpr std::string_view kGPX11URI = "http://www.topografix.com/GPX/1/1";

} // namespace

TGPXTrkType::TGPXTrkType(const TGPXFile* GPXFile) : FGPXFile(GPXFile) {}

TGPXTrkType::~TGPXTrkType() = default;

void TGPXTrkType::SetCount(int Value) {
  Value = std::max(Value, 0);
  trkSeg_.resize(static_cast<size_t>(Value));
  for (auto& [cls, ext] : FExtensions) {
    ext->SetCount(Value);
  }
}

const TGPXWptType& TGPXTrkType::Points(int Idx) const {
  if (Idx < 0 || Idx >= Count()) {
    ListIndexError(Idx);
  }
  return trkSeg_[static_cast<size_t>(Idx)].trkpt;
}

void TGPXTrkType::SetPoints(int Idx, const TGPXWptType& Value) {
  if (Idx < 0 || Idx >= Count()) {
    ListIndexError(Idx);
  }
  trkSeg_[static_cast<size_t>(Idx)].trkpt = Value;
}

const TGPXExtension& TGPXTrkType::GetExtensions(TGPXExtensionClass ExtCls) const {
  for (const auto& [cls, ext] : FExtensions) {
    if (cls == ExtCls) {
      return *ext;
    }
  }
  throw ListError("Item not found");
}

TGPXExtension& TGPXTrkType::GetExtensions(TGPXExtensionClass ExtCls) {
  return const_cast<TGPXExtension&>(std::as_const(*this).GetExtensions(ExtCls));
}

bool TGPXTrkType::HasExtension(TGPXExtensionClass ExtCls) const {
  return std::any_of(FExtensions.begin(), FExtensions.end(),
                     [&](const auto& entry) { return entry.first == ExtCls; });
}

void TGPXTrkType::AddExtension(TGPXExtensionClass ExtCls, std::unique_ptr<TGPXExtension> Ext) {
  if (HasExtension(ExtCls)) {
    throw ListError("Duplicates not allowed");
  }
  Ext->SetCount(Count());
  FExtensions.emplace_back(ExtCls, std::move(Ext));
}

bool TGPXTrkType::HasExtensionData(int Idx) const {
  return std::any_of(FExtensions.begin(), FExtensions.end(),
                     [&](const auto& entry) { return entry.second->HasData(Idx); });
}

void TGPXTrkType::ExtensionsSetToNode(XmlElement Node, int Idx) const {
  for (const auto& [cls, ext] : FExtensions) {
    if (ext->HasData(Idx)) {
      ext->SetToNode(Node, Idx);
    }
  }
}

void TGPXTrkType::ExtensionsSetFromNode(XmlNode Node, int Idx) {
  for (auto& [cls, ext] : FExtensions) {
    ext->SetFromNode(Node, Idx);
  }
}

bool TGPXTrkType::Strict() const {
  return FGPXFile && FGPXFile->Strict();
}

bool TGPXTrkType::SetToNode(XmlElement Node) const {
  if (!Name.empty()) {
    Node.AddTextChild("name", Name);
  }
  if (!Cmt.empty()) {
    Node.AddTextChild("cmt", Cmt);
  }
  if (!Desc.empty()) {
    Node.AddTextChild("desc", Desc);
  }
  if (!Src.empty()) {
    Node.AddTextChild("src", Src);
  }
  XmlElement seg = Node.AddChild("trkseg");
  bool abort = false;
  const int count = Count();
  const bool strict = Strict();
  for (int i = 0; i < count; ++i) {
    if (!strict || trkSeg_[static_cast<size_t>(i)].trkpt.HasSchemaPosition()) {
      XmlElement point = seg.AddChild("trkpt");
      PointSetToNode(point, i);
      if (HasExtensionData(i)) {
        ExtensionsSetToNode(ExtensionsNode(point), i);
      }
    }
    if (FGPXFile) {
      FGPXFile->DoProgress(i, count, abort);
    }
    if (abort) {
      return false;
    }
  }
  return true;
}

void TGPXTrkType::SetFromNode(XmlNode Node) {
  Name = Node.ChildText("name");
  Cmt = Node.ChildText("cmt");
  Desc = Node.ChildText("desc");
  Src = Node.ChildText("src");
  SetCount(0);
  for (XmlNode child = Node.FirstChild(); child; child = child.NextSibling()) {
    if (child.IsElement() && child.LocalName() == "trkseg" && child.SameNamespaceAs(Node)) {
      ReadSegment(child);
    }
  }
}

void TGPXTrkType::ReadSegment(XmlNode Seg) {
  for (XmlNode child = Seg.FirstChild(); child; child = child.NextSibling()) {
    if (!child.IsElement()) {
      throw ConvertError(child.Location() + ": text in \"trkseg\", where points are expected");
    }
    if (!child.SameNamespaceAs(Seg)) {
      continue; // another schema's data, which GPX 1.0 allows anywhere
    }
    const std::string_view name = child.LocalName();
    if (name == "extensions") {
      continue;
    }
    if (name != "trkpt") {
      throw ConvertError(child.Location() + ": \"" + std::string(child.Name()) +
                         "\" in \"trkseg\", where points are expected");
    }
    // Read before it takes room, so that a file of empty elements costs no points.
    TGPXTrkSeg point;
    const XmlNode ext = point.SetFromNode(child);
    trkSeg_.push_back(point);
    if (FExtensions.empty()) {
      continue;
    }
    const int i = Count() - 1;
    for (auto& [cls, ext] : FExtensions) {
      ext->SetCount(Count());
    }
    // The strict GPX 1.0 layout puts the extension elements directly into the point.
    ExtensionsSetFromNode(ext ? ext : child, i);
  }
}

void TGPXTrkType::PointClear(int Idx, int cnt) {
  const int first = std::clamp(Idx, 0, Count());
  const int last = std::clamp(Idx + std::max(cnt, 0), first, Count());
  trkSeg_.erase(trkSeg_.begin() + first, trkSeg_.begin() + last);
  for (auto& [cls, ext] : FExtensions) {
    ext->DeletePoints(first, last - first);
  }
}

void TGPXTrkType::PointCutIn(int Idx) {
  PointClear(0, Idx);
}

void TGPXTrkType::PointCutOff(int Idx) {
  PointClear(Idx, Count() - Idx);
}

void TGPXTrkTypeV100::PointSetToNode(XmlElement Node, int Idx) const {
  const TGPXTrkSeg& seg = trkSeg_[static_cast<size_t>(Idx)];
  if (Strict()) {
    seg.SetToNodeStrict100(Node);
    return;
  }
  seg.SetToNode(Node);
  seg.SetToNodeEx100(Node);
}

XmlElement TGPXTrkTypeV100::ExtensionsNode(XmlElement Point) const {
  return Strict() ? Point : TGPXTrkType::ExtensionsNode(Point);
}

void TGPXTrkTypeV110::PointSetToNode(XmlElement Node, int Idx) const {
  trkSeg_[static_cast<size_t>(Idx)].SetToNode(Node, Strict());
}

bool TGPXTrkTypeV110::HasExtensionData(int Idx) const {
  if (TGPXTrkType::HasExtensionData(Idx)) {
    return true;
  }
  const TGPXWptType& p = trkSeg_[static_cast<size_t>(Idx)].trkpt;
  return !Strict() && (p.Have(TWptTypeDataFlag::wdfCourse) || p.Have(TWptTypeDataFlag::wdfSpeed));
}

void TGPXTrkTypeV110::ExtensionsSetToNode(XmlElement Node, int Idx) const {
  TGPXTrkType::ExtensionsSetToNode(Node, Idx);
  if (!Strict()) {
    trkSeg_[static_cast<size_t>(Idx)].SetToNodeEx100(Node);
  }
}

TGPXTrkList::~TGPXTrkList() = default;

void TGPXTrkList::AddExtensionClass(TGPXExtensionClass ExtCls) {
  if (std::find(FExtensionClasses.begin(), FExtensionClasses.end(), ExtCls) ==
      FExtensionClasses.end()) {
    FExtensionClasses.push_back(ExtCls);
  }
}

TGPXTrkType& TGPXTrkList::AddNewTrack() {
  std::unique_ptr<TGPXTrkType> track = CreateTrack();
  for (const TGPXExtensionClass cls : FExtensionClasses) {
    track->AddExtension(cls, cls->Create());
  }
  FTracks.push_back(std::move(track));
  return *FTracks.back();
}

const TGPXTrkType& TGPXTrkList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  return *FTracks[static_cast<size_t>(Index)];
}

void TGPXTrkList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) {
    ListIndexError(Index);
  }
  FTracks.erase(FTracks.begin() + Index);
}

std::unique_ptr<TGPXTrkType> TGPXTrkListV100::CreateTrack() const {
  return std::make_unique<TGPXTrkTypeV100>(FGPXFile);
}

std::string_view TGPXTrkListV100::URIDecl() const {
  return kGPX10URI;
}

std::string TGPXTrkListV100::XSDURI() const {
  return std::string(kGPX10URI) + "/gpx.xsd";
}

std::unique_ptr<TGPXTrkType> TGPXTrkListV110::CreateTrack() const {
  return std::make_unique<TGPXTrkTypeV110>(FGPXFile);
}

std::string_view TGPXTrkListV110::URIDecl() const {
  return kGPX11URI;
}

std::string TGPXTrkListV110::XSDURI() const {
  return std::string(kGPX11URI) + "/gpx.xsd";
}

} // namespace tarnwick

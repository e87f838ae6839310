#pragma once

#include "gpx/gpx_extension.hpp"
#include "gpx/gpx_types.hpp"
#include "support/errors.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class TGPXFile;

/// A GPX track with one segment of points and one object per extension class of its
/// document. The GPX 1.0 and 1.1 classes differ in where a point's speed and course go.
class TGPXTrkType {
 public:
  /// An empty track of GPXFile (not owned; progress goes through it).
  explicit TGPXTrkType(const TGPXFile* GPXFile);
  virtual ~TGPXTrkType();
  TGPXTrkType(const TGPXTrkType&) = delete;
  TGPXTrkType& operator=(const TGPXTrkType&) = delete;

  /// Written as "name", "cmt", "desc", "src" when not empty.
  std::string Name, Cmt, Desc, Src;

  /// Number of points.
  int Count() const { return static_cast<int>(trkSeg_.size()); }
  /// Resizes the points (new ones have no flags) and every extension object's data.
  virtual void SetCount(int Value);
  /// Point Idx; raises ListError outside 0 .. Count - 1.
  const TGPXWptType& Points(int Idx) const;
  /// Replaces point Idx; raises ListError outside 0 .. Count - 1.
  void SetPoints(int Idx, const TGPXWptType& Value);
  /// The points in order.
  const std::vector<TGPXTrkSeg>& TrkSeg() const { return trkSeg_; }

  /// The extension object of class ExtCls; raises ListError "not found" when the track has
  /// none of that class.
  const TGPXExtension& GetExtensions(TGPXExtensionClass ExtCls) const;
  TGPXExtension& GetExtensions(TGPXExtensionClass ExtCls);
  /// The same as GetExtensions.
  const TGPXExtension& Extensions(TGPXExtensionClass ExtCls) const { return GetExtensions(ExtCls); }
  TGPXExtension& Extensions(TGPXExtensionClass ExtCls) { return GetExtensions(ExtCls); }
  /// The extension object of class T::Class(), as a T; raises ListError when the track has
  /// none, or when the object entered under that class is not a T.
  template <class T>
  const T& Extension() const {
    if (const auto* ext = dynamic_cast<const T*>(&GetExtensions(T::Class()))) {
      return *ext;
    }
    throw ListError("Item is not of its class");
  }
  template <class T>
  T& Extension() {
    return const_cast<T&>(std::as_const(*this).template Extension<T>());
  }
  /// Whether the track has an object of class ExtCls.
  bool HasExtension(TGPXExtensionClass ExtCls) const;
  /// Enters Ext under ExtCls, sized to the points; the track owns it from now on.
  void AddExtension(TGPXExtensionClass ExtCls, std::unique_ptr<TGPXExtension> Ext);

  /// Writes point Idx (attributes and elements) into Node, its "trkpt" element.
  virtual void PointSetToNode(XmlElement Node, int Idx) const = 0;
  /// Whether point Idx gets an extensions element: some extension object has data for it.
  virtual bool HasExtensionData(int Idx) const;
  /// Every extension object with data for point Idx writes into Node.
  virtual void ExtensionsSetToNode(XmlElement Node, int Idx) const;
  /// Every extension object reads point Idx from Node.
  virtual void ExtensionsSetFromNode(XmlNode Node, int Idx);

  /// Writes the track into Node, its "trk" element, reporting each point to the document's
  /// progress sink. Returns false when the sink asked to abort; the points written so far
  /// stay in Node. A strict document leaves out points without a schema position.
  bool SetToNode(XmlElement Node) const;
  /// Reads the track from Node, its "trk" element: texts, then the points of every "trkseg",
  /// one after another in one list. A segment's "extensions" and elements of other namespaces
  /// are passed over; ConvertError is raised for a point that does not read, and for text or
  /// another GPX element where points are expected.
  void SetFromNode(XmlNode Node);

  /// Removes cnt points from Idx on, and their records in every extension object, so that
  /// record i still belongs to point i. The range is clipped to the points held.
  void PointClear(int Idx, int cnt);
  /// Keeps the points (and their extension records) from Idx to the end.
  void PointCutIn(int Idx);
  /// Keeps the first Idx points (and their extension records).
  void PointCutOff(int Idx);

 protected:
  /// The element that receives point Idx's extension elements, made under Point.
  virtual XmlElement ExtensionsNode(XmlElement Point) const { return Point.AddChild("extensions"); }
  /// Whether the document is written in its schema-valid layout.
  bool Strict() const;
  /// Appends the points of Seg, a "trkseg" element.
  void ReadSegment(XmlNode Seg);

  const TGPXFile* FGPXFile;
  std::vector<TGPXTrkSeg> trkSeg_;
  /// One object per extension class, in the order the classes were added.
  std::vector<std::pair<TGPXExtensionClass, std::unique_ptr<TGPXExtension>>> FExtensions;
};

/// A GPX 1.0 track: speed and course are elements of the point itself.
class TGPXTrkTypeV100 : public TGPXTrkType {
 public:
  using TGPXTrkType::TGPXTrkType;
  /// Point, then its speed and course; in the strict layout in the schema's element order.
  void PointSetToNode(XmlElement Node, int Idx) const override;

 protected:
  /// The point itself in the strict layout, since GPX 1.0 has no "extensions" element.
  XmlElement ExtensionsNode(XmlElement Point) const override;
};

/// A GPX 1.1 track: speed and course go inside "extensions", after the extension objects'
/// elements; the strict layout leaves them to an extension, as the schema has no place.
class TGPXTrkTypeV110 : public TGPXTrkType {
 public:
  using TGPXTrkType::TGPXTrkType;
  /// The point alone.
  void PointSetToNode(XmlElement Node, int Idx) const override;
  /// Extension data, or (not strict) a speed or a course.
  bool HasExtensionData(int Idx) const override;
  /// The extension objects, then (not strict) "speed" and "course".
  void ExtensionsSetToNode(XmlElement Node, int Idx) const override;
};

/// The tracks of a document, owned, and the document's extension classes.
class TGPXTrkList {
 public:
  /// An empty list of GPXFile (not owned).
  explicit TGPXTrkList(const TGPXFile* GPXFile) : FGPXFile(GPXFile) {}
  virtual ~TGPXTrkList();
  TGPXTrkList(const TGPXTrkList&) = delete;
  TGPXTrkList& operator=(const TGPXTrkList&) = delete;

  /// A new track of the list's version.
  virtual std::unique_ptr<TGPXTrkType> CreateTrack() const = 0;
  /// The namespace URI of the version.
  virtual std::string_view URIDecl() const = 0;
  /// The published location of the version's schema.
  virtual std::string XSDURI() const = 0;

  /// The extension classes, in order of addition.
  const std::vector<TGPXExtensionClass>& ExtensionClasses() const { return FExtensionClasses; }
  /// Adds ExtCls unless the list has it; tracks made later get an object of it.
  void AddExtensionClass(TGPXExtensionClass ExtCls);

  /// Appends a new track with one object of every extension class, and returns it.
  TGPXTrkType& AddNewTrack();
  /// Number of tracks.
  int Count() const { return static_cast<int>(FTracks.size()); }
  /// Track Index; raises ListError outside 0 .. Count - 1.
  const TGPXTrkType& Items(int Index) const;
  TGPXTrkType& Items(int Index) {
    return const_cast<TGPXTrkType&>(std::as_const(*this).Items(Index));
  }
  /// Track Index without a range check.
  const TGPXTrkType& operator[](int Index) const { return *FTracks[static_cast<size_t>(Index)]; }
  TGPXTrkType& operator[](int Index) { return *FTracks[static_cast<size_t>(Index)]; }
  /// Removes and frees track Index; raises ListError outside 0 .. Count - 1.
  void Delete(int Index);
  /// Removes and frees every track.
  void Clear() { FTracks.clear(); }

 protected:
  const TGPXFile* FGPXFile;

 private:
  std::vector<TGPXExtensionClass> FExtensionClasses;
  std::vector<std::unique_ptr<TGPXTrkType>> FTracks;
};

/// The tracks of a GPX 1.0 document.
class TGPXTrkListV100 : public TGPXTrkList {
 public:
  using TGPXTrkList::TGPXTrkList;
  /// A TGPXTrkTypeV100.
  std::unique_ptr<TGPXTrkType> CreateTrack() const override;
  /// "http://www.topografix.com/GPX/1/0".
  std::string_view URIDecl() const override;
  /// The URI followed by "/gpx.xsd".
  std::string XSDURI() const override;
};

/// The tracks of a GPX 1.1 document.
class TGPXTrkListV110 : public TGPXTrkList {
 public:
  using TGPXTrkList::TGPXTrkList;
  /// A TGPXTrkTypeV110.
  std::unique_ptr<TGPXTrkType> CreateTrack() const override;
  /// "http://www.topografix.com/GPX/1/1".
  std::string_view URIDecl() const override;
  /// The URI followed by "/gpx.xsd".
  std::string XSDURI() const override;
};

} // namespace tarnwick

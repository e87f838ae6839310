#pragma once

#include "gpx/xml_document.hpp"
#include "gpx/xml_writer.hpp"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TGPXExtension;

/// What a track-point extension class is at run time: its name, its namespace prefix and URI,
/// and a factory for its objects. Each class has one static instance; its address identifies
/// the class in lists and as a dictionary key.
struct GPXExtensionClassInfo {
  /// The class's name, for messages.
  std::string_view Name;
  /// The prefix its elements are written with ("gpxtpx").
  std::string_view Prefix;
  /// The namespace URI its elements belong to.
  std::string_view URI;
  /// Makes an object of the class with no per-point data.
  std::unique_ptr<TGPXExtension> (*Create)();
  /// Further namespaces whose elements the class reads (an earlier version of its schema);
  /// a file that declares one of them is read with the class too.
  std::span<const std::string_view> AlsoReads = {};

  /// Returns the namespace URI and sets NS to the prefix.
  std::string_view NamespaceURI(std::string_view& NS) const {
    NS = Prefix;
    return URI;
  }
  /// Declares the prefix for the URI on Root, unless Root or an ancestor binds the prefix to
  /// that URI already. Raises Error when Root itself binds the prefix to another URI,
  /// which would make the file's prefixes ambiguous.
  void DeclareNamespace(XmlElement Root) const;
};

/// An extension class, as held in lists and used as a dictionary key.
using TGPXExtensionClass = const GPXExtensionClassInfo*;

/// Extra per-point data of a track, one record per point, written into and read from the
/// point's "extensions" element.
class TGPXExtension {
 public:
  virtual ~TGPXExtension() = default;
  /// Sizes the per-point data to Value points; new points have no data.
  virtual void SetCount(int Value) = 0;
  /// Removes the data of Count points from point Idx on (a range within the points held);
  /// the later points move down, as the track's own points do.
  virtual void DeletePoints(int Idx, int Count) = 0;
  /// Whether point Idx has anything to write.
  virtual bool HasData(int Idx) const = 0;
  /// Writes point Idx's elements into Node, the point's "extensions" element.
  virtual void SetToNode(XmlElement Node, int Idx) const = 0;
  /// Reads point Idx's data from Node, the point's "extensions" element.
  virtual void SetFromNode(XmlNode Node, int Idx) = 0;
};

/// The program-wide list of extension classes the reader recognises, in registration order.
/// Empty at start; classes stay registered for the rest of the run.
std::vector<TGPXExtensionClass>& GPXExtensionRegistry();

} // namespace tarnwick

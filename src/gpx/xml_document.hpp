#pragma once

#include "support/memory_region.hpp"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
struct xml_node_struct;
} // namespace pugi

namespace tarnwick {

/// The namespace URI bound to the prefix "xml" in every document.
inline constexpr std::string_view kXmlNamespaceURI = "http://www.w3.org/XML/1998/namespace";

class XmlDocumentState;

/// A node of a parsed XmlDocument: an element or a text. A light handle that the document
/// owns; it must not outlive the document. A default-made handle is null and false.
class XmlNode {
 public:
  XmlNode() = default;

  /// False for a null handle.
  explicit operator bool() const { return node_ != nullptr; }
  /// True for an element, false for text and for a null handle.
  bool IsElement() const;

  /// The name as written, prefix included ("gpxtpx:hr"); empty for text.
  std::string_view Name() const;
  /// The name without its prefix ("hr").
  std::string_view LocalName() const;
  /// The prefix of the name ("gpxtpx"), empty when there is none.
  std::string_view Prefix() const;

  /// The text content of the element. Raises ConvertError when the element holds child
  /// elements, since a value was expected there.
  std::string Text() const;
  /// The same text without a copy when the element holds one piece of text, as it mostly does;
  /// otherwise Scratch receives it. Valid while the document and Scratch are.
  std::string_view TextView(std::string& Scratch) const;
  /// The value of attribute Name; empty when it is absent.
  std::string_view Attribute(const char* Name) const;

  /// The first child element named LocalName in this element's namespace (prefixes may
  /// differ when they name the same URI), or a null handle.
  XmlNode FindChild(std::string_view LocalName) const;
  /// The first child element whose name is QName exactly as written, namespace not compared.
  XmlNode FindChildByQName(std::string_view QName) const;
  /// Text of FindChild(LocalName), or empty when there is no such child.
  std::string ChildText(std::string_view LocalName) const;
  /// The local name of this node if it is an element in Parent's namespace, else empty: for
  /// reading all children of an element in one pass.
  std::string_view LocalNameIn(XmlNode Parent) const;
  /// For each of Names, the first child element of that local name in this element's
  /// namespace, or a null handle: all of an element's values found in one pass.
  template <size_t N>
  std::array<XmlNode, N> FirstChildrenNamed(const std::array<std::string_view, N>& Names) const {
    std::array<XmlNode, N> found;
    for (XmlNode child = FirstChild(); child; child = child.NextSibling()) {
      const std::string_view name = child.LocalNameIn(*this);
      for (size_t i = 0; i < N; ++i) {
        if (name == Names[i] && !found[i]) {
          found[i] = child;
          break;
        }
      }
    }
    return found;
  }

  /// First child node (element or text) in document order, or a null handle.
  XmlNode FirstChild() const;
  /// The next node after this one under the same parent, or a null handle.
  XmlNode NextSibling() const;
  /// Number of child nodes.
  size_t ChildCount() const;
  /// Whether some child node is an element.
  bool HasChildElements() const;

  /// The namespace URI declared for Prefix ("" for the default namespace) on this element or
  /// its ancestors; empty when none is. Takes time in the depth of the element, not in the
  /// number of declarations.
  std::optional<std::string_view> LookupNamespaceURI(std::string_view Prefix) const;
  /// The namespace of this element, from its prefix; empty when it has none.
  std::string_view NamespaceURI() const;
  /// Whether this element itself declares a namespace prefix or the default namespace.
  bool HasNamespaceDeclarations() const;
  /// Whether this element is in the same namespace as Other.
  bool SameNamespaceAs(XmlNode Other) const;

  /// Where the node stands, for error messages: "FILE, line 12", or "FILE" when the line is
  /// not known; empty for a null handle.
  std::string Location() const;

 private:
  friend class XmlDocument;
  friend class XmlDocumentState;
  XmlNode(pugi::xml_node_struct* Node, const XmlDocumentState* Doc) : node_(Node), doc_(Doc) {}

  pugi::xml_node_struct* node_ = nullptr;
  const XmlDocumentState* doc_ = nullptr;
};

/// An XML document parsed from a file or text, for reading (XmlWriter writes documents). It
/// takes only well-formed XML with well-formed namespaces in the encodings DecodeXmlText
/// reads; entity references other than XML's five and character references are refused, never
/// expanded. Built on pugixml, which parses without recursion; the parser may take at most
/// MemoryPerByte bytes per byte of text, so a hostile file cannot make it take much more
/// memory than a sound file of its size.
class XmlDocument {
 public:
  /// An empty document.
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  /// The root element, or a null handle before a successful parse.
  XmlNode Root() const;
  /// Whether some element of the document declares a prefix (or the default namespace) for
  /// URI.
  bool DeclaresNamespace(std::string_view URI) const;

  /// Parses Text, dropping whitespace-only text between elements and keeping neither comments
  /// nor processing instructions. Raises ConvertError "SOURCENAME, line N: ..." for text that
  /// is not well-formed; the document is unchanged then.
  void LoadFromString(std::string Text, const std::string& SourceName);
  /// Reads and parses FileName; files above MaxFileSize raise FileError, as do missing ones.
  void LoadFromFile(const std::string& FileName);

  /// Largest file LoadFromFile accepts: 256 MiB, far above the largest track a logger holds,
  /// and a bound on the memory a parse may take.
  static constexpr size_t MaxFileSize = 256u << 20;
  /// The memory the parser may take per byte of text (plus a megabyte). Sound GPX files need
  /// two to five; a file of nothing but empty elements would need sixteen.
  static constexpr size_t MemoryPerByte = 8;

 private:
  /// The most the parse of TextSize bytes of text may take.
  static size_t ParseBudgetFor(size_t TextSize);
  /// Parses Text, which State owns (Size bytes, or all of its OwnedText) or Region holds, and
  /// takes over all three.
  void Parse(std::unique_ptr<XmlDocumentState> State, char* Text, MemoryRegion& Region,
             std::optional<size_t> Size = std::nullopt);

  // In this order, so that the nodes go before the region that may hold them.
  MemoryRegion region_;
  std::unique_ptr<pugi::xml_document> doc_;
  std::unique_ptr<XmlDocumentState> state_;
};

} // namespace tarnwick

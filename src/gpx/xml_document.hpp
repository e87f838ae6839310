#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
class xml_node;
struct xml_node_struct;
} // namespace pugi

namespace tarnwick {

/// The namespace URI bound to the prefix "xml" in every document.
inline constexpr std::string_view kXmlNamespaceURI = "http://www.w3.org/XML/1998/namespace";

/// A node of a parsed TXmlDocument: an element or a text. A light handle that the document
/// owns; it must not outlive the document. A default-made handle is null and false.
class TXmlNode {
 public:
  TXmlNode() = default;
  /// Wraps a pugixml node (a null node gives a null handle).
  explicit TXmlNode(const pugi::xml_node& Node);

  /// False for a null handle.
  explicit operator bool() const { return FNode != nullptr; }
  /// True for an element, false for text and for a null handle.
  bool IsElement() const;

  /// The name as written, prefix included ("gpxtpx:hr"); empty for text.
  std::string_view Name() const;
  /// The name without its prefix ("hr").
  std::string_view LocalName() const;
  /// The prefix of the name ("gpxtpx"), empty when there is none.
  std::string_view Prefix() const;

  /// The text content of the element. Raises EConvertError when the element holds child
  /// elements, since a value was expected there.
  std::string Text() const;
  /// The value of attribute Name; empty when it is absent.
  std::string_view Attribute(const char* Name) const;

  /// The first child element named LocalName in this element's namespace (prefixes may
  /// differ when they name the same URI), or a null handle.
  TXmlNode FindChild(std::string_view LocalName) const;
  /// The first child element whose name is QName exactly as written, namespace not compared.
  TXmlNode FindChildByQName(std::string_view QName) const;
  /// Text of FindChild(LocalName), or empty when there is no such child.
  std::string ChildText(std::string_view LocalName) const;

  /// First child node (element or text) in document order, or a null handle.
  TXmlNode FirstChild() const;
  /// The next node after this one under the same parent, or a null handle.
  TXmlNode NextSibling() const;
  /// Number of child nodes.
  size_t ChildCount() const;
  /// Whether some child node is an element.
  bool HasChildElements() const;

  /// The namespace URI declared for Prefix ("" for the default namespace) on this element or
  /// its ancestors; empty when none is.
  std::optional<std::string_view> LookupNamespaceURI(std::string_view Prefix) const;
  /// The namespace of this element, from its prefix; empty when undeclared.
  std::string_view NamespaceURI() const;
  /// Whether this element itself declares attributes starting with "xmlns".
  bool HasNamespaceDeclarations() const;
  /// Whether this element is in the same namespace as Other.
  bool SameNamespaceAs(TXmlNode Other) const;

  /// Where the node stood in the parsed text ("line 12"), for error messages; empty when
  /// that is not known.
  std::string Location() const;

 private:
  pugi::xml_node_struct* FNode = nullptr;
  /// The text the document was parsed from, for Location.
  const std::string* FSource = nullptr;
  friend class TXmlDocument;
};

/// An XML document parsed from text, for reading (TXmlWriter writes documents). Built on
/// pugixml, which expands no entities beyond the predefined ones and character
/// references and parses without recursion, so hostile input cannot explode or overflow.
class TXmlDocument {
 public:
  /// An empty document.
  TXmlDocument();
  ~TXmlDocument();
  TXmlDocument(const TXmlDocument&) = delete;
  TXmlDocument& operator=(const TXmlDocument&) = delete;

  /// The root element, or a null handle before a successful parse.
  TXmlNode Root() const;

  /// Parses Text (any encoding pugixml detects), dropping whitespace-only text between
  /// elements and keeping neither comments nor processing instructions. Raises EConvertError
  /// naming SourceName and the line for text that is not well-formed XML.
  void LoadFromString(std::string Text, const std::string& SourceName);
  /// Reads and parses FileName; files above MaxFileSize raise EFileError, as do missing ones.
  void LoadFromFile(const std::string& FileName);

  /// Largest file LoadFromFile accepts: 256 MiB, far above the largest track a logger holds,
  /// and a bound on the memory a parse may take.
  static constexpr size_t MaxFileSize = 256u << 20;

 private:
  std::unique_ptr<pugi::xml_document> FDoc;
  /// The parsed text, which the document's strings point into.
  std::unique_ptr<std::string> FSource;
};

} // namespace tarnwick

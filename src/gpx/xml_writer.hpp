#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class XmlWriter;

/// An element being written by a XmlWriter. Elements are written in document order: adding
/// a child to an element closes whatever was open below it, and a handle whose element has
/// been closed raises std::logic_error when used. A light handle; the writer must outlive it.
class XmlElement {
 public:
  /// Appends a child element. An unprefixed name takes this element's namespace and a
  /// prefixed one the namespace declared for its prefix here or on an ancestor, since the
  /// child carries no declaration of its own. Name must be a valid XML name whose text stays
  /// valid while the element is open (a string literal).
  XmlElement AddChild(std::string_view Name);
  /// Appends a child element holding Text, complete: the same as AddChild, then SetText.
  void AddTextChild(std::string_view Name, std::string_view Text);
  /// Adds an attribute, after the ones set before; only before the element has content.
  /// Characters that XML 1.0 cannot carry are cleaned (CleanXmlText).
  void SetAttribute(std::string_view Name, std::string_view Value);
  /// Declares Prefix for URI on this element (attribute "xmlns:" + Prefix).
  void DeclarePrefix(std::string_view Prefix, std::string_view URI);
  /// Gives the element Text as its whole content, cleaned as SetAttribute cleans values.
  void SetText(std::string_view Text);

  /// The namespace URI declared for Prefix ("" for the default namespace) on this element or
  /// its ancestors; empty when none is.
  std::optional<std::string_view> LookupNamespaceURI(std::string_view Prefix) const;
  /// The URI this element itself declares for Prefix; empty when it declares none.
  std::optional<std::string_view> OwnDeclaration(std::string_view Prefix) const;

 private:
  friend class XmlWriter;

  XmlElement(XmlWriter* Writer, size_t Level, uint64_t Id)
      : writer_(Writer), level_(Level), id_(Id) {}
  XmlWriter* writer_;
  size_t level_;
  uint64_t id_;
};

/// Writes an XML document front to back in the layout of the GPX files: the declaration with
/// version "1.0" and encoding "UTF-8", then one element per line indented by two blanks per
/// level, LF line ends, text-only elements on one line, empty elements in empty-element form
/// ("<trkseg />"). Nothing is kept but the open elements, so a document of any size costs
/// little memory; the text goes to a sink in chunks of about a megabyte.
class XmlWriter {
 public:
  /// Receives the text in order; what it raises passes to the caller of the writer.
  using Sink = std::function<void(std::string_view)>;

  /// A writer that hands its text to Sink, or keeps it all (see Text) when Sink is empty.
  explicit XmlWriter(Sink Sink = nullptr);
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  /// Writes the declaration and starts the root element, declaring NamespaceURI as its
  /// default namespace ("xmlns"). Only once.
  XmlElement CreateRoot(std::string_view Name, std::string_view NamespaceURI);
  /// Closes every open element and hands the rest of the text to the sink.
  void Finish();
  /// The text kept so far when there is no sink.
  std::string_view Text() const { return out_; }

 private:
  friend class XmlElement;
  struct OpenElement {
    std::string_view Name;
    uint64_t Id;
    bool StartTagOpen; // "<name attrs" written; ">" or " />" still to come
    bool HasText;
    bool HasChildren;
    size_t FirstDeclaration; // index into declarations_
  };
  struct Declaration {
    std::string Prefix;
    std::string URI;
  };

  OpenElement& Check(const XmlElement& Element);
  void CloseBelow(size_t Level);
  void CloseLast();
  void EndStartTag(OpenElement& Open);
  void MaybeFlush();

  Sink sink_;
  std::string out_;
  std::vector<OpenElement> open_;
  std::vector<Declaration> declarations_;
  uint64_t nextId_ = 1;
  bool started_ = false;
};

/// Text with the control characters XML 1.0 cannot carry (all but tab, LF and CR) dropped and
/// every byte that starts no valid UTF-8 sequence of an XML character (broken sequences,
/// surrogates, U+FFFE, U+FFFF) replaced by U+FFFD.
std::string CleanXmlText(std::string_view Text);

/// Length of the valid UTF-8 sequence at S[i] if it encodes a character that XML 1.0 allows
/// (not a surrogate, U+FFFE, U+FFFF or a control character other than tab, LF and CR), else 0.
size_t XmlCharLength(std::string_view S, size_t i);

} // namespace tarnwick

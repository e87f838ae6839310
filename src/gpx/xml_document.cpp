#include "gpx/xml_document.hpp"

#include "support/errors.hpp"
#include "support/file_util.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <pugixml.hpp>

namespace tarnwick {

namespace {

pugi::xml_node Wrap(pugi::xml_node_struct* Node) {
  return pugi::xml_node(Node);
}

} // namespace

TXmlNode::TXmlNode(const pugi::xml_node& Node) : FNode(Node.internal_object()) {}

bool TXmlNode::IsElement() const {
  return FNode && Wrap(FNode).type() == pugi::node_element;
}

std::string_view TXmlNode::Name() const {
  return FNode ? Wrap(FNode).name() : "";
}

std::string_view TXmlNode::LocalName() const {
  const std::string_view name = Name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view TXmlNode::Prefix() const {
  const std::string_view name = Name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string TXmlNode::Text() const {
  std::string text;
  for (pugi::xml_node child = Wrap(FNode).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      text += child.value();
    } else if (child.type() == pugi::node_element) {
      throw EConvertError("element \"" + std::string(Name()) +
                          "\" holds elements where a value is expected" +
                          (Location().empty() ? "" : " (" + Location() + ")"));
    }
  }
  return text;
}

std::string_view TXmlNode::Attribute(const char* Name) const {
  return FNode ? Wrap(FNode).attribute(Name).value() : "";
}

bool TXmlNode::HasNamespaceDeclarations() const {
  for (pugi::xml_attribute a = Wrap(FNode).first_attribute(); a; a = a.next_attribute()) {
    if (std::strncmp(a.name(), "xmlns", 5) == 0) {
      return true;
    }
  }
  return false;
}

bool TXmlNode::SameNamespaceAs(TXmlNode Other) const {
  // The common case needs no lookup: same prefix and no declarations of its own.
  if (Prefix() == Other.Prefix() && !HasNamespaceDeclarations()) {
    return true;
  }
  return NamespaceURI() == Other.NamespaceURI();
}

TXmlNode TXmlNode::FindChild(std::string_view LocalName) const {
  if (!FNode) {
    return {};
  }
  const std::string_view prefix = Prefix();
  for (pugi::xml_node child = Wrap(FNode).first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) {
      continue;
    }
    const std::string_view name = child.name();
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos ? name != LocalName : name.substr(colon + 1) != LocalName) {
      continue;
    }
    TXmlNode c(child);
    c.FSource = FSource;
    const std::string_view childPrefix =
        colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    // The common case needs no lookup: same prefix and no declarations of its own.
    if ((childPrefix == prefix && !c.HasNamespaceDeclarations()) || c.SameNamespaceAs(*this)) {
      return c;
    }
  }
  return {};
}

TXmlNode TXmlNode::FindChildByQName(std::string_view QName) const {
  if (!FNode) {
    return {};
  }
  for (pugi::xml_node child = Wrap(FNode).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && QName == child.name()) {
      TXmlNode c(child);
      c.FSource = FSource;
      return c;
    }
  }
  return {};
}

std::string TXmlNode::ChildText(std::string_view LocalName) const {
  const TXmlNode child = FindChild(LocalName);
  return child ? child.Text() : std::string();
}

TXmlNode TXmlNode::FirstChild() const {
  if (!FNode) {
    return {};
  }
  TXmlNode c(Wrap(FNode).first_child());
  c.FSource = FSource;
  return c;
}

TXmlNode TXmlNode::NextSibling() const {
  if (!FNode) {
    return {};
  }
  TXmlNode c(Wrap(FNode).next_sibling());
  c.FSource = FSource;
  return c;
}

size_t TXmlNode::ChildCount() const {
  size_t n = 0;
  for (pugi::xml_node child = Wrap(FNode).first_child(); child; child = child.next_sibling()) {
    ++n;
  }
  return n;
}

bool TXmlNode::HasChildElements() const {
  for (pugi::xml_node child = Wrap(FNode).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) {
      return true;
    }
  }
  return false;
}

std::optional<std::string_view> TXmlNode::LookupNamespaceURI(std::string_view Prefix) const {
  if (Prefix == "xml") {
    return kXmlNamespaceURI;
  }
  const std::string attrName = Prefix.empty() ? "xmlns" : "xmlns:" + std::string(Prefix);
  for (pugi::xml_node n = Wrap(FNode); n && n.type() == pugi::node_element; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(attrName.c_str())) {
      return std::string_view(a.value());
    }
  }
  return std::nullopt;
}

std::string_view TXmlNode::NamespaceURI() const {
  return LookupNamespaceURI(Prefix()).value_or(std::string_view());
}

std::string TXmlNode::Location() const {
  if (!FNode || !FSource) {
    return {};
  }
  const ptrdiff_t offset = Wrap(FNode).offset_debug();
  if (offset < 0 || static_cast<size_t>(offset) > FSource->size()) {
    return {};
  }
  const auto line = 1 + std::count(FSource->begin(), FSource->begin() + offset, '\n');
  return "line " + std::to_string(line);
}

TXmlDocument::TXmlDocument() : FDoc(std::make_unique<pugi::xml_document>()) {}

TXmlDocument::~TXmlDocument() = default;

TXmlNode TXmlDocument::Root() const {
  TXmlNode root(FDoc->document_element());
  root.FSource = FSource.get();
  return root;
}

void TXmlDocument::LoadFromString(std::string Text, const std::string& SourceName) {
  auto doc = std::make_unique<pugi::xml_document>();
  // Parsed in place: the text stays with the document, which saves a copy of a large file.
  auto source = std::make_unique<std::string>(std::move(Text));
  const pugi::xml_parse_result result = doc->load_buffer_inplace(source->data(), source->size());
  if (!result) {
    const auto offset = static_cast<size_t>(
        std::clamp<ptrdiff_t>(result.offset, 0, static_cast<ptrdiff_t>(source->size())));
    const auto line =
        1 + std::count(source->begin(), source->begin() + static_cast<ptrdiff_t>(offset), '\n');
    throw EConvertError(SourceName + " is not well-formed XML: " + result.description() +
                        " (line " + std::to_string(line) + ")");
  }
  // pugixml takes several top-level elements or text beside the root; XML does not.
  int elements = 0;
  for (pugi::xml_node n = doc->first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) {
      ++elements;
    } else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
      elements = 2;
    }
  }
  if (elements != 1) {
    throw EConvertError(SourceName + " is not well-formed XML: " +
                        (elements == 0 ? "no root element" : "more than one root element"));
  }
  FDoc = std::move(doc);
  FSource = std::move(source);
}

void TXmlDocument::LoadFromFile(const std::string& FileName) {
  const std::optional<std::string> text = ReadWholeFile(FileName, MaxFileSize);
  if (!text) {
    throw EFileError::Open(FileName, ENOENT);
  }
  LoadFromString(*text, FileName);
}

} // namespace tarnwick

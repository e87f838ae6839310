#include "gpx/xml_writer.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace tarnwick {

namespace {

// Text goes to the sink once this much has gathered.
constexpr size_t kChunkSize = 1u << 20;

// For each byte: 0 when it stands for itself, 1 when it needs a reference in text and in
// attributes, 2 in attributes only, 3 when the text must be cleaned first.
constexpr auto kByteClass = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[static_cast<size_t>(c)] = c >= 0x80 || c < 0x20 ? 3 : 0;
  }
  for (const char c : {'&', '<', '>', '\r'}) {
    table[static_cast<unsigned char>(c)] = 1;
  }
  for (const char c : {'"', '\n', '\t'}) {
    table[static_cast<unsigned char>(c)] = 2;
  }
  return table;
}();

const char* Reference(char C) {
  switch (C) {
  case '&':
    return "&amp;";
  case '<':
    return "&lt;";
  case '>':
    return "&gt;";
  case '"':
    return "&quot;";
  case '\r':
    return "&#13;";
  case '\n':
    return "&#10;";
  default:
    return "&#9;";
  }
}

// Appends Text escaped for element content or (Attribute) a quoted attribute value. Line
// breaks and tabs in attributes become character references, which survive the blank
// normalisation that readers apply to attribute values; CR does so in text as well.
void AppendEscaped(TTextBuffer& Out, std::string_view Text, bool Attribute) {
  size_t start = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    const uint8_t cls = kByteClass[static_cast<unsigned char>(Text[i])];
    if (cls == 0 || (cls == 2 && !Attribute)) {
      continue;
    }
    if (cls == 3) {
      if (const size_t len = XmlCharLength(Text, i); len > 0) {
        i += len - 1; // a character XML carries as it is
        continue;
      }
      // Cleaned, the rest holds only characters that XML carries.
      Out.Append(Text.substr(start, i - start));
      AppendEscaped(Out, CleanXmlText(Text.substr(i)), Attribute);
      return;
    }
    Out.Append(Text.substr(start, i - start));
    Out += Reference(Text[i]);
    start = i + 1;
  }
  Out.Append(Text.substr(start));
}

void AppendIndent(TTextBuffer& Out, size_t Level) {
  Out.Append(2 * Level, ' ');
}

} // namespace

size_t XmlCharLength(std::string_view S, size_t i) {
  const auto c = static_cast<unsigned char>(S[i]);
  if (c < 0x80) {
    return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
  }
  size_t len = 0;
  uint32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0Fu;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07u;
  } else {
    return 0;
  }
  if (i + len > S.size()) {
    return 0;
  }
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(S[i + k]);
    if ((b & 0xC0) != 0x80) {
      return 0;
    }
    cp = cp << 6 | (b & 0x3Fu);
  }
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  const bool bad = cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF;
  return overlong || bad ? 0 : len;
}

std::string CleanXmlText(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  size_t i = 0;
  while (i < Text.size()) {
    const size_t len = XmlCharLength(Text, i);
    if (len > 0) {
      out.append(Text.substr(i, len));
      i += len;
      continue;
    }
    if (static_cast<unsigned char>(Text[i]) >= 0x80) {
      out += "\xEF\xBF\xBD"; // U+FFFD for each byte that starts no valid sequence
    }
    ++i;
  }
  return out;
}

void TTextBuffer::Grow(size_t Extra) {
  const size_t capacity = std::max(FSize + Extra, FCapacity * 2 + 4096);
  auto data = std::make_unique<char[]>(capacity);
  // The first growth has no old data, and memcpy must not be handed a null pointer.
  if (FSize > 0) {
    std::memcpy(data.get(), FData.get(), FSize);
  }
  FData = std::move(data);
  FCapacity = capacity;
}

TXmlWriter::TXmlWriter(TSink Sink) : FSink(std::move(Sink)) {
  FOpen.reserve(16);
  if (FSink) {
    FOut.Reserve(kChunkSize + 4096);
  }
}

TXmlElement TXmlWriter::CreateRoot(std::string_view Name, std::string_view NamespaceURI) {
  if (FStarted) {
    throw std::logic_error("an XML document has one root element");
  }
  FStarted = true;
  FOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
  FOut += Name;
  FOpen.push_back({Name, FNextId++, true, false, false, FDeclarations.size()});
  TXmlElement root(this, 0, FOpen.back().Id);
  root.SetAttribute("xmlns", NamespaceURI);
  return root;
}

TXmlWriter::ROpen& TXmlWriter::Check(const TXmlElement& Element) {
  if (Element.FLevel >= FOpen.size() || FOpen[Element.FLevel].Id != Element.FId) {
    throw std::logic_error("the XML element was closed already");
  }
  return FOpen[Element.FLevel];
}

void TXmlWriter::EndStartTag(ROpen& Open) {
  if (Open.StartTagOpen) {
    FOut += '>';
    Open.StartTagOpen = false;
  }
}

void TXmlWriter::CloseLast() {
  ROpen& open = FOpen.back();
  if (open.StartTagOpen) {
    FOut += " />\n";
  } else if (open.HasText) {
    FOut += "</";
    FOut += open.Name;
    FOut += ">\n";
  } else {
    AppendIndent(FOut, FOpen.size() - 1);
    FOut += "</";
    FOut += open.Name;
    FOut += ">\n";
  }
  FDeclarations.resize(open.FirstDeclaration);
  FOpen.pop_back();
}

void TXmlWriter::CloseBelow(size_t Level) {
  while (FOpen.size() > Level + 1) {
    CloseLast();
  }
  MaybeFlush();
}

void TXmlWriter::MaybeFlush() {
  if (FSink && FOut.Size() >= kChunkSize) {
    FSink(FOut.View());
    FOut.Clear();
  }
}

void TXmlWriter::Finish() {
  if (!FOpen.empty()) {
    CloseBelow(0);
    CloseLast();
  }
  if (FSink && FOut.Size() > 0) {
    FSink(FOut.View());
    FOut.Clear();
  }
}

TXmlElement TXmlElement::AddChild(std::string_view Name) {
  TXmlWriter::ROpen& open = FWriter->Check(*this);
  FWriter->CloseBelow(FLevel);
  if (open.HasText) {
    throw std::logic_error("an XML element with text cannot take child elements");
  }
  FWriter->EndStartTag(open);
  if (!open.HasChildren) {
    FWriter->FOut += '\n';
    open.HasChildren = true;
  }
  TTextBuffer& out = FWriter->FOut;
  AppendIndent(out, FLevel + 1);
  out += '<';
  out += Name;
  const uint64_t id = FWriter->FNextId++;
  FWriter->FOpen.push_back({Name, id, true, false, false, FWriter->FDeclarations.size()});
  return TXmlElement(FWriter, FLevel + 1, id);
}

void TXmlElement::AddTextChild(std::string_view Name, std::string_view Text) {
  // The child is complete at once, so it is written without being entered as open.
  TXmlWriter::ROpen& open = FWriter->Check(*this);
  FWriter->CloseBelow(FLevel);
  if (open.HasText) {
    throw std::logic_error("an XML element with text cannot take child elements");
  }
  FWriter->EndStartTag(open);
  TTextBuffer& out = FWriter->FOut;
  if (!open.HasChildren) {
    out += '\n';
    open.HasChildren = true;
  }
  AppendIndent(out, FLevel + 1);
  out += '<';
  out += Name;
  out += '>';
  AppendEscaped(out, Text, false);
  out += "</";
  out += Name;
  out += ">\n";
}

void TXmlElement::SetAttribute(std::string_view Name, std::string_view Value) {
  TXmlWriter::ROpen& open = FWriter->Check(*this);
  if (!open.StartTagOpen || FLevel + 1 != FWriter->FOpen.size()) {
    throw std::logic_error("XML attributes must come before the element's content");
  }
  TTextBuffer& out = FWriter->FOut;
  out += ' ';
  out += Name;
  out += "=\"";
  AppendEscaped(out, Value, true);
  out += '"';
  if (Name == "xmlns" || Name.substr(0, 6) == "xmlns:") {
    FWriter->FDeclarations.push_back(
        {std::string(Name.substr(Name.size() > 5 ? 6 : 5)), std::string(Value)});
  }
}

void TXmlElement::DeclarePrefix(std::string_view Prefix, std::string_view URI) {
  const std::string name = "xmlns:" + std::string(Prefix);
  SetAttribute(name, URI);
}

void TXmlElement::SetText(std::string_view Text) {
  TXmlWriter::ROpen& open = FWriter->Check(*this);
  if (!open.StartTagOpen || FLevel + 1 != FWriter->FOpen.size()) {
    throw std::logic_error("an XML element gets its text once, instead of other content");
  }
  FWriter->EndStartTag(open);
  AppendEscaped(FWriter->FOut, Text, false);
  open.HasText = true;
}

std::optional<std::string_view> TXmlElement::LookupNamespaceURI(std::string_view Prefix) const {
  FWriter->Check(*this);
  const size_t end = FLevel + 1 < FWriter->FOpen.size()
                         ? FWriter->FOpen[FLevel + 1].FirstDeclaration
                         : FWriter->FDeclarations.size();
  for (size_t i = end; i-- > 0;) {
    if (FWriter->FDeclarations[i].Prefix == Prefix) {
      return std::string_view(FWriter->FDeclarations[i].URI);
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> TXmlElement::OwnDeclaration(std::string_view Prefix) const {
  const TXmlWriter::ROpen& open = FWriter->Check(*this);
  const size_t end = FLevel + 1 < FWriter->FOpen.size()
                         ? FWriter->FOpen[FLevel + 1].FirstDeclaration
                         : FWriter->FDeclarations.size();
  for (size_t i = open.FirstDeclaration; i < end; ++i) {
    if (FWriter->FDeclarations[i].Prefix == Prefix) {
      return std::string_view(FWriter->FDeclarations[i].URI);
    }
  }
  return std::nullopt;
}

} // namespace tarnwick

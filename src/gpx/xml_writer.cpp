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
void AppendEscaped(std::string& Out, std::string_view Text, bool Attribute) {
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
      Out.append(Text.substr(start, i - start));
      AppendEscaped(Out, CleanXmlText(Text.substr(i)), Attribute);
      return;
    }
    Out.append(Text.substr(start, i - start));
    Out += Reference(Text[i]);
    start = i + 1;
  }
  Out.append(Text.substr(start));
}

void AppendIndent(std::string& Out, size_t Level) {
  Out.append(2 * Level, ' ');
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

XmlWriter::XmlWriter(Sink Sink) : sink_(std::move(Sink)) {
  open_.reserve(16);
  if (sink_) {
    out_.reserve(kChunkSize + 4096);
  }
}

XmlElement XmlWriter::CreateRoot(std::string_view Name, std::string_view NamespaceURI) {
  if (started_) {
    throw std::logic_error("an XML document has one root element");
  }
  started_ = true;
  out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
  out_ += Name;
  open_.push_back({Name, nextId_++, true, false, false, declarations_.size()});
  XmlElement root(this, 0, open_.back().Id);
  root.SetAttribute("xmlns", NamespaceURI);
  return root;
}

XmlWriter::OpenElement& XmlWriter::Check(const XmlElement& Element) {
  if (Element.level_ >= open_.size() || open_[Element.level_].Id != Element.id_) {
    throw std::logic_error("the XML element was closed already");
  }
  return open_[Element.level_];
}

void XmlWriter::EndStartTag(OpenElement& Open) {
  if (Open.StartTagOpen) {
    out_ += '>';
    Open.StartTagOpen = false;
  }
}

void XmlWriter::CloseLast() {
  OpenElement& open = open_.back();
  if (open.StartTagOpen) {
    out_ += " />\n";
  } else if (open.HasText) {
    out_ += "</";
    out_ += open.Name;
    out_ += ">\n";
  } else {
    AppendIndent(out_, open_.size() - 1);
    out_ += "</";
    out_ += open.Name;
    out_ += ">\n";
  }
  declarations_.resize(open.FirstDeclaration);
  open_.pop_back();
}

void XmlWriter::CloseBelow(size_t Level) {
  while (open_.size() > Level + 1) {
    CloseLast();
  }
  MaybeFlush();
}

void XmlWriter::MaybeFlush() {
  if (sink_ && out_.size() >= kChunkSize) {
    sink_(out_);
    out_.clear();
  }
}

void XmlWriter::Finish() {
  if (!open_.empty()) {
    CloseBelow(0);
    CloseLast();
  }
  if (sink_ && out_.size() > 0) {
    sink_(out_);
    out_.clear();
  }
}

XmlElement XmlElement::AddChild(std::string_view Name) {
  XmlWriter::OpenElement& open = writer_->Check(*this);
  writer_->CloseBelow(level_);
  if (open.HasText) {
    throw std::logic_error("an XML element with text cannot take child elements");
  }
  writer_->EndStartTag(open);
  if (!open.HasChildren) {
    writer_->out_ += '\n';
    open.HasChildren = true;
  }
  std::string& out = writer_->out_;
  AppendIndent(out, level_ + 1);
  out += '<';
  out += Name;
  const uint64_t id = writer_->nextId_++;
  writer_->open_.push_back({Name, id, true, false, false, writer_->declarations_.size()});
  return XmlElement(writer_, level_ + 1, id);
}

void XmlElement::AddTextChild(std::string_view Name, std::string_view Text) {
  // The child is complete at once, so it is written without being entered as open.
  XmlWriter::OpenElement& open = writer_->Check(*this);
  writer_->CloseBelow(level_);
  if (open.HasText) {
    throw std::logic_error("an XML element with text cannot take child elements");
  }
  writer_->EndStartTag(open);
  std::string& out = writer_->out_;
  if (!open.HasChildren) {
    out += '\n';
    open.HasChildren = true;
  }
  AppendIndent(out, level_ + 1);
  out += '<';
  out += Name;
  out += '>';
  AppendEscaped(out, Text, false);
  out += "</";
  out += Name;
  out += ">\n";
}

void XmlElement::SetAttribute(std::string_view Name, std::string_view Value) {
  XmlWriter::OpenElement& open = writer_->Check(*this);
  if (!open.StartTagOpen || level_ + 1 != writer_->open_.size()) {
    throw std::logic_error("XML attributes must come before the element's content");
  }
  std::string& out = writer_->out_;
  out += ' ';
  out += Name;
  out += "=\"";
  AppendEscaped(out, Value, true);
  out += '"';
  if (Name == "xmlns" || Name.substr(0, 6) == "xmlns:") {
    writer_->declarations_.push_back(
        {std::string(Name.substr(Name.size() > 5 ? 6 : 5)), std::string(Value)});
  }
}

void XmlElement::DeclarePrefix(std::string_view Prefix, std::string_view URI) {
  const std::string name = "xmlns:" + std::string(Prefix);
  SetAttribute(name, URI);
}

void XmlElement::SetText(std::string_view Text) {
  XmlWriter::OpenElement& open = writer_->Check(*this);
  if (!open.StartTagOpen || level_ + 1 != writer_->open_.size()) {
    throw std::logic_error("an XML element gets its text once, instead of other content");
  }
  writer_->EndStartTag(open);
  AppendEscaped(writer_->out_, Text, false);
  open.HasText = true;
}

std::optional<std::string_view> XmlElement::LookupNamespaceURI(std::string_view Prefix) const {
  writer_->Check(*this);
  const size_t end = level_ + 1 < writer_->open_.size()
                         ? writer_->open_[level_ + 1].FirstDeclaration
                         : writer_->declarations_.size();
  for (size_t i = end; i-- > 0;) {
    if (writer_->declarations_[i].Prefix == Prefix) {
      return std::string_view(writer_->declarations_[i].URI);
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> XmlElement::OwnDeclaration(std::string_view Prefix) const {
  const XmlWriter::OpenElement& open = writer_->Check(*this);
  const size_t end = level_ + 1 < writer_->open_.size()
                         ? writer_->open_[level_ + 1].FirstDeclaration
                         : writer_->declarations_.size();
  for (size_t i = open.FirstDeclaration; i < end; ++i) {
    if (writer_->declarations_[i].Prefix == Prefix) {
      return std::string_view(writer_->declarations_[i].URI);
    }
  }
  return std::nullopt;
}

} // namespace tarnwick

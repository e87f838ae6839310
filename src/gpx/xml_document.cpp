#include "gpx/xml_document.hpp"

#include "gpx/xml_encoding.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/memory_region.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <pugixml.hpp>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarnwick {

namespace {

constexpr std::string_view kXmlnsURI = "http://www.w3.org/2000/xmlns/";

// What the parse running on this thread may still allocate, and the region its memory comes
// from (null: malloc); null when nothing limits it.
struct Budget {
  size_t Left;
  MemoryRegion* Region = nullptr;
  bool Exceeded = false;
};
thread_local Budget* tlParseBudget = nullptr;

// Starts every block pugixml gets, so that freeing it knows where it came from: a block of a
// region goes with its region.
struct alignas(std::max_align_t) BlockHeader {
  bool InRegion;
};

void* BudgetedAllocate(size_t Size) {
  Budget* budget = tlParseBudget;
  if (budget) {
    if (Size > budget->Left) {
      budget->Exceeded = true;
      return nullptr; // pugixml reports this as running out of memory
    }
    budget->Left -= Size;
  }
  if (Size > SIZE_MAX - sizeof(BlockHeader)) {
    return nullptr;
  }
  const size_t total = sizeof(BlockHeader) + Size;
  void* block = budget && budget->Region ? budget->Region->Allocate(total) : nullptr;
  const bool inRegion = block != nullptr;
  block = inRegion ? block : std::malloc(total);
  if (block == nullptr) {
    return nullptr;
  }
  return new (block) BlockHeader{inRegion} + 1;
}

void BudgetedFree(void* Block) {
  if (Block == nullptr) {
    return;
  }
  BlockHeader* header = static_cast<BlockHeader*>(Block) - 1;
  if (!header->InRegion) {
    std::free(header);
  }
}

// pugixml allocates through these from now on: malloc and free, as its own are, or the region
// of the running parse, with the budget of that parse on top.
void InstallBudgetedAllocator() {
  static const bool installed = [] {
    pugi::set_memory_management_functions(BudgetedAllocate, BudgetedFree);
    return true;
  }();
  (void)installed;
}

class ParseBudget {
 public:
  ParseBudget(size_t Bytes, MemoryRegion* Region)
      : budget_{Bytes, Region && *Region ? Region : nullptr}, previous_(tlParseBudget) {
    tlParseBudget = &budget_;
  }
  ~ParseBudget() { tlParseBudget = previous_; }
  ParseBudget(const ParseBudget&) = delete;
  ParseBudget& operator=(const ParseBudget&) = delete;
  /// Whether an allocation was refused for the budget rather than by the system.
  bool Exceeded() const { return budget_.Exceeded; }

 private:
  Budget budget_;
  Budget* previous_;
};

// Files from this size on are read into a region of their own, with the document's nodes:
// touching the memory of a large file for the first time costs more than parsing it.
constexpr size_t kRegionFromBytes = size_t{1} << 20;
// The memory for nodes per byte of text the region holds: sound GPX files need two to four.
constexpr size_t kRegionNodesPerByte = 4;

pugi::xml_node Wrap(pugi::xml_node_struct* Node) {
  return pugi::xml_node(Node);
}

bool IsNameByte(char C) {
  const auto c = static_cast<unsigned char>(C);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':' || c >= 0x80;
}

bool IsXmlChar(uint32_t Cp) {
  return Cp == 0x9 || Cp == 0xA || Cp == 0xD || (Cp >= 0x20 && Cp <= 0xD7FF) ||
         (Cp >= 0xE000 && Cp <= 0xFFFD) || (Cp >= 0x10000 && Cp <= 0x10FFFF);
}

// A reference that cannot be decoded: what is wrong, and where in the text it begins.
struct ReferenceError {
  std::string Message;
  size_t At;
};

// Replaces the references in Raw by what they stand for, into Out (a buffer the caller
// reuses). The parser leaves them alone, so that a reference to an entity nobody defined can
// be told from "&amp;" spelling one. Returns what is wrong, if anything.
std::optional<ReferenceError> DecodeReferences(std::string_view Raw, std::string& Out) {
  Out.clear();
  size_t start = 0;
  for (size_t amp = Raw.find('&'); amp != std::string_view::npos; amp = Raw.find('&', start)) {
    Out.append(Raw.substr(start, amp - start));
    const bool character = amp + 1 < Raw.size() && Raw[amp + 1] == '#';
    size_t end = amp + (character ? 2 : 1);
    while (end < Raw.size() && end - amp < 64 &&
           (character ? std::isalnum(static_cast<unsigned char>(Raw[end])) != 0
                      : IsNameByte(Raw[end]))) {
      ++end;
    }
    const std::string_view name = Raw.substr(amp + 1, end - amp - 1);
    if (end >= Raw.size() || Raw[end] != ';' || name.empty()) {
      return ReferenceError{"\"&\" that begins no entity or character reference", amp};
    }
    start = end + 1;
    if (character) {
      const bool hex = name.size() > 1 && name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      uint32_t cp = 0;
      bool ok = !digits.empty();
      for (const char c : digits) {
        const int d = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
        ok = ok && d >= 0 && cp <= 0x10FFFF;
        cp = ok ? cp * (hex ? 16 : 10) + static_cast<uint32_t>(d) : cp;
      }
      if (!ok || !IsXmlChar(cp)) {
        return ReferenceError{"character reference \"&" + std::string(name) +
                                  ";\" to no character that XML allows",
                              amp};
      }
      AppendUtf8(Out, cp);
    } else if (name == "lt") {
      Out += '<';
    } else if (name == "gt") {
      Out += '>';
    } else if (name == "amp") {
      Out += '&';
    } else if (name == "apos") {
      Out += '\'';
    } else if (name == "quot") {
      Out += '"';
    } else {
      return ReferenceError{"undefined entity \"&" + std::string(name) +
                                ";\" (only XML's own entities are read, none declared in the file)",
                            amp};
    }
  }
  Out.append(Raw.substr(start));
  return std::nullopt;
}

// Whether Name is a name with at most one colon, neither first nor last.
bool IsQName(std::string_view Name) {
  const size_t colon = Name.find(':');
  return colon == std::string_view::npos || (colon > 0 && colon + 1 < Name.size() &&
                                             Name.find(':', colon + 1) == std::string_view::npos);
}

std::string_view PrefixOf(std::string_view Name) {
  const size_t colon = Name.find(':');
  return colon == std::string_view::npos ? std::string_view() : Name.substr(0, colon);
}

// Calls Visit with each node below the one it walks and the node's depth (1 for a child).
template <class Visitor>
class TreeWalker : public pugi::xml_tree_walker {
 public:
  explicit TreeWalker(Visitor& Visit) : visit_(Visit) {}
  bool for_each(pugi::xml_node& Node) override {
    visit_(Node, static_cast<size_t>(depth()) + 1);
    return true;
  }

 private:
  Visitor& visit_;
};

struct DeclKey {
  const void* Element;
  std::string_view Prefix;
  bool operator==(const DeclKey&) const = default;
};

struct DeclKeyHash {
  size_t operator()(const DeclKey& Key) const {
    return std::hash<std::string_view>()(Key.Prefix) ^
           (std::hash<const void*>()(Key.Element) * 0x9E3779B97F4A7C15ULL);
  }
};

} // namespace

/// The text a document was parsed from, its name, and an index of its namespace declarations
/// that answers a prefix lookup with one probe per ancestor.
class XmlDocumentState {
 public:
  /// The text, parsed in place: in one of the two below, or in the document's region.
  std::string_view Text;
  std::string OwnedText;
  std::unique_ptr<char[]> OwnedBytes;
  std::string SourceName;
  pugi::xml_node_struct* Root = nullptr;

  /// Checks what the parser lets through (references, "<" in attribute values, duplicate
  /// attributes, qualified names and their prefixes), decodes the references and indexes the
  /// namespace declarations. One pass over the document in document order.
  void Check();

  bool Declares(const pugi::xml_node_struct* Node) const {
    if (declaring_.empty()) {
      return false;
    }
    if (onlyDeclaring_) {
      return Node == onlyDeclaring_;
    }
    return declaring_.count(Node) != 0;
  }

  std::optional<std::string_view> Lookup(pugi::xml_node_struct* Node,
                                         std::string_view Prefix) const {
    if (Prefix == "xml") {
      return kXmlNamespaceURI;
    }
    if (declaring_.empty()) {
      return std::nullopt;
    }
    // The common file declares everything on its root, the ancestor of every element.
    if (onlyDeclaring_ == Root) {
      return Find(Root, Prefix);
    }
    for (pugi::xml_node n = Wrap(Node); n && n.type() == pugi::node_element; n = n.parent()) {
      if (Declares(n.internal_object())) {
        if (auto uri = Find(n.internal_object(), Prefix)) {
          return uri;
        }
      }
    }
    return std::nullopt;
  }

  bool DeclaresURI(std::string_view URI) const { return declaredURIs_.count(URI) != 0; }

  std::string Location(const char* Pointer) const {
    if (Pointer >= Text.data() && Pointer <= Text.data() + Text.size()) {
      return XmlLineLocation(SourceName, Text, static_cast<size_t>(Pointer - Text.data()));
    }
    return SourceName;
  }

  std::string Location(pugi::xml_node_struct* Node) const {
    const ptrdiff_t offset = Wrap(Node).offset_debug();
    if (offset < 0 || static_cast<size_t>(offset) > Text.size()) {
      return SourceName;
    }
    return XmlLineLocation(SourceName, Text, static_cast<size_t>(offset));
  }

 private:
  std::optional<std::string_view> Find(pugi::xml_node_struct* Element,
                                       std::string_view Prefix) const {
    const auto it = declarations_.find({Element, Prefix});
    if (it == declarations_.end()) {
      return std::nullopt;
    }
    return it->second;
  }

  [[noreturn]] void Fail(const std::string& Where, const std::string& What) const {
    throw ConvertError(Where + ": not well-formed XML: " + What);
  }

  std::unordered_set<const void*> declaring_;
  const void* onlyDeclaring_ = nullptr; // the declaring element while there is just one
  std::unordered_map<DeclKey, std::string_view, DeclKeyHash> declarations_;
  std::unordered_set<std::string_view> declaredURIs_;
};

void XmlDocumentState::Check() {
  // The bindings in scope, innermost last, and what each declaring element added.
  std::unordered_map<std::string_view, std::vector<std::string_view>> scope;
  std::vector<std::string_view> pushed;
  std::vector<std::pair<size_t, size_t>> marks; // depth of a declaring element, pushed before
  std::string decoded;
  std::vector<pugi::xml_attribute> attrs;
  std::vector<std::pair<std::string_view, std::string_view>> expanded;
  std::unordered_set<std::string_view> seen;
  std::unordered_set<std::string> seenExpanded;

  const auto bound = [&](std::string_view Prefix) -> std::optional<std::string_view> {
    if (Prefix == "xml") {
      return kXmlNamespaceURI;
    }
    const auto it = scope.find(Prefix);
    if (it == scope.end() || it->second.empty()) {
      return std::nullopt;
    }
    return it->second.back();
  };

  const auto declare = [&](pugi::xml_node_struct* Element, pugi::xml_attribute Attr,
                           std::string_view Prefix, std::string_view URI) {
    // The line is counted only for a message: counting it for every declaration would make
    // a file of many declarations take quadratic time.
    if (Prefix == "xmlns" || URI == kXmlnsURI) {
      Fail(Location(Attr.name()), "the prefix \"xmlns\" and its namespace cannot be declared");
    }
    if ((Prefix == "xml") != (URI == kXmlNamespaceURI)) {
      Fail(Location(Attr.name()), "the prefix \"xml\" belongs to its own namespace and no other");
    }
    if (!Prefix.empty() && URI.empty()) {
      Fail(Location(Attr.name()),
           "prefix \"" + std::string(Prefix) + "\" declared for an empty URI");
    }
    scope[Prefix].push_back(URI);
    pushed.push_back(Prefix);
    declarations_[{Element, Prefix}] = URI;
    if (declaring_.insert(Element).second) {
      onlyDeclaring_ = declaring_.size() == 1 ? Element : nullptr;
    }
    if (!URI.empty()) {
      declaredURIs_.insert(URI);
    }
  };

  // The attributes of one start tag: values, declarations, names and their prefixes.
  const auto checkAttributes = [&](pugi::xml_node Node, size_t Depth) {
    pugi::xml_node_struct* element = Node.internal_object();
    attrs.clear();
    const size_t mark = pushed.size();
    for (pugi::xml_attribute a = Node.first_attribute(); a; a = a.next_attribute()) {
      attrs.push_back(a);
      const char* raw = a.value();
      bool amp = false;
      for (const char* c = raw; *c; ++c) {
        if (*c == '<') {
          Fail(Location(c), "\"<\" in the value of attribute \"" + std::string(a.name()) + "\"");
        }
        amp = amp || *c == '&';
      }
      std::string_view value = raw;
      if (amp) {
        if (const auto error = DecodeReferences(value, decoded)) {
          Fail(Location(raw + error->At), error->Message);
        }
        a.set_value(decoded.data(), decoded.size());
        value = a.value();
      }
      const std::string_view attrName = a.name();
      if (!IsQName(attrName)) {
        Fail(Location(a.name()), "\"" + std::string(attrName) + "\" is no qualified name");
      }
      if (attrName.size() >= 5 && attrName.substr(0, 5) == "xmlns") {
        if (attrName.size() == 5) {
          declare(element, a, "", value);
        } else if (attrName[5] == ':') {
          declare(element, a, attrName.substr(6), value);
        }
      }
    }
    if (pushed.size() > mark) {
      marks.emplace_back(Depth, mark);
    }
    // The same name twice in one start tag; few attributes are compared pairwise.
    const auto duplicate = [&](const auto& Items, const auto& Key, auto& Set) -> int {
      if (Items.size() <= 16) {
        for (size_t i = 1; i < Items.size(); ++i) {
          for (size_t k = 0; k < i; ++k) {
            if (Key(Items[i]) == Key(Items[k])) {
              return static_cast<int>(i);
            }
          }
        }
        return -1;
      }
      Set.clear();
      Set.reserve(Items.size());
      for (size_t i = 0; i < Items.size(); ++i) {
        if (!Set.insert(Key(Items[i])).second) {
          return static_cast<int>(i);
        }
      }
      return -1;
    };
    const auto byName = [](const pugi::xml_attribute& a) { return std::string_view(a.name()); };
    if (const int dup = duplicate(attrs, byName, seen); dup >= 0) {
      const pugi::xml_attribute a = attrs[static_cast<size_t>(dup)];
      Fail(Location(a.name()), "attribute \"" + std::string(a.name()) + "\" given twice");
    }
    // Prefixed attributes: declared prefixes, and no two with one namespace and local name.
    expanded.clear();
    const pugi::xml_attribute* firstPrefixed = nullptr;
    for (const pugi::xml_attribute& a : attrs) {
      const std::string_view attrName = a.name();
      const std::string_view p = PrefixOf(attrName);
      if (p.empty() || p == "xmlns") {
        continue;
      }
      const auto uri = bound(p);
      if (!uri) {
        Fail(Location(a.name()), "the prefix \"" + std::string(p) + "\" of attribute \"" +
                                     std::string(attrName) + "\" is not declared");
      }
      expanded.emplace_back(*uri, attrName.substr(p.size() + 1));
      firstPrefixed = firstPrefixed ? firstPrefixed : &a;
    }
    if (expanded.size() > 1) {
      const auto byExpanded = [](const std::pair<std::string_view, std::string_view>& e) {
        return std::string(e.first) + '\0' + std::string(e.second);
      };
      if (duplicate(expanded, byExpanded, seenExpanded) >= 0) {
        Fail(Location(firstPrefixed->name()),
             "two attributes with one namespace and local name in one start tag");
      }
    }
  };

  const auto enterElement = [&](pugi::xml_node Node, size_t Depth) {
    // One look at the name finds its colons; most elements have no attribute to check.
    const char* name = Node.name();
    size_t length = 0;
    size_t colon = 0;
    int colons = 0;
    for (; name[length]; ++length) {
      if (name[length] == ':' && colons++ == 0) {
        colon = length;
      }
    }
    if (colons > 1 || (colons == 1 && (colon == 0 || colon + 1 == length))) {
      Fail(Location(Node.internal_object()), "\"" + std::string(name) + "\" is no qualified name");
    }
    if (Node.first_attribute()) {
      checkAttributes(Node, Depth);
    }
    if (colons == 1 && !bound(std::string_view(name, colon))) {
      Fail(Location(Node.internal_object()),
           "the prefix \"" + std::string(name, colon) + "\" of \"" + name + "\" is not declared");
    }
  };

  // Ends the scope of the declarations of elements at Depth or deeper.
  const auto leaveElements = [&](size_t Depth) {
    while (!marks.empty() && marks.back().first >= Depth) {
      while (pushed.size() > marks.back().second) {
        scope[pushed.back()].pop_back();
        pushed.pop_back();
      }
      marks.pop_back();
    }
  };

  const auto checkText = [&](pugi::xml_node Node) {
    const std::string_view value = Node.value();
    if (const size_t end = value.find("]]>"); end != std::string_view::npos) {
      Fail(Location(value.data() + end), "\"]]>\" in text");
    }
    if (value.find('&') != std::string_view::npos) {
      if (const auto error = DecodeReferences(value, decoded)) {
        Fail(Location(value.data() + error->At), error->Message);
      }
      Node.set_value(decoded.data(), decoded.size());
    }
  };

  // Most files hold neither a reference nor "]]>"; their texts need no look then.
  const bool textChecks =
      Text.find('&') != std::string_view::npos || Text.find("]]>") != std::string_view::npos;
  // pugixml walks the tree without recursion, so that deep nesting cannot overflow the stack,
  // and hands over each node's depth: an element's declarations go out of scope when the walk
  // comes back to its depth.
  const auto visit = [&](pugi::xml_node& Node, size_t Depth) {
    leaveElements(Depth);
    const pugi::xml_node_type type = Node.type();
    if (type == pugi::node_element) {
      enterElement(Node, Depth);
    } else if (textChecks && type == pugi::node_pcdata) {
      checkText(Node);
    }
  };
  pugi::xml_node root = Wrap(Root);
  enterElement(root, 0);
  TreeWalker<decltype(visit)> walker(visit);
  root.traverse(walker);
}

bool XmlNode::IsElement() const {
  return node_ && Wrap(node_).type() == pugi::node_element;
}

std::string_view XmlNode::Name() const {
  return node_ ? Wrap(node_).name() : "";
}

std::string_view XmlNode::LocalName() const {
  const std::string_view name = Name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view XmlNode::Prefix() const {
  if (!node_) {
    return {};
  }
  const char* name = Wrap(node_).name();
  for (size_t i = 0; name[i]; ++i) {
    if (name[i] == ':') {
      return std::string_view(name, i);
    }
  }
  return {};
}

std::string XmlNode::Text() const {
  std::string text;
  for (pugi::xml_node child = Wrap(node_).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      text += child.value();
    } else if (child.type() == pugi::node_element) {
      throw ConvertError(Location() + ": element \"" + std::string(Name()) +
                         "\" holds elements where a value is expected");
    }
  }
  return text;
}

std::string_view XmlNode::TextView(std::string& Scratch) const {
  const pugi::xml_node first = Wrap(node_).first_child();
  if (!first) {
    return {};
  }
  const pugi::xml_node_type type = first.type();
  if ((type == pugi::node_pcdata || type == pugi::node_cdata) && !first.next_sibling()) {
    return first.value();
  }
  Scratch = Text();
  return Scratch;
}

std::string_view XmlNode::Attribute(const char* Name) const {
  return node_ ? Wrap(node_).attribute(Name).value() : "";
}

bool XmlNode::HasNamespaceDeclarations() const {
  return node_ && doc_ && doc_->Declares(node_);
}

bool XmlNode::SameNamespaceAs(XmlNode Other) const {
  // The common case needs no lookup: a child with its parent's prefix that redeclares nothing.
  if (Wrap(node_).parent().internal_object() == Other.node_ && Prefix() == Other.Prefix() &&
      !HasNamespaceDeclarations()) {
    return true;
  }
  return NamespaceURI() == Other.NamespaceURI();
}

std::string_view XmlNode::LocalNameIn(XmlNode Parent) const {
  const pugi::xml_node node = Wrap(node_);
  if (!node_ || node.type() != pugi::node_element) {
    return {};
  }
  // Names are short: one loop finds the colon, without the library's string calls.
  const char* name = node.name();
  size_t length = 0;
  size_t colon = 0;
  for (; name[length]; ++length) {
    if (name[length] == ':' && colon == 0) {
      colon = length + 1;
    }
  }
  const std::string_view local(name + colon, length - colon);
  const std::string_view prefix(name, colon > 0 ? colon - 1 : 0);
  // The common case needs no lookup: a child with its parent's prefix that redeclares nothing.
  if (node.parent().internal_object() == Parent.node_ && prefix == Parent.Prefix() &&
      !HasNamespaceDeclarations()) {
    return local;
  }
  return NamespaceURI() == Parent.NamespaceURI() ? local : std::string_view();
}

XmlNode XmlNode::FindChild(std::string_view LocalName) const {
  if (!node_) {
    return {};
  }
  for (XmlNode child = FirstChild(); child; child = child.NextSibling()) {
    if (child.LocalNameIn(*this) == LocalName) {
      return child;
    }
  }
  return {};
}

XmlNode XmlNode::FindChildByQName(std::string_view QName) const {
  if (!node_) {
    return {};
  }
  for (pugi::xml_node child = Wrap(node_).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && QName == child.name()) {
      return XmlNode(child.internal_object(), doc_);
    }
  }
  return {};
}

std::string XmlNode::ChildText(std::string_view LocalName) const {
  const XmlNode child = FindChild(LocalName);
  return child ? child.Text() : std::string();
}

XmlNode XmlNode::FirstChild() const {
  if (!node_) {
    return {};
  }
  return XmlNode(Wrap(node_).first_child().internal_object(), doc_);
}

XmlNode XmlNode::NextSibling() const {
  if (!node_) {
    return {};
  }
  return XmlNode(Wrap(node_).next_sibling().internal_object(), doc_);
}

size_t XmlNode::ChildCount() const {
  size_t n = 0;
  for (pugi::xml_node child = Wrap(node_).first_child(); child; child = child.next_sibling()) {
    ++n;
  }
  return n;
}

bool XmlNode::HasChildElements() const {
  for (pugi::xml_node child = Wrap(node_).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) {
      return true;
    }
  }
  return false;
}

std::optional<std::string_view> XmlNode::LookupNamespaceURI(std::string_view Prefix) const {
  if (!node_ || !doc_) {
    return std::nullopt;
  }
  return doc_->Lookup(node_, Prefix);
}

std::string_view XmlNode::NamespaceURI() const {
  return LookupNamespaceURI(Prefix()).value_or(std::string_view());
}

std::string XmlNode::Location() const {
  if (!node_ || !doc_) {
    return {};
  }
  return doc_->Location(node_);
}

XmlDocument::XmlDocument() {
  InstallBudgetedAllocator();
  doc_ = std::make_unique<pugi::xml_document>();
}

XmlDocument::~XmlDocument() = default;

XmlNode XmlDocument::Root() const {
  return state_ ? XmlNode(state_->Root, state_.get()) : XmlNode();
}

bool XmlDocument::DeclaresNamespace(std::string_view URI) const {
  return state_ && state_->DeclaresURI(URI);
}

void XmlDocument::LoadFromString(std::string Text, const std::string& SourceName) {
  MemoryRegion noRegion;
  auto state = std::make_unique<XmlDocumentState>();
  state->SourceName = SourceName;
  state->OwnedText = DecodeXmlText(std::move(Text), SourceName);
  char* text = state->OwnedText.data();
  Parse(std::move(state), text, noRegion);
}

void XmlDocument::LoadFromFile(const std::string& FileName) {
  // Declared first, so that it goes after the nodes and the text it holds.
  MemoryRegion region;
  auto state = std::make_unique<XmlDocumentState>();
  state->SourceName = FileName;
  // Read without clearing the memory first; a large file straight into the region, where the
  // document's nodes follow it. The region holds the text and what the nodes of a sound file
  // take; more nodes take ordinary memory, up to the budget. Taking address space for the
  // whole budget would leave a process with a limit on it too little for the rest.
  char* bytes = nullptr;
  const auto room = [&](size_t Size, size_t Kept) {
    if (!region && Kept == 0 && Size >= kRegionFromBytes) {
      region = MemoryRegion(Size * (1 + kRegionNodesPerByte) + (size_t{1} << 20));
    }
    char* fresh = static_cast<char*>(region.Allocate(Size));
    std::unique_ptr<char[]> heap;
    if (fresh == nullptr) {
      heap = std::make_unique_for_overwrite<char[]>(Size);
      fresh = heap.get();
    }
    if (Kept > 0) {
      std::memcpy(fresh, bytes, Kept);
    }
    if (heap) {
      state->OwnedBytes = std::move(heap);
    }
    bytes = fresh;
    return fresh;
  };
  // A FIFO or a device would block or never end; only a regular file is read.
  const std::optional<size_t> size =
      ReadWholeFileInto(FileName, MaxFileSize, {.RegularOnly = true}, room);
  if (!size) {
    throw FileError::Open(FileName, ENOENT);
  }
  const std::string_view text =
      DecodeXmlTextInPlace(std::string_view(bytes, *size), state->OwnedText, FileName);
  char* parsed = state->OwnedText.data();
  if (text.data() == parsed) {
    state->OwnedBytes.reset(); // converted: the bytes are not needed any more
  } else {
    parsed = bytes + (text.data() - bytes);
  }
  Parse(std::move(state), parsed, region, text.size());
}

size_t XmlDocument::ParseBudgetFor(size_t TextSize) {
  return TextSize * MemoryPerByte + (size_t{1} << 20);
}

void XmlDocument::Parse(std::unique_ptr<XmlDocumentState> State, char* Text, MemoryRegion& Region,
                        std::optional<size_t> Size) {
  const std::string& sourceName = State->SourceName;
  State->Text = std::string_view(Text, Size ? *Size : State->OwnedText.size());
  auto doc = std::make_unique<pugi::xml_document>();
  ParseBudget budget(ParseBudgetFor(State->Text.size()), &Region);
  // References are left to Check, which refuses the ones XML does not define; the text stays
  // with the document, which saves a copy of a large file.
  constexpr unsigned options = pugi::parse_cdata | pugi::parse_wconv_attribute | pugi::parse_eol;
  const pugi::xml_parse_result result =
      doc->load_buffer_inplace(Text, State->Text.size(), options, pugi::encoding_utf8);
  if (result.status == pugi::status_out_of_memory) {
    if (!budget.Exceeded()) {
      throw std::bad_alloc();
    }
    throw ConvertError(sourceName + ": too many XML nodes for a file of its size (reading it " +
                       "would take more than " + std::to_string(MemoryPerByte) +
                       " times its size in memory)");
  }
  if (!result) {
    throw ConvertError(XmlLineLocation(sourceName, State->Text,
                                       static_cast<size_t>(std::max<ptrdiff_t>(result.offset, 0))) +
                       ": not well-formed XML: " + result.description());
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
    throw ConvertError(sourceName + ": not well-formed XML: " +
                       (elements == 0 ? "no root element" : "more than one root element"));
  }
  State->Root = doc->document_element().internal_object();
  State->Check();
  // The old nodes go before the region they may live in.
  doc_ = std::move(doc);
  state_ = std::move(State);
  region_ = std::move(Region);
}

} // namespace tarnwick

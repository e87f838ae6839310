#include "support/ver_info.hpp"

#include "support/errors.hpp"
#include "support/pe_version_resource.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <optional>
#include <utility>

namespace tarnwick {

namespace {

const char* const kNoVersionInfo = "バージョン情報が取得できません.";
const char* const kNoRootBlock = "ルートブロックが取得できません.";
constexpr size_t kFixedInfoSize = 52;
// wLength, wValueLength, wType.
constexpr size_t kNodeHeaderSize = 6;

uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

size_t Align4(size_t n) {
  return (n + 3) & ~size_t{3};
}

// One node of a version block (VS_VERSIONINFO, StringFileInfo, StringTable, String, VarFileInfo,
// Var): wLength, wValueLength, wType, a NUL-terminated UTF-16 key, the value and the children,
// value and children each starting on a 32-bit boundary counted from the start of the block.
// Every part lies inside the node, and the node inside its parent.
struct Node {
  size_t End = 0;
  size_t KeyAt = 0;
  size_t KeyUnits = 0; // UTF-16 units before the key's NUL
  size_t ValueAt = 0;
  size_t ValueBytes = 0;    // what of the value is inside the node
  uint16_t ValueLength = 0; // as stored: characters for a text value, bytes for a binary one
  bool Text = false;
  size_t ChildrenAt = 0;
};

std::optional<Node> ParseNode(std::span<const uint8_t> b, size_t at, size_t limit) {
  if (at > limit || limit - at < kNodeHeaderSize) {
    return std::nullopt;
  }
  const size_t length = Le16(b, at);
  if (length < kNodeHeaderSize || length > limit - at) {
    return std::nullopt;
  }
  Node n;
  n.End = at + length;
  n.ValueLength = Le16(b, at + 2);
  n.Text = Le16(b, at + 4) == 1;
  n.KeyAt = at + kNodeHeaderSize;
  size_t p = n.KeyAt;
  for (;; p += 2) {
    if (n.End - p < 2) {
      return std::nullopt; // the key runs out of the node
    }
    if (Le16(b, p) == 0) {
      break;
    }
  }
  n.KeyUnits = (p - n.KeyAt) / 2;
  n.ValueAt = std::min(Align4(p + 2), n.End);
  const size_t declared = n.Text ? size_t{n.ValueLength} * 2 : n.ValueLength;
  n.ValueBytes = std::min(declared, n.End - n.ValueAt);
  n.ChildrenAt = std::min(Align4(n.ValueAt + n.ValueBytes), n.End);
  return n;
}

// Keys compare without regard to ASCII case, as the platform's own query does ("040904b0"
// and "040904B0" are the same table).
bool KeyIs(std::span<const uint8_t> b, const Node& n, std::string_view Name) {
  if (n.KeyUnits != Name.size()) {
    return false;
  }
  const auto lower = [](uint32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (size_t i = 0; i < Name.size(); ++i) {
    if (lower(Le16(b, n.KeyAt + 2 * i)) != lower(static_cast<unsigned char>(Name[i]))) {
      return false;
    }
  }
  return true;
}

std::optional<Node> Child(std::span<const uint8_t> b, const Node& Parent, std::string_view Name) {
  for (size_t at = Parent.ChildrenAt; at < Parent.End;) {
    const std::optional<Node> child = ParseNode(b, at, Parent.End);
    if (!child) {
      return std::nullopt;
    }
    if (KeyIs(b, *child, Name)) {
      return child;
    }
    at = Align4(child->End);
  }
  return std::nullopt;
}

std::optional<Node> Root(std::span<const uint8_t> b) {
  std::optional<Node> root = ParseNode(b, 0, b.size());
  if (!root || !KeyIs(b, *root, "VS_VERSION_INFO")) {
    return std::nullopt;
  }
  return root;
}

// The node that SubBlock names, a path of keys separated by backslashes: "\" is the root
// (whose value is the fixed part), "\VarFileInfo\Translation" a value below it.
std::optional<Node> Query(std::span<const uint8_t> b, std::string_view SubBlock) {
  std::optional<Node> node = Root(b);
  while (node && !SubBlock.empty()) {
    const size_t slash = SubBlock.find('\\');
    const std::string_view key = SubBlock.substr(0, slash);
    SubBlock = slash == std::string_view::npos ? std::string_view() : SubBlock.substr(slash + 1);
    if (!key.empty()) {
      node = Child(b, *node, key);
    }
  }
  return node;
}

// A surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::vector<uint8_t> ResourceOf(const std::string& FileName) {
  std::optional<std::vector<uint8_t>> block = PeVersionResource::FromFile(FileName);
  if (!block) {
    throw EVerInfo(kNoVersionInfo);
  }
  return std::move(*block);
}

} // namespace

TVerInfo::TVerInfo(const std::string& FileName) : TVerInfo(FromBlock{}, ResourceOf(FileName)) {}

TVerInfo TVerInfo::FromFileImage(std::span<const uint8_t> Image) {
  std::optional<std::vector<uint8_t>> block = PeVersionResource::FromImage(Image);
  if (!block) {
    throw EVerInfo(kNoVersionInfo);
  }
  return TVerInfo(FromBlock{}, std::move(*block));
}

TVerInfo TVerInfo::FromVersionBlock(std::vector<uint8_t> Block) {
  return TVerInfo(FromBlock{}, std::move(Block));
}

TVerInfo::TVerInfo(FromBlock, std::vector<uint8_t> Block) : pVerInfo(std::move(Block)) {
  const std::optional<Node> root = Root(pVerInfo);
  if (!root) {
    throw EVerInfo(kNoVersionInfo);
  }
  // The resource may be padded beyond the block; queries see the block alone.
  pVerInfo.resize(root->End);
  const std::optional<Node> translation = Query(pVerInfo, "\\VarFileInfo\\Translation");
  if (!translation || translation->ValueBytes < 4) {
    throw EVerInfo(kNoVersionInfo);
  }
  LangId = HexStr(Le16(pVerInfo, translation->ValueAt), 4);
  CharSetId = HexStr(Le16(pVerInfo, translation->ValueAt + 2), 4);
}

std::string TVerInfo::StringValue(std::string_view Name) const {
  const std::optional<Node> value =
      Query(pVerInfo, "\\StringFileInfo\\" + LangId + CharSetId + "\\" + std::string(Name));
  if (!value) {
    throw EVerInfo(kNoVersionInfo);
  }
  // ValueBytes already holds the declared length, in characters or bytes, cut to the node.
  const size_t units = value->ValueBytes / 2;
  std::u16string text;
  for (size_t i = 0; i < units; ++i) {
    const char16_t c = Le16(pVerInfo, value->ValueAt + 2 * i);
    if (c == 0) {
      break;
    }
    text += c;
  }
  const auto blank = [](char16_t c) { return c <= u' '; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? Utf16ToUtf8(std::u16string_view(&*first, static_cast<size_t>(last - first)))
                      : std::string();
}

uint32_t TVerInfo::FixedField(size_t Offset) const {
  const std::optional<Node> root = Query(pVerInfo, "\\");
  if (!root || root->ValueBytes < kFixedInfoSize) {
    throw EVerInfo(kNoRootBlock);
  }
  const size_t at = root->ValueAt + Offset;
  return Le16(pVerInfo, at) | static_cast<uint32_t>(Le16(pVerInfo, at + 2)) << 16;
}

} // namespace tarnwick

#include "photos/image_data_check.hpp"

#include <algorithm>

namespace tarnwick {

namespace {

uint8_t Byte(std::string_view data, size_t pos) {
  return static_cast<uint8_t>(data[pos]);
}

uint32_t BigEndian16(std::string_view data, size_t pos) {
  return uint32_t{Byte(data, pos)} << 8 | Byte(data, pos + 1);
}

uint32_t BigEndian32(std::string_view data, size_t pos) {
  return BigEndian16(data, pos) << 16 | BigEndian16(data, pos + 2);
}

// The parts of a file a metadata write must keep: the segments or chunks in order, and (JPEG)
// the rest of the file from the first scan on.
struct Layout {
  std::vector<std::string_view> Kept;
  std::string_view Rest;
  std::string Problem;
};

Layout JpegLayout(std::string_view data) {
  Layout layout;
  if (data.size() < 4 || Byte(data, 0) != 0xFF || Byte(data, 1) != 0xD8) {
    layout.Problem = "no JPEG start marker";
    return layout;
  }
  size_t pos = 2;
  for (;;) {
    // Any number of 0xFF fill bytes may come before a marker.
    while (pos + 1 < data.size() && Byte(data, pos) == 0xFF && Byte(data, pos + 1) == 0xFF) {
      ++pos;
    }
    if (pos + 1 >= data.size() || Byte(data, pos) != 0xFF) {
      layout.Problem = "a JPEG segment ends before its image data";
      return layout;
    }
    const uint8_t marker = Byte(data, pos + 1);
    if (marker == 0xDA) { // start of scan: the compressed data and everything after it
      layout.Rest = data.substr(pos);
      return layout;
    }
    if (marker == 0xD9) {
      layout.Problem = "a JPEG without image data";
      return layout;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without a length
      layout.Kept.push_back(data.substr(pos, 2));
      pos += 2;
      continue;
    }
    if (pos + 4 > data.size()) {
      layout.Problem = "a JPEG segment ends before its image data";
      return layout;
    }
    const size_t length = BigEndian16(data, pos + 2);
    if (length < 2 || length > data.size() - pos - 2) {
      layout.Problem = "a JPEG segment longer than the file";
      return layout;
    }
    // APP1 (Exif, XMP), APP13 (IPTC) and comments are what a metadata write may change.
    if (marker != 0xE1 && marker != 0xED && marker != 0xFE) {
      layout.Kept.push_back(data.substr(pos, length + 2));
    }
    pos += length + 2;
  }
}

Layout PngLayout(std::string_view data) {
  static constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
  Layout layout;
  if (data.substr(0, kSignature.size()) != kSignature) {
    layout.Problem = "no PNG signature";
    return layout;
  }
  size_t pos = kSignature.size();
  bool ended = false;
  while (!ended) {
    if (data.size() - pos < 12) {
      layout.Problem = "a PNG chunk longer than the file";
      return layout;
    }
    const uint64_t length = BigEndian32(data, pos);
    if (length > data.size() - pos - 12) {
      layout.Problem = "a PNG chunk longer than the file";
      return layout;
    }
    const std::string_view type = data.substr(pos + 4, 4);
    ended = type == "IEND";
    if (type != "tEXt" && type != "zTXt" && type != "iTXt" && type != "eXIf") {
      layout.Kept.push_back(data.substr(pos, static_cast<size_t>(length) + 12));
    }
    pos += static_cast<size_t>(length) + 12;
  }
  layout.Rest = data.substr(pos); // whatever follows IEND is kept as it was
  return layout;
}

std::string CompareLayouts(const Layout& old, const Layout& now, const char* what) {
  if (!old.Problem.empty()) {
    return "the original: " + old.Problem;
  }
  if (!now.Problem.empty()) {
    return "the rewritten " + std::string(what) + ": " + now.Problem;
  }
  if (old.Kept.size() != now.Kept.size()) {
    return "the rewritten " + std::string(what) + " has " + std::to_string(now.Kept.size()) +
           " image parts instead of " + std::to_string(old.Kept.size());
  }
  for (size_t i = 0; i < old.Kept.size(); ++i) {
    if (old.Kept[i] != now.Kept[i]) {
      return "part " + std::to_string(i + 1) + " of the image data differs";
    }
  }
  if (old.Rest != now.Rest) {
    return "the compressed image data differs";
  }
  return {};
}

// The bytes of Block in Data, or why there are none.
bool BlockBytes(std::string_view data, const ImageBlock& block, std::string_view& out) {
  if (block.Offset > data.size() || block.Size > data.size() - block.Offset) {
    return false;
  }
  out = data.substr(static_cast<size_t>(block.Offset), static_cast<size_t>(block.Size));
  return true;
}

} // namespace

std::string CompareJpegImageData(std::string_view Old, std::string_view New) {
  return CompareLayouts(JpegLayout(Old), JpegLayout(New), "JPEG");
}

std::string ComparePngImageData(std::string_view Old, std::string_view New) {
  return CompareLayouts(PngLayout(Old), PngLayout(New), "PNG");
}

std::string CompareTiffImageData(std::string_view Old, const ImageBlocks& OldBlocks,
                                 std::string_view New, const ImageBlocks& NewBlocks) {
  auto sorted = [](ImageBlocks blocks) {
    std::sort(blocks.begin(), blocks.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return blocks;
  };
  const ImageBlocks old = sorted(OldBlocks);
  const ImageBlocks now = sorted(NewBlocks);
  size_t blocks = 0;
  for (const auto& [name, list] : old) {
    blocks += list.size();
  }
  if (blocks == 0) {
    return "no image data was found to check";
  }
  if (old.size() != now.size()) {
    return "the rewritten file has image data in " + std::to_string(now.size()) +
           " directories instead of " + std::to_string(old.size());
  }
  for (size_t d = 0; d < old.size(); ++d) {
    const auto& [name, oldList] = old[d];
    const auto& [newName, newList] = now[d];
    if (name != newName || oldList.size() != newList.size()) {
      return "the image data of " + name + " is laid out differently";
    }
    for (size_t i = 0; i < oldList.size(); ++i) {
      std::string_view a;
      std::string_view b;
      if (!BlockBytes(Old, oldList[i], a)) {
        return "the original's image data of " + name + " lies beyond its end";
      }
      if (!BlockBytes(New, newList[i], b)) {
        return "the rewritten image data of " + name + " lies beyond its end";
      }
      if (a != b) {
        return "block " + std::to_string(i + 1) + " of the image data of " + name + " differs";
      }
    }
  }
  return {};
}

} // namespace tarnwick

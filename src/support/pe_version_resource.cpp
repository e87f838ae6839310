#include "support/pe_version_resource.hpp"

#include "support/os_files.hpp"

#include <algorithm>
#include <array>

namespace tarnwick {

namespace {

constexpr uint32_t kRtVersion = 16;
// wLength of a version block is a 16-bit number.
constexpr uint32_t kMaxVersionBlock = 0xFFFF;
// High bit of a directory entry: the entry names a subdirectory (offset) or a string (name).
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr size_t kSectionHeaderSize = 40;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads byte ranges of a program file; a range not wholly inside the file is refused.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  virtual uint64_t Size() const = 0;
  // False when [Offset, Offset + Out.size()) is not inside the file or cannot be read.
  virtual bool Read(uint64_t Offset, std::span<uint8_t> Out) const = 0;

 protected:
  bool Inside(uint64_t Offset, uint64_t Length) const {
    return Offset <= Size() && Length <= Size() - Offset;
  }
};

class MemoryReader final : public ByteReader {
 public:
  explicit MemoryReader(std::span<const uint8_t> Bytes) : bytes_(Bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool Read(uint64_t Offset, std::span<uint8_t> Out) const override {
    if (!Inside(Offset, Out.size())) {
      return false;
    }
    std::copy_n(bytes_.begin() + static_cast<ptrdiff_t>(Offset), Out.size(), Out.begin());
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
};

class FileReader final : public ByteReader {
 public:
  FileReader(const FileHandle& File, uint64_t Size) : file_(File), size_(Size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t Offset, std::span<uint8_t> Out) const override {
    // An error, or the file shrank under us, is a range that cannot be read.
    return Inside(Offset, Out.size()) && !ReadAt(file_, Offset, Out);
  }

 private:
  const FileHandle& file_;
  uint64_t size_;
};

struct Section {
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawOffset = 0;
};

struct DirectoryEntry {
  uint32_t Name = 0;
  uint32_t Target = 0;
};

class PeWalker {
 public:
  explicit PeWalker(const ByteReader& File) : file_(File) {}

  std::optional<std::vector<uint8_t>> VersionResource() {
    if (!ReadHeaders()) {
      return std::nullopt;
    }
    // Type, name, language: the first two levels must lead to subdirectories, the third to
    // the data entry.
    std::optional<uint32_t> names;
    for (const DirectoryEntry& e : Entries(0)) {
      if ((e.Name & kHighBit) == 0 && e.Name == kRtVersion) {
        names = Subdirectory(e);
        break;
      }
    }
    if (!names) {
      return std::nullopt;
    }
    const std::optional<uint32_t> languages = FirstSubdirectory(*names);
    if (!languages) {
      return std::nullopt;
    }
    const std::vector<DirectoryEntry> entries = Entries(*languages);
    if (entries.empty() || (entries.front().Target & kHighBit) != 0) {
      return std::nullopt;
    }
    return Data(entries.front().Target);
  }

 private:
  bool ReadHeaders() {
    std::array<uint8_t, 64> dos{};
    if (!file_.Read(0, dos) || dos[0] != 'M' || dos[1] != 'Z') {
      return false;
    }
    const uint64_t pe = Le32(&dos[0x3C]);
    std::array<uint8_t, 24> coff{};
    if (!file_.Read(pe, coff) || coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) {
      return false;
    }
    const uint16_t sectionCount = Le16(&coff[6]);
    const uint16_t optionalSize = Le16(&coff[20]);
    std::vector<uint8_t> optional(optionalSize);
    if (optionalSize < 2 || !file_.Read(pe + coff.size(), optional)) {
      return false;
    }
    size_t countAt = 0;
    switch (Le16(optional.data())) {
    case kPe32Magic:
      countAt = 92;
      break;
    case kPe32PlusMagic:
      countAt = 108;
      break;
    default:
      return false;
    }
    const size_t entryAt = countAt + 4 + size_t{8} * kResourceDirectoryIndex;
    if (optional.size() < entryAt + 8 || Le32(&optional[countAt]) <= kResourceDirectoryIndex) {
      return false;
    }
    resourceRva_ = Le32(&optional[entryAt]);
    resourceSize_ = Le32(&optional[entryAt + 4]);
    if (resourceRva_ == 0 || resourceSize_ == 0) {
      return false;
    }

    std::vector<uint8_t> table(size_t{sectionCount} * kSectionHeaderSize);
    if (!file_.Read(pe + coff.size() + optionalSize, table)) {
      return false;
    }
    sections_.reserve(sectionCount);
    for (size_t i = 0; i < sectionCount; ++i) {
      const uint8_t* s = &table[i * kSectionHeaderSize];
      sections_.push_back({Le32(s + 12), Le32(s + 8), Le32(s + 16), Le32(s + 20)});
    }
    return true;
  }

  // File offset of the Size bytes at Rva, when all of them are stored in the file within one
  // section (the zero-filled tail of a section has no bytes in the file).
  std::optional<uint64_t> FileOffset(uint64_t Rva, uint64_t Size) const {
    for (const Section& s : sections_) {
      const uint64_t stored = s.VirtualSize == 0 ? s.RawSize : std::min(s.VirtualSize, s.RawSize);
      if (Rva >= s.VirtualAddress && Rva - s.VirtualAddress <= stored &&
          Size <= stored - (Rva - s.VirtualAddress)) {
        return uint64_t{s.RawOffset} + (Rva - s.VirtualAddress);
      }
    }
    return std::nullopt;
  }

  // Reads Out from Offset bytes into the resource directory, which must hold all of it.
  bool ReadResource(uint64_t Offset, std::span<uint8_t> Out) const {
    if (Offset > resourceSize_ || Out.size() > resourceSize_ - Offset) {
      return false;
    }
    const std::optional<uint64_t> at = FileOffset(uint64_t{resourceRva_} + Offset, Out.size());
    return at && file_.Read(*at, Out);
  }

  // The entries of the directory Offset bytes into the resource directory; none when it does
  // not fit or was visited before.
  std::vector<DirectoryEntry> Entries(uint32_t Offset) {
    if (std::find(visited_.begin(), visited_.end(), Offset) != visited_.end()) {
      return {};
    }
    visited_.push_back(Offset);
    std::array<uint8_t, kDirectoryHeaderSize> header{};
    if (!ReadResource(Offset, header)) {
      return {};
    }
    const size_t count = size_t{Le16(&header[12])} + Le16(&header[14]);
    std::vector<uint8_t> raw(count * kDirectoryEntrySize);
    if (!ReadResource(uint64_t{Offset} + kDirectoryHeaderSize, raw)) {
      return {};
    }
    std::vector<DirectoryEntry> entries(count);
    for (size_t i = 0; i < count; ++i) {
      entries[i] = {Le32(&raw[i * kDirectoryEntrySize]), Le32(&raw[i * kDirectoryEntrySize + 4])};
    }
    return entries;
  }

  static std::optional<uint32_t> Subdirectory(const DirectoryEntry& Entry) {
    if ((Entry.Target & kHighBit) == 0) {
      return std::nullopt;
    }
    return Entry.Target & ~kHighBit;
  }

  std::optional<uint32_t> FirstSubdirectory(uint32_t Offset) {
    const std::vector<DirectoryEntry> entries = Entries(Offset);
    if (entries.empty()) {
      return std::nullopt;
    }
    return Subdirectory(entries.front());
  }

  std::optional<std::vector<uint8_t>> Data(uint32_t EntryOffset) const {
    std::array<uint8_t, kDataEntrySize> entry{};
    if (!ReadResource(EntryOffset, entry)) {
      return std::nullopt;
    }
    // The data's place is an address in the image, not an offset in the resource directory.
    const uint32_t rva = Le32(&entry[0]);
    const uint32_t size = std::min(Le32(&entry[4]), kMaxVersionBlock);
    const std::optional<uint64_t> at = FileOffset(rva, size);
    std::vector<uint8_t> block(size);
    if (size == 0 || !at || !file_.Read(*at, block)) {
      return std::nullopt;
    }
    return block;
  }

  const ByteReader& file_;
  std::vector<Section> sections_;
  uint32_t resourceRva_ = 0;
  uint32_t resourceSize_ = 0;
  std::vector<uint32_t> visited_; // directories already read, by offset
};

} // namespace

std::optional<std::vector<uint8_t>> PeVersionResource::FromFile(const std::string& FileName) {
  // A FIFO is refused without waiting for a writer.
  const OpenedFile opened = OpenForReading(FileName, {.RegularOnly = true});
  if (opened.Error) {
    return std::nullopt;
  }
  const auto status = StatusOf(opened.File);
  if (!status || status.Value.Kind != FileKind::Regular) {
    return std::nullopt;
  }
  const FileReader reader(opened.File, status.Value.Size);
  return PeWalker(reader).VersionResource();
}

std::optional<std::vector<uint8_t>> PeVersionResource::FromImage(std::span<const uint8_t> Image) {
  const MemoryReader reader(Image);
  return PeWalker(reader).VersionResource();
}

} // namespace tarnwick

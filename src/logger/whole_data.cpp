#include "logger/whole_data.hpp"

#include "logger/point_records.hpp"
#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/ini_file.hpp"
#include "support/ini_line_editor.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cerrno>
#include <fmt/format.h>
#include <span>
#include <zlib.h>

namespace tarnwick {

namespace {

constexpr const char* kDumpStr = "DumpStr";
// The section that records which block file the status file was saved with; readers that do
// not know it ignore it.
constexpr const char* kBlockFileSection = "BlockFile";
constexpr const char* kLengthKey = "Length";
constexpr const char* kCrcKey = "CRC32";
// When the image was downloaded, in UTC; the year era "auto" counts from it.
constexpr const char* kDownloadSection = "Download";
constexpr const char* kDownloadTimeKey = "TimeUTC";
// A status file is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxStatusFileBytes = 16U << 20;
// A full memory is about two megabytes; a block file many times that size is not one.
constexpr size_t kMaxBlockFileBytes = 256U << 20;

std::string DumpStr(std::span<const uint8_t> bytes) {
  std::string s;
  for (auto b : bytes) {
    s += HexStr(b, 2);
  }
  return s;
}

// Pairs of hexadecimal digits into Target, from its first byte; pairs beyond its size are
// ignored, an odd last character too. Bytes not given keep their value.
void ReadDumpStr(const IniFile& ini, const char* section, std::span<uint8_t> target,
                 const std::string& fileName) {
  const std::string text = ini.ReadString(section, kDumpStr, "");
  const size_t pairs = std::min(text.size() / 2, target.size());
  for (size_t i = 0; i < pairs; ++i) {
    const std::string pair = "$" + text.substr(i * 2, 2);
    const auto value = TryStrToInt(pair);
    if (!value) {
      throw ConvertError(fmt::format("'{}' is not a valid integer value (\"{}\", [{}] {})", pair,
                                     fileName, section, kDumpStr));
    }
    target[i] = static_cast<uint8_t>(*value);
  }
}

// Digits only, at most MaxDigits of them.
std::optional<uint64_t> DecimalValue(const std::string& text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  uint64_t v = 0;
  for (const char c : text) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (v > (UINT64_MAX - digit) / 10) {
      return std::nullopt;
    }
    v = v * 10 + digit;
  }
  return v;
}

// Hexadecimal digits only, either case; at most 16 of them.
std::optional<uint64_t> HexValue(const std::string& text) {
  if (text.empty() || text.size() > 16 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  uint64_t v = 0;
  for (const char c : text) {
    const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    v = v << 4 | static_cast<uint64_t>(digit);
  }
  return v;
}

} // namespace

std::string TIGotUWholeData::ChangeFileExt(const std::string& AFileName, const std::string& Ext) {
  const auto slash = AFileName.find_last_of('/');
  const auto dot = AFileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return AFileName + Ext;
  }
  return AFileName.substr(0, dot) + Ext;
}

std::string TIGotUWholeData::StatusText(const std::optional<std::string>& OldText,
                                        uint64_t BlockLength, uint32_t BlockCrc) const {
  IniLineEditor ini(OldText ? *OldText : std::string_view());
  const auto& model = Status.FModel;
  const auto& ident = Status.FIdent;
  const auto& count = Status.FCount;
  ini.Set("Model", kDumpStr, DumpStr(model.Data));
  ini.Set("Model", "ModelType", std::to_string(model.ModelType()));
  ini.Set("Ident", kDumpStr, DumpStr(ident.Data));
  ini.Set("Ident", "SerialNumber", std::to_string(ident.SerialNumber()));
  ini.Set("Ident", "MajorVersion", std::to_string(ident.MajorVersion()));
  ini.Set("Ident", "MinorVersion", std::to_string(ident.MinorVersion()));
  ini.Set("Ident", "ModelNumber", std::to_string(ident.ModelNumber()));
  ini.Set("Ident", "USBLibVersion", std::to_string(ident.USBLibVersion()));
  ini.Set("Count", kDumpStr, DumpStr(count.Data));
  ini.Set("Count", "Count", std::to_string(count.Count()));
  ini.Set(kBlockFileSection, kLengthKey, std::to_string(BlockLength));
  ini.Set(kBlockFileSection, kCrcKey, HexStr(BlockCrc, 8));
  // A file saved over keeps no download time of another image.
  if (downloadTime_) {
    ini.Set(kDownloadSection, kDownloadTimeKey, FormatIsoUtc(*downloadTime_));
  } else {
    ini.Remove(kDownloadSection, kDownloadTimeKey);
  }
  return ini.Text();
}

void TIGotUWholeData::CheckSaveTargets(const std::string& AFileName) {
  ReplacingFile::CheckTarget(StatusFileName(AFileName));
  ReplacingFile::CheckTarget(BlockFileName(AFileName));
}

void TIGotUWholeData::SaveToFile(const std::string& AFileName) const {
  const std::string datName = StatusFileName(AFileName);
  const std::string binName = BlockFileName(AFileName);
  CheckSaveTargets(AFileName);

  ReplacingFile dat(datName);
  // Read only now that the name is known to be a regular file, and never through a link put
  // there since: a private file's lines must not travel into this one.
  const std::optional<std::string> oldText =
      ReadWholeFile(datName, kMaxStatusFileBytes, {.RegularOnly = true, .NoFollow = true});

  ReplacingFile bin(binName);
  uLong crc = ::crc32_z(0, nullptr, 0);
  uint64_t length = 0;
  const auto put = [&](const uint8_t* data, size_t size) {
    bin.Write(data, size);
    crc = ::crc32_z(crc, data, size);
    length += size;
  };
  // The loader always takes the first 4096 bytes as the configuration block, so an image
  // whose block was never read stores zeros in its place.
  if (FConfigBlocks.empty()) {
    const std::vector<uint8_t> zeros(kBlockSize, 0);
    put(zeros.data(), zeros.size());
  } else {
    put(FConfigBlocks.data(), FConfigBlocks.size());
  }
  if (FBlocks && FBlocks->NumberOfBytes() > 0) {
    put(FBlocks->DataBuffer(), FBlocks->NumberOfBytes());
  }
  bin.Finish();

  const std::string text = StatusText(oldText, length, static_cast<uint32_t>(crc));
  dat.Write(text.data(), text.size());
  dat.Finish();

  // The status file names the block file it belongs to, so it goes last: a crash between the
  // two renames leaves an old status file whose record the new block file does not match.
  bin.CommitRevertibly();
  try {
    dat.Commit();
  } catch (...) {
    bin.Revert(); // the save's own error is the one to report
    throw;
  }
}

void TIGotUWholeData::LoadFromFile(const std::string& AFileName) {
  warnings_.clear();
  const std::string datName = StatusFileName(AFileName);
  const std::string binName = BlockFileName(AFileName);
  // A FIFO or a device in either file's place is refused instead of waited on.
  const auto text = ReadWholeFile(datName, kMaxStatusFileBytes, {.RegularOnly = true});
  const BlockFileRecord record = LoadStatusFromText(text ? *text : std::string_view(), datName);
  ResetBlocksForLoad(); // even when the block file then fails, as the memory loaded with it
  const auto blocks = ReadWholeFile(binName, kMaxBlockFileBytes, {.RegularOnly = true});
  if (!blocks) {
    throw FileError::Open(binName, ENOENT);
  }
  LoadBlocks(std::span(reinterpret_cast<const uint8_t*>(blocks->data()), blocks->size()), record,
             datName, binName);
}

TIGotUWholeData::BlockFileRecord TIGotUWholeData::LoadStatusFromText(std::string_view Text,
                                                                     const std::string& FileName) {
  IniFile ini;
  ini.LoadFromString(Text);
  ReadDumpStr(ini, "Model", Status.FModel.Data, FileName);
  ReadDumpStr(ini, "Ident", Status.FIdent.Data, FileName);
  ReadDumpStr(ini, "Count", Status.FCount.Data, FileName);
  statusSections_ = 0;
  for (const char* section : {"Model", "Ident", "Count"}) {
    statusSections_ += ini.HasSection(section) ? 1 : 0;
  }

  downloadTime_.reset();
  const std::string downloaded = ini.ReadString(kDownloadSection, kDownloadTimeKey, "");
  if (!downloaded.empty()) {
    downloadTime_ = TryParseIsoUtc(downloaded);
    if (!downloadTime_) {
      warnings_.push_back("\"" + FileName + "\" has a download time that cannot be read (\"" +
                          EscapeControls(downloaded.substr(0, 40)) +
                          "\"), so its years are read as recorded");
    }
  }

  BlockFileRecord record;
  const std::string length = ini.ReadString(kBlockFileSection, kLengthKey, "");
  const std::string crc = ini.ReadString(kBlockFileSection, kCrcKey, "");
  record.Present = !length.empty() || !crc.empty();
  if (record.Present) {
    const auto l = DecimalValue(length, 20);
    const auto c = crc.size() == 8 ? HexValue(crc) : std::nullopt;
    record.Readable = l.has_value() && c.has_value();
    record.Length = l.value_or(0);
    record.Crc = static_cast<uint32_t>(c.value_or(0));
  }
  return record;
}

void TIGotUWholeData::CheckBlockFile(const BlockFileRecord& Record, uint64_t Length,
                                     const std::optional<uint32_t>& Crc,
                                     const std::string& StatusName, const std::string& BlockName) {
  if (!Record.Present) {
    return; // saved before the record existed
  }
  if (!Record.Readable) {
    warnings_.push_back("\"" + StatusName + "\" has a [" + kBlockFileSection +
                        "] section that cannot be read, so \"" + BlockName +
                        "\" could not be checked against it");
    return;
  }
  const std::string head = "\"" + BlockName + "\" does not match \"" + StatusName +
                           "\" (the two come from different saves): ";
  if (Length != Record.Length) {
    warnings_.push_back(head + "the status file was saved with a block file of " +
                        std::to_string(Record.Length) + " bytes, this one has " +
                        std::to_string(Length));
  } else if (Crc && *Crc != Record.Crc) {
    warnings_.push_back(head + "its CRC-32 is " + HexStr(*Crc, 8) +
                        ", the status file was saved with one of " + HexStr(Record.Crc, 8));
  }
}

void TIGotUWholeData::ResetBlocksForLoad() {
  FConfigBlocks.resize(kBlockSize, 0);
  FBlocks =
      std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Status.NumberOfPoints()), kSlotSize);
}

void TIGotUWholeData::LoadFromMemory(std::string_view StatusText,
                                     std::span<const uint8_t> BlockFile,
                                     const std::string& SourceName) {
  warnings_.clear();
  const std::string datName = StatusFileName(SourceName);
  const BlockFileRecord record = LoadStatusFromText(StatusText, datName);
  ResetBlocksForLoad();
  LoadBlocks(BlockFile, record, datName, BlockFileName(SourceName));
}

void TIGotUWholeData::LoadBlocks(std::span<const uint8_t> BlockFile, const BlockFileRecord& Record,
                                 const std::string& StatusName, const std::string& BlockName) {
  const size_t config = std::min<size_t>(BlockFile.size(), FConfigBlocks.size());
  std::copy_n(BlockFile.begin(), config, FConfigBlocks.begin());
  const size_t slots = std::min<size_t>(BlockFile.size() - config, FBlocks->NumberOfBytes());
  if (slots > 0) {
    std::copy_n(BlockFile.begin() + static_cast<std::ptrdiff_t>(config), slots,
                FBlocks->DataBuffer());
  }
  CheckBlockFile(Record, BlockFile.size(),
                 static_cast<uint32_t>(::crc32_z(0, BlockFile.data(), BlockFile.size())),
                 StatusName, BlockName);
}

} // namespace tarnwick

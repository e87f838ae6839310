#include "logger/whole_data.hpp"

#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/ini_file.hpp"
#include "support/str_util.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <span>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr const char* kDumpStr = "DumpStr";
// A status file is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxStatusFileBytes = 16U << 20;

std::string DumpStr(std::span<const uint8_t> bytes) {
  std::string s;
  for (auto b : bytes) {
    s += HexStr(b, 2);
  }
  return s;
}

// Pairs of hexadecimal digits into Target, from its first byte; pairs beyond its size are
// ignored, an odd last character too. Bytes not given keep their value.
void ReadDumpStr(const TIniFile& ini, const char* section, std::span<uint8_t> target,
                 const std::string& fileName) {
  const std::string text = ini.ReadString(section, kDumpStr, "");
  const size_t pairs = std::min(text.size() / 2, target.size());
  for (size_t i = 0; i < pairs; ++i) {
    const std::string pair = "$" + text.substr(i * 2, 2);
    const auto value = TryStrToInt(pair);
    if (!value) {
      throw EConvertError("'" + pair + "' is not a valid integer value (\"" + fileName + "\", [" +
                          section + "] " + kDumpStr + ")");
    }
    target[i] = static_cast<uint8_t>(*value);
  }
}

// Reads up to Size bytes; fewer at the end of the file.
size_t ReadUpTo(int fd, uint8_t* dest, size_t size, const std::string& fileName) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, dest + done, size - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw EFileError::Read(fileName, errno);
    }
    if (n == 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
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

std::string TIGotUWholeData::StatusText(const std::optional<std::string>& OldText) const {
  TIniFile ini;
  if (OldText) {
    ini.LoadFromString(*OldText);
  }
  const auto& model = Status.FModel;
  const auto& ident = Status.FIdent;
  const auto& count = Status.FCount;
  ini.WriteString("Model", kDumpStr, DumpStr(model.Data));
  ini.WriteString("Model", "ModelType", std::to_string(model.ModelType()));
  ini.WriteString("Ident", kDumpStr, DumpStr(ident.Data));
  ini.WriteString("Ident", "SerialNumber", std::to_string(ident.SerialNumber()));
  ini.WriteString("Ident", "MajorVersion", std::to_string(ident.MajorVersion()));
  ini.WriteString("Ident", "MinorVersion", std::to_string(ident.MinorVersion()));
  ini.WriteString("Ident", "ModelNumber", std::to_string(ident.ModelNumber()));
  ini.WriteString("Ident", "USBLibVersion", std::to_string(ident.USBLibVersion()));
  ini.WriteString("Count", kDumpStr, DumpStr(count.Data));
  ini.WriteString("Count", "Count", std::to_string(count.Count()));
  return ini.SaveToString(/*CrLf=*/true);
}

void TIGotUWholeData::SaveToFile(const std::string& AFileName) const {
  const std::string datName = StatusFileName(AFileName);
  const std::string binName = BlockFileName(AFileName);

  const std::optional<std::string> oldText = ReadWholeFile(datName, kMaxStatusFileBytes);
  TReplacingFile dat(datName);
  const std::string text = StatusText(oldText);
  dat.Write(text.data(), text.size());
  dat.Finish();

  TReplacingFile bin(binName);
  // The loader always takes the first 4096 bytes as the configuration block, so an image
  // whose block was never read stores zeros in its place.
  if (FConfigBlocks.empty()) {
    const std::vector<uint8_t> zeros(kBlockSize, 0);
    bin.Write(zeros.data(), zeros.size());
  } else {
    bin.Write(FConfigBlocks.data(), FConfigBlocks.size());
  }
  if (FBlocks && FBlocks->NumberOfBytes() > 0) {
    bin.Write(FBlocks->DataBuffer(), FBlocks->NumberOfBytes());
  }
  bin.Finish();

  dat.Commit();
  try {
    bin.Commit();
  } catch (...) {
    // Put the old status file back so that the pair on disk still belongs together.
    try {
      if (oldText) {
        TReplacingFile restore(datName);
        restore.Write(oldText->data(), oldText->size());
        restore.Commit();
      } else {
        ::unlink(datName.c_str());
      }
    } catch (const Exception&) {
      // The save's own error is the one to report.
    }
    throw;
  }
}

void TIGotUWholeData::LoadFromFile(const std::string& AFileName) {
  LoadStatusFromFile(StatusFileName(AFileName));
  LoadBlocksFromFile(BlockFileName(AFileName));
}

void TIGotUWholeData::LoadStatusFromFile(const std::string& FileName) {
  const auto text = ReadWholeFile(FileName, kMaxStatusFileBytes);
  LoadStatusFromText(text ? *text : std::string_view(), FileName);
}

void TIGotUWholeData::LoadStatusFromText(std::string_view Text, const std::string& FileName) {
  TIniFile ini;
  ini.LoadFromString(Text);
  ReadDumpStr(ini, "Model", Status.FModel.Data, FileName);
  ReadDumpStr(ini, "Ident", Status.FIdent.Data, FileName);
  ReadDumpStr(ini, "Count", Status.FCount.Data, FileName);
}

void TIGotUWholeData::ResetBlocksForLoad() {
  FConfigBlocks.resize(kBlockSize, 0);
  FBlocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Status.NumberOfPoints()), 32);
}

void TIGotUWholeData::LoadFromMemory(std::string_view StatusText,
                                     std::span<const uint8_t> BlockFile,
                                     const std::string& SourceName) {
  LoadStatusFromText(StatusText, SourceName);
  ResetBlocksForLoad();
  const size_t config = std::min<size_t>(BlockFile.size(), FConfigBlocks.size());
  std::copy_n(BlockFile.begin(), config, FConfigBlocks.begin());
  const size_t slots = std::min<size_t>(BlockFile.size() - config, FBlocks->NumberOfBytes());
  if (slots > 0) {
    std::copy_n(BlockFile.begin() + static_cast<std::ptrdiff_t>(config), slots,
                FBlocks->DataBuffer());
  }
}

void TIGotUWholeData::LoadBlocksFromFile(const std::string& FileName) {
  ResetBlocksForLoad();

  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw EFileError::Open(FileName, errno);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  ReadUpTo(fd, FConfigBlocks.data(), FConfigBlocks.size(), FileName);
  if (FBlocks->NumberOfBytes() > 0) {
    ReadUpTo(fd, FBlocks->DataBuffer(), FBlocks->NumberOfBytes(), FileName);
  }
}

} // namespace tarnwick

#include "logger/whole_data.hpp"

#include "support/errors.hpp"
#include "support/file_util.hpp"
#include "support/ini_file.hpp"
#include "support/str_util.hpp"

#include <cerrno>
#include <fcntl.h>
#include <span>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr const char* kDumpStr = "DumpStr";

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
      throw EConvertError("'" + pair + "' is not a valid integer value (\"" + fileName +
                          "\", [" + section + "] " + kDumpStr + ")");
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

std::string TIGotUWholeData::StatusText(const std::string& DatFileName) const {
  TIniFile ini = TIniFile::LoadFromFile(DatFileName);
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

  TReplacingFile dat(datName);
  const std::string text = StatusText(datName);
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
  bin.Commit();
}

void TIGotUWholeData::LoadFromFile(const std::string& AFileName) {
  LoadStatusFromFile(StatusFileName(AFileName));
  LoadBlocksFromFile(BlockFileName(AFileName));
}

void TIGotUWholeData::LoadStatusFromFile(const std::string& FileName) {
  const TIniFile ini = TIniFile::LoadFromFile(FileName);
  ReadDumpStr(ini, "Model", Status.FModel.Data, FileName);
  ReadDumpStr(ini, "Ident", Status.FIdent.Data, FileName);
  ReadDumpStr(ini, "Count", Status.FCount.Data, FileName);
}

void TIGotUWholeData::LoadBlocksFromFile(const std::string& FileName) {
  FConfigBlocks.resize(kBlockSize, 0);
  FBlocks = std::make_unique<TIGotUSlotBlocks>(static_cast<uint16_t>(Status.NumberOfPoints()), 32);

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

#pragma once

#include "logger/slot_blocks.hpp"
#include "logger/status_data.hpp"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Everything kept of one logger: status, configuration block and point memory.
/// Saved as a pair of files with one base name: the status file ".dat" (INI text) and the
/// block file ".bin" (configuration block, then the point slots).
class TIGotUWholeData {
 public:
  /// The status record; all zero in a new image.
  RIGotUStatusData Status;

  /// Length of the configuration block: 4096, or 0 when it was never read.
  int ConfigLength() const { return static_cast<int>(FConfigBlocks.size()); }
  /// First configuration byte, or null when the block is empty.
  const uint8_t* ConfigBlockPtr() const {
    return FConfigBlocks.empty() ? nullptr : FConfigBlocks.data();
  }
  /// The configuration block itself, for the download to fill.
  std::vector<uint8_t>& ConfigBlock() { return FConfigBlocks; }

  /// The point memory, or null when the image has none.
  const TIGotUSlotBlocks* Blocks() const { return FBlocks.get(); }
  /// Replaces the point memory.
  void SetBlocks(std::unique_ptr<TIGotUSlotBlocks> Blocks) { FBlocks = std::move(Blocks); }
  /// Drops the point memory; status and configuration block stay.
  void ClearBlocks() { FBlocks.reset(); }

  /// Writes the pair for AFileName. Both files are written under temporary names and moved
  /// into place only when both are complete, so a failure (reported as EFileError) leaves the
  /// old pair as it was. Keys and sections of an existing status file are kept.
  void SaveToFile(const std::string& AFileName) const;
  /// Reads the pair for AFileName into this image. A missing status file, section or key
  /// leaves that part as it was; a missing block file raises EFileError; a short block file
  /// leaves the rest zero; a bad "DumpStr" raises EConvertError.
  void LoadFromFile(const std::string& AFileName);

  /// LoadFromFile from the two files' contents in memory: StatusText as the status file
  /// (empty: none) and BlockFile as the block file. Raises what LoadFromFile raises, naming
  /// SourceName.
  void LoadFromMemory(std::string_view StatusText, std::span<const uint8_t> BlockFile,
                      const std::string& SourceName);

  /// AFileName with its extension replaced by Ext (".dat"), or Ext appended when it has none.
  static std::string ChangeFileExt(const std::string& AFileName, const std::string& Ext);
  static std::string StatusFileName(const std::string& AFileName) {
    return ChangeFileExt(AFileName, ".dat");
  }
  static std::string BlockFileName(const std::string& AFileName) {
    return ChangeFileExt(AFileName, ".bin");
  }

 private:
  std::string StatusText(const std::optional<std::string>& OldText) const;
  void LoadStatusFromFile(const std::string& FileName);
  void LoadStatusFromText(std::string_view Text, const std::string& FileName);
  void LoadBlocksFromFile(const std::string& FileName);
  void ResetBlocksForLoad();

  std::vector<uint8_t> FConfigBlocks;
  std::unique_ptr<TIGotUSlotBlocks> FBlocks;
};

} // namespace tarnwick

#pragma once

#include "logger/slot_blocks.hpp"
#include "logger/status_data.hpp"
#include "support/date_time.hpp"

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

  /// When the image came from the logger (UTC), as the download recorded it; nothing for an
  /// image that does not say (saved before this was recorded, or by another program). The
  /// year era "auto" counts from it. Saved in a section of the status file that other readers
  /// ignore.
  const std::optional<DateTime>& DownloadTime() const { return downloadTime_; }
  void SetDownloadTime(std::optional<DateTime> Time) { downloadTime_ = Time; }

  /// How many of the status sections ([Model], [Ident], [Count]) the last load found; a file
  /// with none is no status file of a logger.
  int StatusSectionsLoaded() const { return statusSections_; }

  /// Writes the pair for AFileName. Both files are written under temporary names and moved
  /// into place only when both are complete, the block file first, so a failure (reported as
  /// FileError) leaves the old pair as it was. Every line of an existing status file that is
  /// not one of the keys written here is kept byte for byte; the new files keep the old ones'
  /// permissions. The status file records the block file's length and CRC-32 in a section of
  /// its own, so that a block file from another save is noticed when the pair is loaded.
  void SaveToFile(const std::string& AFileName) const;
  /// Raises FileError unless SaveToFile could write the pair for AFileName: the folder
  /// exists and is writable, and each file is absent or a regular file.
  static void CheckSaveTargets(const std::string& AFileName);
  /// Reads the pair for AFileName into this image. A missing status file, section or key
  /// leaves that part as it was; a missing block file, or either file not being a regular
  /// file, raises FileError; a short block file leaves the rest zero; a bad "DumpStr" raises
  /// ConvertError. A block file that does not match the one the status file was saved with
  /// loads with a warning (Warnings).
  void LoadFromFile(const std::string& AFileName);

  /// LoadFromFile from the two files' contents in memory: StatusText as the status file
  /// (empty: none) and BlockFile as the block file. Raises and warns as LoadFromFile does for
  /// the pair named by SourceName (its status and block file names).
  void LoadFromMemory(std::string_view StatusText, std::span<const uint8_t> BlockFile,
                      const std::string& SourceName);

  /// What the last load found doubtful but loaded anyway, one sentence each naming the files.
  const std::vector<std::string>& Warnings() const { return warnings_; }

  /// AFileName with its extension replaced by Ext (".dat"), or Ext appended when it has none.
  static std::string ChangeFileExt(const std::string& AFileName, const std::string& Ext);
  static std::string StatusFileName(const std::string& AFileName) {
    return ChangeFileExt(AFileName, ".dat");
  }
  static std::string BlockFileName(const std::string& AFileName) {
    return ChangeFileExt(AFileName, ".bin");
  }

  /// The status file's text for a block file of BlockLength bytes with CRC-32 BlockCrc: OldText
  /// (the file being replaced) with the program's keys set.
  std::string StatusText(const std::optional<std::string>& OldText, uint64_t BlockLength,
                         uint32_t BlockCrc) const;

 private:
  // The block file a status file was saved with.
  struct BlockFileRecord {
    bool Present = false;  // the status file has the section
    bool Readable = false; // and both values in it convert
    uint64_t Length = 0;
    uint32_t Crc = 0;
  };

  BlockFileRecord LoadStatusFromText(std::string_view Text, const std::string& FileName);
  // Fills configuration block and point memory, just reset, from a block file's content.
  void LoadBlocks(std::span<const uint8_t> BlockFile, const BlockFileRecord& Record,
                  const std::string& StatusName, const std::string& BlockName);
  void ResetBlocksForLoad();
  void CheckBlockFile(const BlockFileRecord& Record, uint64_t Length,
                      const std::optional<uint32_t>& Crc, const std::string& StatusName,
                      const std::string& BlockName);

  std::vector<uint8_t> FConfigBlocks;
  std::unique_ptr<TIGotUSlotBlocks> FBlocks;
  std::vector<std::string> warnings_;
  std::optional<DateTime> downloadTime_;
  int statusSections_ = 0;
};

} // namespace tarnwick

#pragma once

#include "device/debug_msg_intf.hpp"
#include "device/protocol.hpp"
#include "logger/slot_blocks.hpp"
#include "logger/status_data.hpp"
#include "logger/whole_data.hpp"
#include "support/progress.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

/// Address of the configuration block in logger memory.
inline constexpr uint32_t kConfigBlockAddress = 0x0000;
/// Address of the first point block; block i follows at 0x1000 x i past it.
inline constexpr uint32_t kPointMemoryAddress = 0x1000;

/// Logger operations over the protocol engine: mode switches, status, memory reads and the
/// whole download. Status texts go to the debug-message sink (or the debugger output without
/// one), stage texts of a download to the progress sink. Every operation blocks until the
/// logger answered or the engine gave up (see TIGotUProtocol::SendCommand for the times).
class TIGotUControl {
 public:
  /// A control over Protocol, which must outlive it; no sinks.
  explicit TIGotUControl(TIGotUProtocol& Protocol) : FIGotUProtocol(Protocol) {}

  /// The engine's port (null when none is bound).
  TIgotUPort* Port() const { return FIGotUProtocol.Port(); }
  /// The engine.
  TIGotUProtocol& Protocol() const { return FIGotUProtocol; }
  /// Progress sink; attached only while a download job runs.
  const std::shared_ptr<IProgressInterface>& Progress() const { return FProgress; }
  void SetProgress(std::shared_ptr<IProgressInterface> Value) { FProgress = std::move(Value); }
  /// Status-text sink.
  const std::shared_ptr<IIGotUDebugMsgIntf>& DebugMsgIntf() const { return FDebugMsgIntf; }
  void SetDebugMsgIntf(std::shared_ptr<IIGotUDebugMsgIntf> Value) {
    FDebugMsgIntf = std::move(Value);
  }

  /// Opens the port as the logger's driver likes it: open, close, open, close, open. Port
  /// errors pass to the caller.
  void Open();
  /// Closes the port.
  void Close();

  /// Switches the logger into configuration mode: up to 3 switch commands.
  bool Initialize();
  /// Switches it back into its normal mode.
  bool DeInitialize();
  /// Sends the mode switch (3 configuration, 0 normal); true when the exchange succeeded.
  bool NmeaSwitch(int GPSMode);
  /// Reads the model record into Model; on failure Model is unchanged.
  bool GetModel(RModelResult& Model);
  /// Reads the identification record into IDent; on failure IDent is unchanged.
  bool Identification(RIdentResult& IDent);
  /// Reads the record count into Count; on failure Count is unchanged.
  bool GetCount(RCountResult& Count);
  /// Reads Size bytes from Addr into Ptr, which must hold Size bytes.
  bool ReadData(uint32_t Addr, uint16_t Size, uint8_t* Ptr);
  /// Model, identification and count into Status; the first failure ends it with false and
  /// leaves the later records unchanged.
  bool ReadStatusData(RIGotUStatusData& Status);
  /// Reads the point memory of NumberOfPoints records block by block, asking the progress
  /// sink before the first block and after each. Null when cancelled; raises EIGotUError
  /// "Read Error !!" when a block cannot be read.
  std::unique_ptr<TIGotUSlotBlocks> ReadTrackPointBlock(int NumberOfPoints);
  /// The complete download: drain, configuration mode, status, configuration block, point
  /// blocks, normal mode. Null when cancelled. Raises EIGotUInitializeError when the logger
  /// does not switch, EIGotUError "Cannot read the logger's model" (identification, record
  /// count, configuration block) when one of those cannot be read; any error after the
  /// switch is raised after one attempt to switch the logger back.
  std::unique_ptr<TIGotUWholeData> Download();

 private:
  // ReadStatusData that names the part that failed ("model", "identification", "record
  // count"), or null when all were read.
  const char* ReadStatus(RIGotUStatusData& Status);
  void DebugMsg(const std::string& Msg);
  void StageMsg(const std::string& Msg);
  bool CheckProgress(int Position, int Max);

  TIGotUProtocol& FIGotUProtocol;
  std::shared_ptr<IProgressInterface> FProgress;
  std::shared_ptr<IIGotUDebugMsgIntf> FDebugMsgIntf;
};

/// Reads the 4096-byte configuration block of Image from the logger; on failure the block is
/// left empty and the result is false.
bool ReadConfigBlock(TIGotUWholeData& Image, TIGotUControl& Control);
/// Reads the point memory of Image's record count; false when cancelled.
bool ReadBlocks(TIGotUWholeData& Image, TIGotUControl& Control);

} // namespace tarnwick

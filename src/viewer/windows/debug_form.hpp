#pragma once

#include "device/control.hpp"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QRadioButton;

namespace tarnwick::viewer {

/// The protocol debug window: mode switches, identification and count, a 4096-byte memory
/// read as a hex dump, a point read decoded into records, a drain of the port, and one raw
/// command typed in hexadecimal. Everything runs on the GUI thread and blocks it until the
/// logger answered or the engine gave up.
class TDebugForm : public QDialog {
 public:
  /// Opens Control's port, shows the window modally, and closes the port at the end, also
  /// when opening fails (the error then reaches the error display).
  static void Execute(QWidget* Parent, TIGotUControl& Control);

  TDebugForm(TIGotUControl& Control, QWidget* Parent);

  void ConfigMode();
  void DongleMode();
  void IdentCommand();
  void CountCommand();
  void ReadMemory();
  void ReadPoints();
  void ReadOnly();
  void Send();

  /// Hexadecimal digits without a prefix; Default for anything else.
  static uint32_t HexOr(const QString& Text, uint32_t Default);
  /// The frame that the two command edits give: 15 bytes get the checksum appended, 16 are
  /// taken as they are; empty for any other count or a text that is not hexadecimal bytes.
  static std::optional<std::vector<uint8_t>> CommandBytes(const QString& Chunk1,
                                                          const QString& Chunk2);

 private:
  // Runs Op, showing an error it raises in the error display.
  template <class Op>
  void Guarded(Op&& Operation);

  TIGotUControl& FIGotUControl;
  QRadioButton* typeWayPoint_;
  QLineEdit* edtReadTrackAddr_;
  QLineEdit* edtReadTrackBytes_;
  QListWidget* lstReadTrack_;
  QLineEdit* edtReadMemoryAddr_;
  QListWidget* lstReadMemory_;
  QLineEdit* edtCommandChunk1_;
  QLineEdit* edtCommandChunk2_;
  QListWidget* listBox1_;
};

} // namespace tarnwick::viewer

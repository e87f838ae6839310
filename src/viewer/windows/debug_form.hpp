#pragma once

#include "device/control.hpp"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QRadioButton;

namespace tarnwick::viewer {

/// The protocol debug window: mode switches, identification and count, a 4096-byte memory
/// read as a hex dump, a point read decoded into records, a drain of the port, and one raw
/// command typed in hexadecimal. Each transaction with the logger runs on a worker thread
/// while the window waits for it, repainting, with its controls disabled: one at a time, and
/// the window cannot be closed under it.
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

  /// Whether a transaction is running.
  bool Busy() const { return busy_; }

 protected:
  void reject() override; // not while a transaction runs
  void closeEvent(QCloseEvent* Event) override;

 private:
  // Runs Work on a worker thread and waits for it with the event loop running; an error it
  // raises is raised again here.
  void RunOffGuiThread(const std::function<void()>& Work);
  template <class Work>
  auto Transact(Work&& Job);
  // Runs Op, showing an error it raises in the error display.
  template <class Op>
  void Guarded(Op&& Operation);

  TIGotUControl& FIGotUControl;
  bool busy_ = false;
  QWidget* body_;
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

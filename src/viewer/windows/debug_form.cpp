#include "viewer/windows/debug_form.hpp"

#include "device/command.hpp"
#include "device/command_reply.hpp"
#include "logger/point_list.hpp"
#include "support/dump_text.hpp"
#include "viewer/windows/error_display.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <thread>

namespace tarnwick::viewer {

namespace {

// A command frame given byte by byte.
class RawCommand : public TIGotUCommand {
 public:
  explicit RawCommand(const std::vector<uint8_t>& Bytes) : TIGotUCommand(Bytes[1]) {
    for (int i = 0; i < 15; ++i) {
      SetByte(i, Bytes[static_cast<size_t>(i)]);
    }
    if (Bytes.size() == 16) {
      SetByte(15, Bytes[15]);
    } else {
      SetCheckSum();
    }
  }
};

QPushButton* Button(const QString& Caption, const QString& Name, QWidget* Parent) {
  auto* button = new QPushButton(Caption, Parent);
  button->setObjectName(Name);
  button->setAutoDefault(false);
  return button;
}

} // namespace

template <class Op>
void TDebugForm::Guarded(Op&& Operation) {
  if (busy_) {
    return;
  }
  try {
    Operation();
  } catch (const std::exception& e) {
    ShowError(this, QString::fromStdString(e.what()));
  }
}

void TDebugForm::RunOffGuiThread(const std::function<void()>& Work) {
  busy_ = true;
  body_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  std::exception_ptr error;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      Work();
    } catch (...) {
      error = std::current_exception();
    }
    // Queued: the loop may not be running yet, and it quits once it is.
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  QApplication::restoreOverrideCursor();
  body_->setEnabled(true);
  busy_ = false;
  if (error) {
    std::rethrow_exception(error);
  }
}

template <class Work>
auto TDebugForm::Transact(Work&& Job) {
  decltype(Job()) result{};
  RunOffGuiThread([&] { result = Job(); });
  return result;
}

void TDebugForm::reject() {
  if (!busy_) {
    QDialog::reject();
  }
}

void TDebugForm::closeEvent(QCloseEvent* Event) {
  if (busy_) {
    Event->ignore();
    return;
  }
  QDialog::closeEvent(Event);
}

TDebugForm::TDebugForm(TIGotUControl& Control, QWidget* Parent)
    : QDialog(Parent), FIGotUControl(Control) {
  setObjectName("TDebugForm");
  setWindowTitle("Debug");
  body_ = new QWidget(this);
  auto* top = new QHBoxLayout;
  auto* config = Button("ConfigMode", "cmdConfigMode", body_);
  auto* dongle = Button("DongleMode", "cmdDongleMode", body_);
  top->addWidget(config);
  top->addWidget(dongle);
  top->addStretch();
  connect(config, &QPushButton::clicked, this, [this] { Guarded([this] { ConfigMode(); }); });
  connect(dongle, &QPushButton::clicked, this, [this] { Guarded([this] { DongleMode(); }); });

  auto* tabs = new QTabWidget(body_);
  // Read Track
  auto* track = new QWidget;
  auto* type = new QGroupBox("Type", track);
  auto* typeTrack = new QRadioButton("TrackPoint", type);
  typeTrack->setChecked(true);
  typeWayPoint_ = new QRadioButton("WayPoint", type);
  auto* typeRow = new QHBoxLayout(type);
  typeRow->addWidget(typeTrack);
  typeRow->addWidget(typeWayPoint_);
  edtReadTrackAddr_ = new QLineEdit("0", track);
  edtReadTrackAddr_->setObjectName("edtReadTrackAddr");
  edtReadTrackBytes_ = new QLineEdit("1000", track);
  edtReadTrackBytes_->setObjectName("edtReadTrackBytes");
  auto* readTrack = Button("Read Points", "cmdReadTrack", track);
  lstReadTrack_ = new QListWidget(track);
  lstReadTrack_->setObjectName("lstReadTrack");
  connect(readTrack, &QPushButton::clicked, this, [this] { Guarded([this] { ReadPoints(); }); });
  auto* trackRow = new QHBoxLayout;
  trackRow->addWidget(type);
  trackRow->addWidget(new QLabel("Offset", track));
  trackRow->addWidget(edtReadTrackAddr_);
  trackRow->addWidget(new QLabel("Bytes", track));
  trackRow->addWidget(edtReadTrackBytes_);
  trackRow->addWidget(readTrack);
  auto* trackLayout = new QVBoxLayout(track);
  trackLayout->addLayout(trackRow);
  trackLayout->addWidget(lstReadTrack_);
  tabs->addTab(track, "Read Track");

  // Read Memory
  auto* memory = new QWidget;
  edtReadMemoryAddr_ = new QLineEdit("0", memory);
  edtReadMemoryAddr_->setObjectName("edtReadMemoryAddr");
  auto* readMemory = Button("Read", "cmdReadMemory", memory);
  lstReadMemory_ = new QListWidget(memory);
  lstReadMemory_->setObjectName("lstReadMemory");
  QFont fixed("monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  lstReadMemory_->setFont(fixed);
  lstReadTrack_->setFont(fixed);
  connect(readMemory, &QPushButton::clicked, this, [this] { Guarded([this] { ReadMemory(); }); });
  auto* memoryRow = new QHBoxLayout;
  memoryRow->addWidget(new QLabel("Read From", memory));
  memoryRow->addWidget(edtReadMemoryAddr_);
  memoryRow->addWidget(readMemory);
  memoryRow->addStretch();
  auto* memoryLayout = new QVBoxLayout(memory);
  memoryLayout->addLayout(memoryRow);
  memoryLayout->addWidget(lstReadMemory_);
  tabs->addTab(memory, "Read Memory");

  // Raw Command
  auto* raw = new QWidget;
  auto* command = new QGroupBox("Command", raw);
  // The defaults form a command as they stand: the read of the record count.
  edtCommandChunk1_ = new QLineEdit("93 0B 03 00 1D 00 00 00", command);
  edtCommandChunk1_->setObjectName("edtCommandChunk1");
  edtCommandChunk2_ = new QLineEdit("00 00 00 00 00 00 00", command);
  edtCommandChunk2_->setObjectName("edtCommandChunk2");
  auto* send = Button("Send", "cmdSend", command);
  connect(send, &QPushButton::clicked, this, [this] { Guarded([this] { Send(); }); });
  auto* commandRow = new QHBoxLayout(command);
  commandRow->addWidget(edtCommandChunk1_);
  commandRow->addWidget(edtCommandChunk2_);
  commandRow->addWidget(send);
  listBox1_ = new QListWidget(raw);
  listBox1_->setObjectName("ListBox1");
  listBox1_->setFont(fixed);
  auto* readOnly = Button("Read", "cmdReadOnly", raw);
  auto* ident = Button("Ident", "cmdIdent", raw);
  auto* count = Button("Count", "cmdCount", raw);
  connect(readOnly, &QPushButton::clicked, this, [this] { Guarded([this] { ReadOnly(); }); });
  connect(ident, &QPushButton::clicked, this, [this] { Guarded([this] { IdentCommand(); }); });
  connect(count, &QPushButton::clicked, this, [this] { Guarded([this] { CountCommand(); }); });
  auto* rawButtons = new QHBoxLayout;
  rawButtons->addWidget(readOnly);
  rawButtons->addWidget(ident);
  rawButtons->addWidget(count);
  rawButtons->addStretch();
  auto* rawLayout = new QVBoxLayout(raw);
  rawLayout->addWidget(command);
  rawLayout->addWidget(listBox1_);
  rawLayout->addLayout(rawButtons);
  tabs->addTab(raw, "Raw Command");

  auto* bodyLayout = new QVBoxLayout(body_);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->addLayout(top);
  bodyLayout->addWidget(tabs);
  (new QVBoxLayout(this))->addWidget(body_);
  resize(784, 562);
}

void TDebugForm::Execute(QWidget* Parent, TIGotUControl& Control) {
  try {
    Control.Open();
    TDebugForm form(Control, Parent);
    form.exec();
  } catch (const std::exception& e) {
    ShowError(Parent, QString::fromStdString(e.what()));
  }
  Control.Close();
}

uint32_t TDebugForm::HexOr(const QString& Text, uint32_t Default) {
  bool ok = false;
  const uint value = Text.trimmed().toUInt(&ok, 16);
  return ok && !Text.trimmed().startsWith("0x", Qt::CaseInsensitive) ? value : Default;
}

std::optional<std::vector<uint8_t>> TDebugForm::CommandBytes(const QString& Chunk1,
                                                             const QString& Chunk2) {
  const QString all = (Chunk1 + " " + Chunk2).simplified().remove(' ');
  static const QRegularExpression hex("^([0-9A-Fa-f]{2})*$");
  if (!hex.match(all).hasMatch()) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  for (int i = 0; i < all.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(all.mid(i, 2).toUInt(nullptr, 16)));
  }
  if (bytes.size() != 15 && bytes.size() != 16) {
    return std::nullopt;
  }
  return bytes;
}

void TDebugForm::ConfigMode() {
  if (!Transact([this] { return FIGotUControl.NmeaSwitch(3); })) {
    ShowMessage(this, "NmeaSwitch Error !");
  }
}

void TDebugForm::DongleMode() {
  Transact([this] { return FIGotUControl.NmeaSwitch(0); });
}

void TDebugForm::IdentCommand() {
  RIdentResult ident;
  Transact([this, &ident] { return FIGotUControl.Identification(ident); });
}

void TDebugForm::CountCommand() {
  RCountResult count;
  if (Transact([this, &count] { return FIGotUControl.GetCount(count); })) {
    ShowMessage(this, QString::number(count.Count()));
  } else {
    ShowMessage(this, "Error !!");
  }
}

void TDebugForm::ReadMemory() {
  const uint32_t address = HexOr(edtReadMemoryAddr_->text(), 0);
  std::vector<uint8_t> data(4096);
  if (!Transact([&] { return FIGotUControl.ReadData(address, 4096, data.data()); })) {
    ShowMessage(this, "Read Error!!");
    return;
  }
  lstReadMemory_->clear();
  for (size_t offset = 0; offset < data.size(); offset += 16) {
    lstReadMemory_->addItem(QString::fromStdString(BytesToHex(data.data() + offset, 16)));
  }
}

void TDebugForm::ReadPoints() {
  const uint32_t offset = HexOr(edtReadTrackAddr_->text(), 0);
  const uint32_t size = std::min<uint32_t>(HexOr(edtReadTrackBytes_->text(), 4096), 0xFFFF);
  lstReadTrack_->clear();
  const uint32_t base = typeWayPoint_->isChecked() ? 0x700000 : 0x1000;
  std::vector<uint8_t> data(size);
  if (!Transact([&] {
        return FIGotUControl.ReadData(base + offset, static_cast<uint16_t>(size), data.data());
      })) {
    ShowMessage(this, "Read Error!!");
    return;
  }
  TIGotUPointList list;
  list.AddPointsFromData(data.data(), static_cast<int>(size));
  for (const auto& point : list) {
    std::string header;
    try {
      header = PointHeaderText(*point);
    } catch (const std::exception& e) {
      header = e.what();
    }
    lstReadTrack_->addItem(
        QString::fromStdString(header + ":" + BytesToHex(point->PRawData(), 32)));
  }
}

void TDebugForm::ReadOnly() {
  TIgotUPort* port = FIGotUControl.Port();
  if (port == nullptr) {
    return;
  }
  const QStringList entries = Transact([port] {
    QStringList read;
    std::vector<uint8_t> buffer(4096);
    for (;;) {
      const int n = port->Read(buffer.data(), 4096);
      if (n <= 0) {
        break;
      }
      read.append(QString("(%1)").arg(n) + QString::fromStdString(BytesToHex(buffer.data(), n)));
    }
    return read;
  });
  listBox1_->addItems(entries);
  listBox1_->addItem(QString(30, '*'));
}

void TDebugForm::Send() {
  const auto bytes = CommandBytes(edtCommandChunk1_->text(), edtCommandChunk2_->text());
  if (!bytes) {
    ShowMessage(this, "Give 15 bytes (the checksum is added) or 16 bytes in hexadecimal");
    return;
  }
  RawCommand command(*bytes);
  listBox1_->addItem("> " + QString::fromStdString(BytesToHex(command.DataPtr(), 16)));
  TIGotUCommandReply reply;
  const bool ok =
      Transact([&] { return FIGotUControl.Protocol().DoCommunication(command, reply); });
  QString text = "< " + QString::fromStdString(BytesToHex(reply.Header.Header.data(), 3));
  if (reply.GetBuffer() != nullptr && reply.DataCount() > 0) {
    text += "| " + QString::fromStdString(BytesToHex(reply.GetBuffer(), reply.DataCount()));
  }
  listBox1_->addItem(ok ? text : text + " (no valid reply)");
}

} // namespace tarnwick::viewer

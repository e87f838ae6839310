#pragma once

#include "common/fake_device.hpp"
#include "common/temp_dir.hpp"
#include "logger/slot_blocks.hpp"
#include "logger/whole_data.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/main_form.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::test {

/// Records what reaches the error display instead of showing message boxes, while it lives.
class ErrorRecorder {
 public:
  ErrorRecorder() {
    old_ = viewer::SetErrorHandler([this](QWidget*, const QString& M) { Messages.append(M); });
  }
  ~ErrorRecorder() { viewer::SetErrorHandler(std::move(old_)); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  QStringList Messages;

 private:
  viewer::ErrorHandler old_;
};

/// A main window over a fake enumerator, without watching the system.
struct Window {
  explicit Window(bool Debug = false) {
    auto device = std::make_unique<FakeDevice>();
    Fake = device.get();
    app::Settings settings;
    settings.Debug = Debug;
    Form = std::make_unique<viewer::TMainForm>(settings, std::move(device), false);
    Fake->Protocol = &Form->Link().Protocol();
  }
  template <class T>
  T* Find(const QString& Name) const {
    T* child = Form->findChild<T*>(Name);
    if (child == nullptr) {
      qFatal("no widget %s", qPrintable(Name));
    }
    return child;
  }
  QString Text(const QString& Label) const { return Find<QLabel>(Label)->text(); }
  bool TabShown(const QString& Tabs, const QString& Page) const {
    auto* tabs = Find<QTabWidget>(Tabs);
    return tabs->isTabVisible(tabs->indexOf(Find<QWidget>(Page)));
  }
  QString Cell(const QString& Grid, int Row, int Col) const {
    auto* model = Find<QTableView>(Grid)->model();
    return model->data(model->index(Row, Col)).toString();
  }
  int Rows(const QString& Grid) const { return Find<QTableView>(Grid)->model()->rowCount(); }
  bool Enabled(const QString& Action) const { return Find<QAction>(Action)->isEnabled(); }
  QString Status() const { return Form->statusBar()->currentMessage(); }

  FakeDevice* Fake;
  std::unique_ptr<viewer::TMainForm> Form;
};

/// Saves Image as Name in Dir and returns the base name.
inline QString Save(const TempDir& Dir, const TIGotUWholeData& Image, const std::string& Name) {
  const std::string base = Dir.File(Name);
  Image.SaveToFile(base);
  return QString::fromStdString(base);
}

/// A GT-120 image of the slots given.
inline TIGotUWholeData SlotImage(const std::vector<uint8_t>& Slots) {
  TIGotUWholeData image;
  image.Status.FModel.Data = {0x00, 0x01, 0x15};
  image.Status.FIdent.Data = {0x78, 0x56, 0x34, 0x12, 1, 5, 0x00, 0x78, 0x01, 0x02};
  const auto count = static_cast<uint16_t>(Slots.size() / 32);
  image.Status.FCount.Data = {0x00, static_cast<uint8_t>(count >> 8),
                              static_cast<uint8_t>(count & 0xFF)};
  image.ConfigBlock().assign(4096, 0x5A);
  auto blocks = std::make_unique<TIGotUSlotBlocks>(count, 32);
  std::copy(Slots.begin(), Slots.end(), blocks->DataBuffer());
  image.SetBlocks(std::move(blocks));
  return image;
}

/// Answers the next modal message box, once it is shown, with the button whose text is
/// Button (or, for a standard button, Standard). Looks again every 10 ms, for 10 s at most.
inline void AnswerNextBox(QMessageBox::StandardButton Standard, const QString& Button = {},
                          int Delay = 0, int Tries = 1000) {
  QTimer::singleShot(Delay, [Standard, Button, Tries] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (Tries > 0) {
        AnswerNextBox(Standard, Button, 10, Tries - 1);
      }
      return;
    }
    QAbstractButton* button = Button.isEmpty() ? box->button(Standard) : nullptr;
    for (QAbstractButton* b : box->buttons()) {
      if (!Button.isEmpty() && b->text() == Button) {
        button = b;
      }
    }
    if (button != nullptr) {
      button->click();
    } else {
      box->reject();
    }
  });
}

} // namespace tarnwick::test

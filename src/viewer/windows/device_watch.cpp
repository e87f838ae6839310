#include "viewer/windows/device_watch.hpp"

#include "platform/device_change_watcher.hpp"
#include "support/os_files.hpp"

#include <QDir>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

namespace tarnwick::viewer {

DeviceWatch::DeviceWatch(const QString& SimFolder, QObject* Parent) : QObject(Parent) {
  try {
    udev_ = std::make_unique<DeviceChangeWatcher>();
    notifier_ = new QSocketNotifier(udev_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
      if (udev_->ReadChanges()) {
        emit Changed();
      }
    });
  } catch (const std::exception&) {
    // Without a monitor (a container without udev) only the rescan action finds loggers.
    udev_.reset();
  }
  if (!SimFolder.isEmpty()) {
    // The folder must exist to be watched; made as the simulated loggers make it, private.
    CreatePrivateFolder(SimFolder.toStdString());
    folder_ = new QFileSystemWatcher(this);
    folder_->addPath(SimFolder);
    connect(folder_, &QFileSystemWatcher::directoryChanged, this, [this] { emit Changed(); });
  }
}

DeviceWatch::~DeviceWatch() = default;

} // namespace tarnwick::viewer

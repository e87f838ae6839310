// tarnwick-viewer [FILE] [--simulate [BASE]]: the desktop viewer.
#include "app/app_settings.hpp"
#include "support/os_process.hpp"
#include "support/version.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/screenshots.hpp"
#include "viewer/simulated_logger.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/main_form.hpp"
#include "viewer/windows/small_dialogs.hpp"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <iostream>
#include <memory>

namespace {

const tarnwick::WakeSignal* gStopSignal = nullptr;

void OnStopSignal(tarnwick::EndEvent) {
  gStopSignal->Notify();
}

// SIGINT, SIGTERM and SIGHUP end the event loop, so that a simulated logger is withdrawn and
// the settings are written as after closing the window.
void QuitOnStopSignals(QObject* Context) {
  static const tarnwick::WakeSignal wake;
  if (!wake.IsOpen()) {
    return;
  }
  gStopSignal = &wake;
  auto* notifier = new QSocketNotifier(wake.Handle(), QSocketNotifier::Read, Context);
  QObject::connect(notifier, &QSocketNotifier::activated, Context, [] {
    gStopSignal->Clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
      window->close();
    }
    QApplication::quit();
  });
  tarnwick::InstallEndHandler(OnStopSignal);
}

struct Options {
  QString File;
  bool Simulate = false;
  QString SimulateBase;
  QString ScreenshotFolder; // hidden: pictures of every page and dialog, then quit
};

// Read before the application object exists, so that --help and --version need no display.
Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == "--simulate") {
      options.Simulate = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') {
        options.SimulateBase = QString::fromLocal8Bit(argv[++i]);
      }
    } else if (arg == "--screenshots" && i + 1 < argc) {
      options.ScreenshotFolder = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "Usage: tarnwick-viewer [FILE] [--simulate [BASE]]\n"
                   "  FILE             a saved image (BASE, BASE.dat or BASE.bin) or a GPX file "
                   "to open\n"
                   "  --simulate BASE  start a simulated logger serving BASE (a sample image "
                   "without BASE)\n"
                   "  --version        print the version and exit\n"
                   "Qt's own options (-platform, -style, ...) are taken as well.\n";
      std::exit(0);
    } else if (arg == "--version") {
      std::cout << "tarnwick-viewer " << tarnwick::kFileVersion << '\n';
      std::exit(0);
    } else if (arg == "-platform" || arg == "-style" || arg == "-display" ||
               arg == "-qwindowgeometry" || arg == "-qwindowtitle" || arg == "-qwindowicon" ||
               arg == "-stylesheet") {
      ++i; // Qt's option with its value: QApplication reads it
    } else if (!arg.startsWith('-')) {
      options.File = arg;
    } else if (arg != "-reverse" && arg != "-widgetcount" && arg != "-nograb" && arg != "-dograb" &&
               arg != "-sync") {
      std::cerr << "tarnwick-viewer: unknown option " << arg.toStdString() << '\n';
      std::exit(2);
    }
  }
  return options;
}

} // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName("tarnwick-viewer");
  QApplication::setOrganizationName("Tarnwick");
  QApplication::setApplicationDisplayName("Tarnwick");
  QApplication::setWindowIcon(tarnwick::viewer::ProgramIcon());

  using namespace tarnwick;
  std::unique_ptr<viewer::SimulatedLogger> simulated;
  if (options.Simulate) {
    try {
      simulated = std::make_unique<viewer::SimulatedLogger>(options.SimulateBase.toStdString());
      std::cerr << "tarnwick-viewer: simulated logger on " << simulated->PortName() << '\n';
    } catch (const std::exception& e) {
      std::cerr << "tarnwick-viewer: cannot start the simulated logger: " << e.what() << '\n';
      return 1;
    }
  }

  app::Settings settings;
  try {
    settings = app::ReadSettings(app::SettingsFileName());
  } catch (const std::exception& e) {
    viewer::ShowError(nullptr, QString::fromStdString(e.what()));
  }
  if (!options.ScreenshotFolder.isEmpty()) {
    // The raw records' page is a debug feature; the pictures show it too.
    settings.Debug = true;
  }
  viewer::TMainForm form(settings);
  QuitOnStopSignals(&form);
  form.show();
  if (!options.File.isEmpty()) {
    QTimer::singleShot(0, &form, [&form, &options] { form.LoadFile(options.File); });
  }
  if (!options.ScreenshotFolder.isEmpty()) {
    QTimer::singleShot(300, &form, [&form, &options] {
      // The pictures show times on a named zone's clock, as a user abroad sees them.
      form.Session().SetZone(TimeZone::Named("Europe/Helsinki"));
      const int saved =
          viewer::SaveScreenshots(form, form.Link().Control(), options.ScreenshotFolder);
      std::cerr << "tarnwick-viewer: " << saved << " pictures in "
                << options.ScreenshotFolder.toStdString() << '\n';
      QApplication::quit();
    });
  }
  const int status = QApplication::exec();
  simulated.reset();
  return status;
}

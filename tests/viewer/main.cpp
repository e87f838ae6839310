// Runs one of the viewer's Qt Test suites, named by the first argument (all of them without
// one), with a private settings store per suite so that suites can run side by side.
#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include <cstring>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

QObject* CreateGridModelTest();
QObject* CreateMainFormTest();
QObject* CreateDialogsTest();
QObject* CreateDevicesTest();
QObject* CreateFilesTest();
QObject* CreateTimesTest();
QObject* CreateSettingsTest();
QObject* CreateMapTest();
QObject* CreateGraphsTest();
QObject* CreateGeotagTest();

int main(int argc, char** argv) {
  const std::vector<std::pair<const char*, QObject* (*)()>> suites{
      {"GridModel", CreateGridModelTest}, {"MainForm", CreateMainFormTest},
      {"Dialogs", CreateDialogsTest},     {"Devices", CreateDevicesTest},
      {"Files", CreateFilesTest},         {"Times", CreateTimesTest},
      {"Settings", CreateSettingsTest},   {"Map", CreateMapTest},
      {"Graphs", CreateGraphsTest},       {"Geotag", CreateGeotagTest},
  };
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  if (only != nullptr) {
    // The rest of the command line is Qt Test's.
    argv[1] = argv[0];
    ++argv;
    --argc;
  }
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  QApplication::setOrganizationName("TarnwickTest");
  QApplication::setApplicationName(QString("tarnwick-viewer-test-") + (only ? only : "all"));
  int failed = 0;
  bool found = false;
  for (const auto& [name, create] : suites) {
    if (only != nullptr && std::strcmp(only, name) != 0) {
      continue;
    }
    found = true;
    const std::unique_ptr<QObject> suite(create());
    failed += QTest::qExec(suite.get(), argc, argv);
  }
  if (!found) {
    std::cerr << "viewer_tests: no suite " << only << '\n';
    return 2;
  }
  return failed == 0 ? 0 : 1;
}

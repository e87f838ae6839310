// Runs the viewer's Qt Test suites in one program, with a private settings store.
#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

QObject* CreateGridModelTest();
QObject* CreateMainFormTest();
QObject* CreateDialogsTest();

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  QApplication::setOrganizationName("TarnwickTest");
  QApplication::setApplicationName("tarnwick-viewer-test");
  int failed = 0;
  for (auto* create : {CreateGridModelTest, CreateMainFormTest, CreateDialogsTest}) {
    const std::unique_ptr<QObject> suite(create());
    failed += QTest::qExec(suite.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}

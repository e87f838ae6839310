// The tests' tile server as a program, for pictures of the map: serves labelled tiles on
// 127.0.0.1 (on the port given, or a free one), prints the port, and runs until its standard
// input closes or it is stopped.
#include "tile_server.hpp"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  tarnwick::test::TileServer server(true);
  const auto port = static_cast<quint16>(argc > 1 ? std::atoi(argv[1]) : 0);
  if (!server.Start(port)) {
    std::fprintf(stderr, "tile_server: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::printf("%u\n", server.Port());
  std::fflush(stdout);
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
      input.setEnabled(false);
      QGuiApplication::quit();
    }
  });
  return QGuiApplication::exec();
}

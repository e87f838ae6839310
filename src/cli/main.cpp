#include "cli/cli_common.hpp"
#include "support/errors.hpp"
#include "support/version.hpp"

#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"tarnwick: reads, inspects and converts the memory of i-gotU GPS loggers"};
  app.name("tarnwick");
  app.set_version_flag("--version", std::string("tarnwick ") + tarnwick::kFileVersion);
  app.require_subcommand(1);
  tarnwick::cli::AddImageCommands(app);
  tarnwick::cli::AddDeviceCommands(app);
  tarnwick::cli::AddGpxCommands(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const tarnwick::Exception& e) {
    std::cout.flush();
    std::cerr << "tarnwick: " << e.what() << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "tarnwick: " << e.what() << '\n';
    return 1;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "tarnwick: cannot write the output\n";
    return 1;
  }
  return 0;
}

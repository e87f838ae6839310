#include "cli/cli_common.hpp"
#include "support/errors.hpp"
#include "support/os_console.hpp"
#include "support/str_util.hpp"
#include "support/version.hpp"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

namespace {

// Exit status of a command line the program cannot take, as usual for command-line tools.
constexpr int kExitUsage = 2;

// The subcommand that was being read when parsing stopped, as "tarnwick points", or
// "tarnwick" before one was recognised.
std::string CommandName(CLI::App& App) {
  std::string name = App.get_name();
  CLI::App* current = &App;
  for (bool found = true; found;) {
    found = false;
    for (CLI::App* sub : current->get_subcommands()) {
      name += ' ' + sub->get_name();
      current = sub;
      found = true;
      break;
    }
  }
  return name;
}

// One line on standard error that names the problem and where the help is.
int UsageError(CLI::App& App, const CLI::ParseError& Error, int Argc, char** Argv) {
  const std::string command = CommandName(App);
  std::string problem = Error.what();
  if (command == App.get_name()) {
    if (Argc < 2) {
      problem = "a command is required";
    } else if (Argv[1][0] != '-') {
      problem = std::string("unknown command \"") + Argv[1] + "\"";
    }
  }
  std::cerr << command << ": " << tarnwick::EscapeControls(problem) << " (see \"" << command
            << " --help\")\n";
  return kExitUsage;
}

int Run(int argc, char** argv) {
  CLI::App app{"tarnwick: reads, inspects and converts the memory of i-gotU GPS loggers"};
  app.name("tarnwick");
  app.set_version_flag("--version", std::string("tarnwick ") + tarnwick::kFileVersion);
  app.require_subcommand(1);
  app.footer("Exit status: 0 done, 1 failed, 2 a command line that cannot be used, 130 "
             "cancelled with Ctrl-C.");
  tarnwick::cli::AddImageCommands(app);
  tarnwick::cli::AddDeviceCommands(app);
  tarnwick::cli::AddGpxCommands(app);
  tarnwick::cli::AddStatsCommand(app);
  tarnwick::cli::AddGeotagCommand(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    // A command's own exit status (a cancelled download, say); it has printed its message.
    return e.get_exit_code();
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      return app.exit(e); // --help, --version
    }
    std::cout.flush();
    return UsageError(app, e, argc, argv);
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "tarnwick: " << tarnwick::EscapeControls(e.what()) << '\n';
    return 1;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "tarnwick: cannot write the output\n";
    return 1;
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  // The same bytes on every system: no "\r\n" for "\n" on Windows.
  tarnwick::SetBinaryStandardStreams();
  // The commands' own failures are reported inside Run; what gets here failed around them
  // (no memory to build the command line, say). Plain C output: nothing in here may throw.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwick: %s\n", e.what());
  } catch (...) {
    std::fputs("tarnwick: unexpected failure\n", stderr);
  }
  return 1;
}

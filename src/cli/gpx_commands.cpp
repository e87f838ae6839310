#include "cli/cli_common.hpp"

namespace tarnwick::cli {

void AddGpxCommands(CLI::App& /*App*/) {}

} // namespace tarnwick::cli

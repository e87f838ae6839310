#include "cli/cli_common.hpp"

namespace tarnwick::cli {

void AddDeviceCommands(CLI::App& /*App*/) {}

} // namespace tarnwick::cli

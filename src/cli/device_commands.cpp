#include "app/app_settings.hpp"
#include "app/logger_link.hpp"
#include "cli/cancel_signals.hpp"
#include "cli/cli_common.hpp"
#include "cli/console_progress.hpp"
#include "sim/sample_image.hpp"
#include "sim/sim_device_source.hpp"
#include "sim/sim_faults.hpp"
#include "support/errors.hpp"
#include "support/os_console.hpp"
#include "support/str_util.hpp"

#include <fmt/format.h>
#include <iostream>
#ifndef _WIN32
#include "sim/sim_pty_host.hpp"

#include <csignal>
#include <ctime>
#endif

namespace tarnwick::cli {

namespace {

// Application identifier of the command line's debug log (tarnwick.log in the state folder).
constexpr const char* kLogAppID = "tarnwick";
// Exit status of a download stopped by Ctrl-C, as the shell reports an interrupted program.
constexpr int kExitCancelled = 130;
#ifdef _WIN32
// Exit status of a command this system cannot run, as for a command line that cannot be used.
constexpr int kExitUsage = 2;
#endif

std::string Hex4(uint16_t Value) {
  return fmt::format("{:04X}", Value);
}

// ---- devices ---------------------------------------------------------------------------

void Devices() {
  app::LoggerLink link({}, kLogAppID);
  const auto list = link.EnumDevices();
  std::cout << "Name\tPort\tVendorID\tProductID\tRevision\tChunkSize\n";
  for (const auto& info : *list) {
    const auto* serial = dynamic_cast<const SerialDeviceInfo*>(info.get());
    std::cout << EscapeControls(info->Name) << '\t'
              << EscapeControls(serial != nullptr ? serial->ComPort : "") << '\t'
              << Hex4(info->InfoRec.VendorID) << '\t' << Hex4(info->InfoRec.ProductID) << '\t'
              << EscapeControls(info->InfoRec.Revision) << '\t' << info->ChunkSize << '\n';
  }
}

// ---- download --------------------------------------------------------------------------

struct DownloadArgs {
  std::string Output;
  std::string Port;
  int ChunkSize = 8;
  int Device = 0;
  bool Verbose = false;
};

int Download(const DownloadArgs& args) {
  // A download takes minutes; a target that cannot be written is refused before the logger
  // is touched rather than after.
  InstallFileSignalHandlers();
  TIGotUWholeData::CheckSaveTargets(args.Output);
  app::LoggerLink link(app::ReadSettings(app::SettingsFileName()), kLogAppID);
  link.UsePort(link.ChoosePort({args.Port, args.ChunkSize, args.Device}));
  const TIgotUPort& port = *link.Port();

  const CancelSignals signals(
      "Cancelling: the download stops after the current block (Ctrl-C again stops at once)\n");
  const bool terminal = IsTerminal(StandardStream::Error);
  const auto progress = std::make_shared<ConsoleProgress>(
      std::cerr, terminal, args.Verbose, &CancelSignals::Requested, ConsoleProgress::Clock{},
      terminal ? TerminalWidth(StandardStream::Error).value_or(80) : 80);
  progress->Line("Logger port: " + port.Description() + " (chunk size " +
                 std::to_string(port.ChunkSize()) + ")");
  std::unique_ptr<TIGotUWholeData> image;
  try {
    image = link.Download(progress);
  } catch (...) {
    progress->Finish();
    throw;
  }
  progress->Finish();
  // A Ctrl-C after the last block still means "keep nothing".
  if (!image || CancelSignals::Requested()) {
    std::cerr << "Download cancelled; nothing was written\n";
    return kExitCancelled;
  }
  image->SaveToFile(args.Output);
  std::cout << "wrote " << TIGotUWholeData::StatusFileName(args.Output) << " and "
            << TIGotUWholeData::BlockFileName(args.Output) << ": " << image->Status.NumberOfPoints()
            << " records\n";
  return 0;
}

// ---- simulate --------------------------------------------------------------------------

struct SimulateArgs {
  std::string Image;
  std::string Model = "gt120";
  int Points = 1000;
  int ChunkSize = 8;
  int64_t Rate = int64_t{128} * 1024;
  std::string Faults;
  uint64_t Seed = 1;
  int TurnaroundMs = 2;
  int PacketSize = 64;
  int NmeaIntervalMs = 500;
  std::string Revision = "0200";
  bool NoRegister = false;
  std::optional<DateTime> Start;
};

#ifdef _WIN32
// The simulated logger serves a pseudo-terminal, which Windows does not have.
int Simulate(const SimulateArgs&) {
  std::cerr << "tarnwick simulate: the simulated logger needs a pseudo-terminal and runs on "
               "Linux only\n";
  return kExitUsage;
}
#else
TIGotUWholeData SimulatedImage(const SimulateArgs& args) {
  if (!args.Image.empty()) {
    return std::move(*OpenImage(args.Image, {})->Release());
  }
  sim::SampleSpec spec;
  spec.Family = *sim::ParseSampleFamily(args.Model);
  spec.Points = args.Points;
  spec.Seed = args.Seed;
  spec.Start = args.Start;
  return sim::GenerateSampleImage(spec);
}

int Simulate(const SimulateArgs& args) {
  const TIGotUWholeData image = SimulatedImage(args);
  sim::SimLoggerOptions options;
  options.ProductID = args.ChunkSize == 16 ? kIGotUProductChunk16 : kIGotUProductChunk8;
  options.Revision = args.Revision;
  options.NmeaInterval = std::chrono::milliseconds(args.NmeaIntervalMs);
  options.Link.BytesPerSecond = args.Rate;
  options.Link.PacketSize = args.PacketSize;
  options.Link.Turnaround = std::chrono::milliseconds(args.TurnaroundMs);
  options.Faults = sim::ParseFaultSpec(args.Faults);
  options.Seed = args.Seed;

  // The serving thread must not take the signals that end the simulation.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigset_t oldMask;
  ::pthread_sigmask(SIG_BLOCK, &stopSignals, &oldMask);

  sim::SimPtyHost host(image, options);
  host.Start();
  const std::string model = image.Status.FModel.ModelName();
  std::unique_ptr<sim::SimRegistration> registration;
  if (!args.NoRegister) {
    registration = std::make_unique<sim::SimRegistration>(
        host.SlavePath(), options.ProductID, options.Revision,
        "Simulated i-gotU " + (model.empty() ? std::string("logger") : model));
  }
  std::cout << host.SlavePath() << std::endl;
  std::cerr << fmt::format("simulate: {} with {} records on {}, chunk size {}, {} bytes/s; "
                           "Ctrl-C stops it\n",
                           model.empty() ? "logger" : model, image.Status.NumberOfPoints(),
                           host.SlavePath(), args.ChunkSize,
                           args.Rate > 0 ? std::to_string(args.Rate) : "unlimited");

  for (;;) {
    const timespec wait{0, 200'000'000};
    if (::sigtimedwait(&stopSignals, nullptr, &wait) > 0) {
      break;
    }
    if (host.Unplugged()) {
      std::cerr << "simulate: the logger was unplugged\n";
      break;
    }
  }
  if (registration) {
    registration->Remove();
  }
  host.Stop();
  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  const sim::SimStats stats = host.Stats();
  std::cerr << fmt::format("simulate: {} commands, {} point blocks, {} bytes in {} replies, {} "
                           "faults; delivery time {:.6f} s\n",
                           stats.Commands, stats.PointBlocks, stats.BytesSent, stats.Replies,
                           stats.FaultsInjected,
                           std::chrono::duration<double>(stats.DeliveryTime).count());
  return 0;
}
#endif

} // namespace

void AddDeviceCommands(CLI::App& App) {
  static DownloadArgs download;
  static SimulateArgs simulate;

  App.add_subcommand("devices", "list the loggers found (tab-separated)")->callback(Devices);

  auto* c = App.add_subcommand("download", "download a logger's whole memory into an image pair");
  c->add_option("-o,--output", download.Output, "BASE of the image pair to write")->required();
  auto* port = c->add_option("--port", download.Port, "serial port of the logger, by path");
  c->add_option("--chunk-size", download.ChunkSize,
                "frame bytes per write with --port: 8 or 16, as \"tarnwick devices\" shows for "
                "the logger (default 8)")
      ->check(CLI::IsMember({8, 16}))
      ->needs(port);
  c->add_option("--device", download.Device, "number of the logger in \"tarnwick devices\"")
      ->check(CountsFromOne("loggers"))
      ->excludes(port);
  c->add_flag("--verbose,-v", download.Verbose,
              "print every status text on a line of its own, also on a terminal (where "
              "otherwise only the latest stands above the progress bar)");
  c->callback([] {
    if (const int code = Download(download); code != 0) {
      throw CLI::RuntimeError(code);
    }
  });

  c = App.add_subcommand("simulate", "run a simulated logger on a pseudo-terminal until stopped");
  auto* image = c->add_option("--image", simulate.Image, "saved image to serve (BASE)");
  c->add_option("--model,-m", simulate.Model, "family of a generated image: gt120 or gt900")
      ->check(CLI::IsMember({"gt120", "gt900"}))
      ->excludes(image);
  c->add_option("--points,-n", simulate.Points, "records of a generated image (default 1000)")
      ->check(CLI::Range(0, 65535))
      ->excludes(image);
  c->add_option("--chunk-size", simulate.ChunkSize,
                "8: product 0900, acknowledged halves (default); 16: product 0B80")
      ->check(CLI::IsMember({8, 16}));
  c->add_option("--rate", simulate.Rate,
                "bytes per second of the link, 0 unlimited (default 131072)")
      ->check(CLI::Range(int64_t{0}, int64_t{1} << 30));
  c->add_option("--faults", simulate.Faults,
                "KIND@WHERE, late:MS@WHERE, trickle:MS@WHERE, random=RATE, unplug=N, "
                "comma-separated; KIND: noanswer, badcode, negative, short, stray, late (300 ms "
                "unless MS), overlong, fewer, trickle (data bytes 190 ms apart unless MS); WHERE: "
                "command number N, or mode, model, ident, count, config, read (any point block) "
                "or read=ADDR (the block at ADDR, e.g. 0x3000), each optionally #K for its K-th "
                "time (default the first)");
  c->add_option("--seed,-s", simulate.Seed, "seed of the generated image and the random faults");
  AddSampleStartOption(c, simulate.Start);
  c->add_option("--turnaround", simulate.TurnaroundMs, "ms before each reply leaves (default 2)")
      ->check(CLI::Range(0, 10000));
  c->add_option("--packet", simulate.PacketSize, "bytes per packet of the link (default 64)")
      ->check(CLI::Range(1, 65536));
  c->add_option("--nmea-interval", simulate.NmeaIntervalMs,
                "ms between text lines in normal mode, 0 silent (default 500)")
      ->check(CLI::Range(0, 3600000));
  c->add_option("--revision", simulate.Revision, "USB revision text (default 0200)");
  c->add_flag("--no-register", simulate.NoRegister,
              "do not announce the logger to \"tarnwick devices\"");
  c->callback([] {
    if (const int code = Simulate(simulate); code != 0) {
      throw CLI::RuntimeError(code);
    }
  });
}

} // namespace tarnwick::cli

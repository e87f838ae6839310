#include "cli/cli_common.hpp"

#include "present/table_text.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <cerrno>
#include <charconv>
#include <iostream>
#include <limits>

namespace tarnwick::cli {

void AddYearEraOption(CLI::App* Command, TimeOptions& Options) {
  Command
      ->add_option("--year-era", Options.YearEra,
                   "how the logger's four-bit years are read: auto (default: the latest years "
                   "not after the download), recorded (2000-2015), or a first year such as 2016")
      ->check(CLI::Validator(
          [](std::string& Text) -> std::string {
            try {
              YearEra::CheckSetting(Text);
            } catch (const Error& e) {
              return e.what();
            }
            return {};
          },
          "auto|recorded|YEAR"));
}

void AddZoneOption(CLI::App* Command, TimeOptions& Options) {
  Command
      ->add_option("--tz", Options.Zone,
                   "the zone of the times shown: utc (default, the logger's clock), local (this "
                   "computer's), or a zone name such as Europe/Helsinki")
      ->check(ZoneValidator("utc|local|ZONE"));
}

CLI::Validator ZoneValidator(const std::string& Description) {
  return CLI::Validator(
      [](std::string& Text) -> std::string {
        try {
          (void)TimeZone::FromSetting(Text);
        } catch (const Error& e) {
          return e.what();
        }
        return {};
      },
      Description);
}

void AddSampleStartOption(CLI::App* Command, std::optional<DateTime>& Start) {
  Command
      ->add_option_function<std::string>(
          "--start",
          [&Start](const std::string& Text) {
            const std::string full = Text.size() == 10 ? Text + "T06:21:52Z" : Text;
            Start = TryParseIsoUtc(full);
            if (!Start) {
              throw CLI::ValidationError("--start", "\"" + Text +
                                                        "\" is not a date YYYY-MM-DD or a "
                                                        "time YYYY-MM-DDThh:mm:ssZ");
            }
          },
          "when the first track starts (UTC): YYYY-MM-DD or YYYY-MM-DDThh:mm:ssZ; by default a "
          "day of late 2013")
      ->type_name("DATE");
}

std::unique_ptr<app::ImageSession> OpenImage(const std::string& Base, const TimeOptions& Options) {
  auto session = std::make_unique<app::ImageSession>(Options.YearEra);
  session->SetZone(TimeZone::FromSetting(Options.Zone));
  session->Open(Base);
  for (const auto& warning : session->Warnings()) {
    std::cerr << "tarnwick: warning: " << EscapeControls(warning) << '\n';
  }
  return session;
}

CLI::Validator CountsFromOne(const std::string& Things) {
  return CLI::Validator(
      [Things](std::string& Text) -> std::string {
        int64_t value = 0;
        const auto* end = Text.data() + Text.size();
        const auto [ptr, ec] = std::from_chars(Text.data(), end, value);
        if (ec == std::errc::result_out_of_range ||
            (ec == std::errc() && value > std::numeric_limits<int>::max())) {
          return "\"" + Text + "\" is too large";
        }
        if (ec != std::errc() || ptr != end) {
          return "\"" + Text + "\" is not a number";
        }
        if (value < 1) {
          return Things + " count from 1, not " + Text;
        }
        return {};
      },
      "NUMBER >= 1");
}

void WriteTable(std::ostream& Out, const TStringGridHelper& Table) {
  WriteTableLines(Table, AllItems(Table), [&Out](const std::string& Line) {
    Out.write(Line.data(), static_cast<std::streamsize>(Line.size()));
  });
}

} // namespace tarnwick::cli

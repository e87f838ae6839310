#pragma once

#include "app/image_session.hpp"
#include "present/string_grid_helper.hpp"

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace tarnwick::cli {

/// How a command reads the times of an image: the year era ("auto", "recorded" or a first
/// year) and the zone of its tables ("utc", "local" or a zone name).
struct TimeOptions {
  std::string YearEra = "auto";
  std::string Zone = "utc";
};

/// Adds --year-era to Command, stored in Options; a text that is no era is a usage error.
void AddYearEraOption(CLI::App* Command, TimeOptions& Options);
/// Adds --tz to Command, stored in Options; an unknown zone is a usage error.
void AddZoneOption(CLI::App* Command, TimeOptions& Options);

/// Adds --start to a command that generates a sample image: the first track's start as
/// YYYY-MM-DD (06:21:52 that day) or YYYY-MM-DDThh:mm:ssZ, in UTC.
void AddSampleStartOption(CLI::App* Command, std::optional<DateTime>& Start);

/// Opens the pair that BASE names (trip, trip.dat or trip.bin) by the rules the viewer shares
/// (app::ImageSession::Open), with the years and zone of Options. Every failure raises an
/// error whose message names the file; warnings of the load (a block file from another save)
/// go to standard error.
std::unique_ptr<app::ImageSession> OpenImage(const std::string& Base, const TimeOptions& Options);

/// Writes a table: the header row, then one line per data item, cells separated by tabs, as
/// WriteTableLines makes them (the viewer copies selected rows with the same lines).
void WriteTable(std::ostream& Out, const TStringGridHelper& Table);

/// Checks a zone option's text (utc, local or a zone name): an unknown zone is a usage error.
CLI::Validator ZoneValidator(const std::string& Description);

/// Checks an option that numbers things from 1 (tracks, loggers): a usage error such as
/// "tracks count from 1, not 0" for a number below 1. Things names what is counted.
CLI::Validator CountsFromOne(const std::string& Things);

/// Adds the commands that read saved images (info, tracks, points, ...) and "sample".
void AddImageCommands(CLI::App& App);
/// Adds the commands that talk to loggers: devices, download, simulate.
void AddDeviceCommands(CLI::App& App);
/// Adds the GPX commands: export, gpx-info.
void AddGpxCommands(CLI::App& App);
/// Adds "stats": the statistics of the tracks of an image or a GPX file.
void AddStatsCommand(CLI::App& App);
/// Adds "geotag": the tracks' positions written into photos.
void AddGeotagCommand(CLI::App& App);

/// Lets the GPX reader keep heart rate, cadence and wheel speed (TrackPointExtension); once
/// per program, however often it is called.
void RegisterGpxExtensions();

} // namespace tarnwick::cli

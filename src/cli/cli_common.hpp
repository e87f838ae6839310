#pragma once

#include "logger/tracks.hpp"
#include "logger/whole_data.hpp"
#include "present/string_grid_helper.hpp"

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <string>

namespace tarnwick::cli {

/// A saved image and its decoded form, loaded for one command.
struct LoadedImage {
  TIGotUWholeData Data;
  std::unique_ptr<TIGotUPoints> Points;
};

/// Loads the pair that BASE names (trip, trip.dat or trip.bin). Unlike the viewer, the
/// command line refuses an image whose status file is missing, because it could not tell
/// the image's size; every failure raises an error whose message names the file. Warnings of
/// the load (a block file from another save) go to standard error.
LoadedImage LoadImage(const std::string& Base);

/// Track Number (1-based) of the image; raises an error naming the number of tracks otherwise.
const TIGotUTrack& TrackByNumber(const LoadedImage& Image, int Number);

/// Writes a table: the header row, then one line per data item, cells separated by tabs.
/// Control characters inside a cell are escaped (EscapeControls) so that every record stays
/// on one line and nothing from a file reaches the terminal raw.
void WriteTable(std::ostream& Out, const TStringGridHelper& Table);

/// Checks an option that numbers things from 1 (tracks, loggers): a usage error such as
/// "tracks count from 1, not 0" for a number below 1. Things names what is counted.
CLI::Validator CountsFromOne(const std::string& Things);

/// Adds the commands that read saved images (info, tracks, points, ...) and "sample".
void AddImageCommands(CLI::App& App);
/// Adds the commands that talk to loggers: devices, download, simulate.
void AddDeviceCommands(CLI::App& App);
/// Adds the GPX commands: export, gpx-info.
void AddGpxCommands(CLI::App& App);

} // namespace tarnwick::cli

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Appends Value with exactly Decimals digits after the point: the text AppendFixed gives
/// ("%.Nf", exact ties to even, "." whatever the locale), found faster for the 0 to 3
/// decimals and the magnitudes a GPX file holds.
void AppendGPXFixed(std::string& Out, double Value, int Decimals);

/// The text AppendGPXFixed appends.
std::string FormatGPXFixed(double Value, int Decimals);

/// A decimal number as GPX writes it ("." as the point, optional sign and exponent, blanks
/// around it ignored); empty for anything else, including "NaN", "INF" and values beyond the
/// range of a double. Independent of the C locale.
std::optional<double> TryGPXDecimal(std::string_view Text);

/// Whether Text is a decimal integer (optional sign, digits; blanks around it ignored),
/// whatever its size.
bool IsGPXInteger(std::string_view Text);

/// The value of a decimal integer that fits 64 bits; empty otherwise.
std::optional<int64_t> TryGPXInteger(std::string_view Text);

/// Text without the XML blanks (space, tab, CR, LF) around it.
std::string_view TrimXmlBlanks(std::string_view Text);

/// Raises ConvertError "WHERE: invalid WHAT "TEXT"" for a value that does not convert; WHERE
/// is a node's Location ("in.gpx, line 12").
[[noreturn]] void GPXValueError(std::string_view What, std::string_view Text,
                                const std::string& Where);

} // namespace tarnwick

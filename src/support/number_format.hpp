#pragma once

#include <string>

namespace tarnwick {

/// Value with exactly Decimals digits after the separator ("%.Nf"), independent of the
/// C locale; DecimalSeparator replaces the ".".
std::string FormatFixed(double Value, int Decimals, char DecimalSeparator = '.');

/// Appends the same text as FormatFixed to Out.
void AppendFixed(std::string& Out, double Value, int Decimals, char DecimalSeparator = '.');

/// Appends Value in decimal to Out.
void AppendInt(std::string& Out, long long Value);

/// Appends Value in decimal, right-aligned in Width places ("%Wd").
void AppendIntPadded(std::string& Out, long long Value, int Width, char Pad = ' ');

/// Appends Value with at most Digits significant digits in plain decimal notation (never an
/// exponent), trailing zeros after the point dropped and no point when the value is whole:
/// 35.6812345, 0, -0.5, 0.000001. Independent of the C locale; "NAN", "INF", "-INF" for the
/// values that have no digits.
void AppendSignificant(std::string& Out, double Value, int Digits);

/// The text AppendSignificant appends.
std::string FormatSignificant(double Value, int Digits);

} // namespace tarnwick

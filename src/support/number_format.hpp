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

} // namespace tarnwick

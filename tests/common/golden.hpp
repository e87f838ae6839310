#pragma once

#include <string>

namespace tarnwick::test {

/// Compares Actual with the golden file Name under tests/data byte for byte; returns an empty
/// text when equal, else where the first difference is (line, column, both lines). With the
/// environment variable TARNWICK_UPDATE_GOLDEN=1 it writes Actual as the new golden file.
std::string CompareGolden(const std::string& Name, const std::string& Actual);

} // namespace tarnwick::test

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

/// Turns the bytes of an XML file into the UTF-8 text the parser reads, honouring the
/// byte-order mark and the encoding its declaration names: UTF-8 (also US-ASCII, its subset),
/// UTF-16 with a byte-order mark in either byte order, ISO-8859-1 and windows-1252. Any other
/// encoding, bytes that are not text in the encoding, and characters that XML 1.0 does not
/// allow raise ConvertError "SOURCE, line N: ..." naming SourceName. A UTF-8 file is checked
/// in place without a copy; the byte-order mark is dropped.
std::string DecodeXmlText(std::string Bytes, const std::string& SourceName);
/// DecodeXmlText for bytes that stay where they are: a view of them (the byte-order mark left
/// out) when they are UTF-8 already, as files mostly are; otherwise Converted receives the
/// text, and the view is of it.
std::string_view DecodeXmlTextInPlace(std::string_view Bytes, std::string& Converted,
                                      const std::string& SourceName);

/// "SourceName, line N" for the byte at Offset of Text, counting lines from 1.
std::string XmlLineLocation(const std::string& SourceName, std::string_view Text, size_t Offset);

} // namespace tarnwick

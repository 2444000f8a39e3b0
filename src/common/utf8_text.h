#pragma once
// Text from outside (a serial, a station name, a path, an analyzer's reply)
// checked or made safe as UTF-8 before it goes into JSON, XML or HTML.
#include <string>
#include <string_view>

namespace multitone {

bool IsValidUtf8(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD, and every control character (C0, DEL, C1) but tab and
// line feed replaced by U+FFFD as well: fit for any document.
std::string PrintableUtf8(std::string_view text);

// The number of characters (code points) of valid UTF-8 text.
std::size_t Utf8Length(std::string_view text);

}  // namespace multitone

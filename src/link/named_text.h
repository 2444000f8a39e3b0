#pragma once
// A command text as the link's error messages name it ("writing TEXT",
// "reply to TEXT"): a long one (an HTML table) is cut short after 60
// characters with "...", so the error stays one readable line.
#include <string>
#include <string_view>

namespace multitone {

std::string Named(std::string_view text);

}  // namespace multitone

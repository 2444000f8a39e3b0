#pragma once
// "multitone serve --line": the line page over a results store (see
// server/line_page.h), until SIGINT or SIGTERM.
#include "server/line_page.h"

namespace multitone {

// Exit status: 0 after a signal, 1 when the page cannot listen or the store
// cannot be opened, as serve's.
int ServeLine(const server::LinePageConfig& config);

}  // namespace multitone

#pragma once
// The analyzer's commands: a const table of {pattern, parameter counts,
// handler}. The dispatcher matches a header against the patterns, enforces
// the parameter counts (-108, -109) and queues what a handler throws; a
// handler only does its command's work.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/error_queue.h"
#include "sim/header_pattern.h"
#include "sim/instrument.h"
#include "sim/status_model.h"

namespace multitone::sim {

// What a handler may touch, and where its answer goes.
struct CommandContext {
  Instrument& instrument;
  ErrorQueue& errors;
  StatusModel& status;
  bool output_pending;               // replies of earlier messages unread (MAV)
  std::vector<std::string> answers;  // one per query of the message
};

struct Call {
  const ProgramUnit& unit;
  Suffixes suffixes;  // of the pattern's "#" nodes; 1 where none is written
  int argument;       // the table entry's own argument (a channel, ...)

  const Parameter& At(std::size_t i) const { return unit.parameters[i]; }
};

using Handler = void (*)(CommandContext&, const Call&);

struct Command {
  std::string_view pattern;
  std::uint16_t min_parameters;
  std::uint16_t max_parameters;
  Handler handler;
  int argument = 0;
};

std::span<const Command> CommandTable();

// "*IDN?" answer.
std::string_view IdentityText();

}  // namespace multitone::sim

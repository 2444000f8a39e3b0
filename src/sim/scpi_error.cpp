#include "sim/scpi_error.h"

namespace multitone::sim {

std::string_view ScpiText(ScpiCode code) {
  switch (code) {
    case ScpiCode::NoError: return "No error";
    case ScpiCode::InvalidCharacter: return "Invalid character";
    case ScpiCode::SyntaxError: return "Syntax error";
    case ScpiCode::DataTypeError: return "Data type error";
    case ScpiCode::ParameterNotAllowed: return "Parameter not allowed";
    case ScpiCode::MissingParameter: return "Missing parameter";
    case ScpiCode::UndefinedHeader: return "Undefined header";
    case ScpiCode::HeaderSuffixOutOfRange: return "Header suffix out of range";
    case ScpiCode::InvalidSuffix: return "Invalid suffix";
    case ScpiCode::InvalidStringData: return "Invalid string data";
    case ScpiCode::DataOutOfRange: return "Data out of range";
    case ScpiCode::IllegalParameterValue: return "Illegal parameter value";
    case ScpiCode::QueueOverflow: return "Queue overflow";
    case ScpiCode::InputBufferOverrun: return "Input buffer overrun";
    case ScpiCode::QueryInterrupted: return "Query INTERRUPTED";
    case ScpiCode::QueryUnterminated: return "Query UNTERMINATED";
  }
  return "Unknown error";
}

bool IsCommandError(ScpiCode code) {
  const int value = static_cast<int>(code);
  return value <= -100 && value >= -199;
}

}  // namespace multitone::sim

#include "common/run_error.h"

namespace multitone {

std::string_view ErrorTitle(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::InvalidFloatingPoint: return "invalid floating-point operation";
    case ErrorNumber::Overflow: return "overflow";
    case ErrorNumber::IndexOutOfRange: return "index out of range";
    case ErrorNumber::DivisionByZero: return "division by zero";
    case ErrorNumber::TypeMismatch: return "value cannot be converted";
    case ErrorNumber::LinkCannotBeCreated: return "analyzer link cannot be created";
    case ErrorNumber::AnalyzerOperationFailed: return "analyzer operation failed";
  }
  return "error";
}

RunError::RunError(ErrorNumber number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

void RunError::SetStep(std::string_view step) {
  if (step_.empty()) step_ = step;
}

std::string RunError::Report() const {
  std::string line = "error " + std::to_string(static_cast<int>(number_)) + ": ";
  if (!step_.empty()) line += step_ + ": ";
  line += description_.empty() ? std::string(ErrorTitle(number_)) : description_;
  return line;
}

}  // namespace multitone

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

std::string ErrorLine(int number, std::string_view step, std::string_view text) {
  std::string line = "error " + std::to_string(number) + ": ";
  if (!step.empty()) line += std::string(step) + ": ";
  return line + std::string(text);
}

std::string RunError::Report() const {
  return ErrorLine(static_cast<int>(number_), step_,
                   description_.empty() ? ErrorTitle(number_) : std::string_view(description_));
}

}  // namespace multitone

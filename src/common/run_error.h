#pragma once
// The one way a run fails: an error number the operator can look up and a
// sentence that says what went wrong. The step that was running is added by
// the run itself, so the report reads "error 440: AcquireSpectra: ...".
#include <stdexcept>
#include <string>
#include <string_view>

namespace multitone {

enum class ErrorNumber : int {
  InvalidFloatingPoint = 5,
  Overflow = 6,
  IndexOutOfRange = 9,
  DivisionByZero = 11,
  TypeMismatch = 13,              // a value that cannot be converted
  LinkCannotBeCreated = 429,
  AnalyzerOperationFailed = 440,
};

// The standard wording of an error number ("index out of range").
std::string_view ErrorTitle(ErrorNumber number);

// The one form of an error line, wherever it is shown or read back:
// "error 440: AcquireSpectra: what was seen" ("error N: what" with no step).
std::string ErrorLine(int number, std::string_view step, std::string_view text);

class RunError : public std::runtime_error {
 public:
  RunError(ErrorNumber number, std::string description);

  ErrorNumber Number() const { return number_; }
  const std::string& Description() const { return description_; }
  const std::string& Step() const { return step_; }
  // Names the step in which the error happened; the first name given sticks.
  void SetStep(std::string_view step);
  // One line for the operator: "error N: Step: description".
  std::string Report() const;

 private:
  ErrorNumber number_;
  std::string description_;
  std::string step_;
};

}  // namespace multitone

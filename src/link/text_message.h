#pragma once
// A text reply that arrives as one whole message (VXI-11, HiSLIP), read by
// the same rules whatever carried it: the message without one final LF. One
// that starts as a binary block ("#" and a digit), holds a second line or
// runs over 1 MiB fails with RunError 440 and a sentence that says what was
// seen, after `what`.
#include <string>

namespace multitone {

std::string TextOfMessage(std::string message, const std::string& what);

}  // namespace multitone

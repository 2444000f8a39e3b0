#include "sim/scpi_parser.h"

#include "sim/scpi_error.h"

namespace multitone::sim {
namespace {

constexpr std::size_t kMaxSuffixDigits = 6;

// NUL counts as white space, as IEEE 488.2 reads it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

[[noreturn]] void Fail(ScpiCode code, std::string_view detail) {
  throw ScpiFailure(code, std::string(detail));
}

HeaderNode ParseNode(std::string_view text, std::string_view header) {
  if (text.empty()) Fail(ScpiCode::SyntaxError, header);
  std::size_t digits_from = text.size();
  while (digits_from > 0 && IsDigit(text[digits_from - 1])) --digits_from;
  if (digits_from == 0 || !IsLetter(text.front())) Fail(ScpiCode::UndefinedHeader, header);
  HeaderNode node;
  for (const char c : text.substr(0, digits_from)) {
    if (!IsLetter(c) && !IsDigit(c) && c != '_') Fail(ScpiCode::InvalidCharacter, header);
    node.mnemonic += Upper(c);
  }
  const std::string_view digits = text.substr(digits_from);
  if (digits.size() > kMaxSuffixDigits) Fail(ScpiCode::HeaderSuffixOutOfRange, header);
  for (const char c : digits) node.suffix = node.suffix * 10 + (c - '0');
  if (!digits.empty() && node.suffix == 0) Fail(ScpiCode::HeaderSuffixOutOfRange, header);
  return node;
}

Parameter ParseParameter(std::string_view token, std::string_view header) {
  token = Trim(token);
  if (token.empty()) Fail(ScpiCode::SyntaxError, std::string(header) + ": empty parameter");
  Parameter parameter;
  const char quote = token.front();
  if (quote != '\'' && quote != '"') {
    for (const char c : token) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u >= 0x7f) Fail(ScpiCode::InvalidCharacter, header);
    }
    parameter.text = std::string(token);
    return parameter;
  }
  parameter.quoted = true;
  std::size_t i = 1;
  for (;;) {
    if (i >= token.size()) Fail(ScpiCode::InvalidStringData, std::string(header) + ": unterminated string");
    if (token[i] == quote) {
      if (i + 1 < token.size() && token[i + 1] == quote) {
        parameter.text += quote;
        i += 2;
        continue;
      }
      break;
    }
    parameter.text += token[i++];
  }
  if (i + 1 != token.size()) Fail(ScpiCode::SyntaxError, std::string(header) + ": text after a string");
  return parameter;
}

// Splits at `separator` where it stands outside quotes ('...' or "...",
// a doubled quote inside closing and reopening them).
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == separator) {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace

std::vector<std::string_view> SplitUnits(std::string_view message) {
  return SplitOutsideQuotes(message, ';');
}

bool ParseUnit(std::string_view unit, std::vector<HeaderNode>& path, ProgramUnit& out) {
  unit = Trim(unit);
  if (unit.empty()) return false;
  std::size_t header_end = 0;
  while (header_end < unit.size() && !IsBlank(unit[header_end])) ++header_end;
  std::string_view header = unit.substr(0, header_end);
  const std::string_view rest = Trim(unit.substr(header_end));

  out = ProgramUnit();
  out.header = std::string(header.substr(0, 64));
  if (!header.empty() && header.back() == '?') {
    out.query = true;
    header.remove_suffix(1);
  }
  if (header.find('?') != std::string_view::npos) Fail(ScpiCode::SyntaxError, out.header);

  if (!header.empty() && header.front() == '*') {
    out.common = true;
    const HeaderNode node = ParseNode(header.substr(1), out.header);
    if (node.suffix != 0) Fail(ScpiCode::UndefinedHeader, out.header);
    out.nodes.push_back({"*" + node.mnemonic, 0});
  } else {
    const bool from_root = !header.empty() && header.front() == ':';
    if (from_root) header.remove_prefix(1);
    if (header.empty()) Fail(ScpiCode::SyntaxError, out.header.empty() ? "no header" : out.header);
    if (!from_root) out.nodes = path;
    std::size_t start = 0;
    for (;;) {
      const std::size_t colon = header.find(':', start);
      out.nodes.push_back(ParseNode(header.substr(start, colon - start), out.header));
      if (colon == std::string_view::npos) break;
      start = colon + 1;
    }
    path.assign(out.nodes.begin(), out.nodes.end() - 1);
  }

  if (!rest.empty()) {
    const std::vector<std::string_view> pieces = SplitOutsideQuotes(rest, ',');
    if (pieces.size() > kMaxParameters) {
      Fail(ScpiCode::ParameterNotAllowed, out.header + ": " + std::to_string(pieces.size()) + " parameters");
    }
    for (const std::string_view piece : pieces) {
      out.parameters.push_back(ParseParameter(piece, out.header));
    }
  }
  return true;
}

}  // namespace multitone::sim

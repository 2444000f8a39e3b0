#include "verdict/golden_entry_text.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "verdict/limits.h"

namespace multitone {
namespace {

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", value);
  // A whole number ("5") is a TOML integer, which reads back as the same value.
  return text;
}

bool BareKey(std::string_view key) {
  if (key.empty()) return false;
  for (const char c : key) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string Key(std::string_view key) {
  if (BareKey(key)) return std::string(key);
  std::string quoted = "\"";
  for (const char c : key) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The key path of a table header line ("[golden.unit.\"A B\".left]"), or
// nothing for any other line (arrays of tables, values, array rows).
std::optional<std::vector<std::string>> HeaderPath(std::string_view line) {
  std::size_t i = 0;
  const auto blanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  };
  blanks();
  if (i >= line.size() || line[i] != '[') return std::nullopt;
  ++i;
  if (i < line.size() && line[i] == '[') return std::nullopt;
  std::vector<std::string> path;
  for (;;) {
    blanks();
    if (i >= line.size()) return std::nullopt;
    std::string part;
    if (line[i] == '"' || line[i] == '\'') {
      const char quote = line[i++];
      while (i < line.size() && line[i] != quote) {
        if (quote == '"' && line[i] == '\\' && i + 1 < line.size()) ++i;
        part += line[i++];
      }
      if (i >= line.size()) return std::nullopt;
      ++i;
    } else {
      while (i < line.size() && BareKey(line.substr(i, 1))) part += line[i++];
      if (part.empty()) return std::nullopt;
    }
    path.push_back(part);
    blanks();
    if (i < line.size() && line[i] == '.') {
      ++i;
      continue;
    }
    if (i < line.size() && line[i] == ']') break;
    return std::nullopt;
  }
  ++i;
  blanks();
  if (i < line.size() && line[i] != '#') return std::nullopt;
  return path;
}

bool IsBlankOrComment(std::string_view line) {
  for (const char c : line) {
    if (c == '#') return true;
    if (c != ' ' && c != '\t' && c != '\r') return false;
  }
  return true;
}

// `content` without the tables of golden unit `serial`.
std::string WithoutEntry(std::string_view content, const std::string& serial) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < content.size();) {
    const std::size_t end = content.find('\n', start);
    const std::size_t stop = end == std::string_view::npos ? content.size() : end + 1;
    lines.push_back(content.substr(start, stop - start));
    start = stop;
  }
  std::vector<bool> keep(lines.size(), true);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto path = HeaderPath(lines[i]);
    if (!path || path->size() < 3 || (*path)[0] != "golden" || (*path)[1] != "unit" || (*path)[2] != serial) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !HeaderPath(lines[end])) ++end;
    // Comments and blank lines just before the next table belong to it.
    std::size_t last = end;
    while (last > i + 1 && IsBlankOrComment(lines[last - 1])) --last;
    for (std::size_t k = i; k < last; ++k) keep[k] = false;
    // The blank line this entry was written after goes with it.
    if (i > 0 && keep[i - 1] && lines[i - 1].find_first_not_of(" \t\r\n") == std::string_view::npos)
      keep[i - 1] = false;
    i = end - 1;
  }
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (keep[i]) out += lines[i];
  }
  return out;
}

bool SameReferences(const GoldenUnit& a, const GoldenUnit& b) {
  const auto close = [](const std::optional<double>& x, const std::optional<double>& y) {
    if (x.has_value() != y.has_value()) return false;
    return !x || std::fabs(*x - *y) <= 1e-8 * std::max(1.0, std::fabs(*y));
  };
  if (!close(a.pitch_error, b.pitch_error) || !close(a.tolerance, b.tolerance)) return false;
  for (std::size_t c = 0; c < 2; ++c) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      if (!close(a.figures[c][f], b.figures[c][f])) return false;
    }
    for (std::size_t t = 0; t < kGoldenTones; ++t) {
      if (!close(a.response[c][t], b.response[c][t])) return false;
    }
  }
  return true;
}

bool SameBounds(const FigureLimit& a, const FigureLimit& b) {
  return a.min == b.min && a.max == b.max && a.marginal == b.marginal;
}

// Everything but the golden section.
bool SameJudging(const Limits& a, const Limits& b) {
  if (a.product != b.product || a.revision != b.revision || a.serial_pattern != b.serial_pattern ||
      !SameBounds(a.pitch_error, b.pitch_error) || a.response_mask.size() != b.response_mask.size()) {
    return false;
  }
  for (std::size_t c = 0; c < 2; ++c) {
    for (std::size_t f = 0; f < kFigureCount; ++f) {
      if (!SameBounds(a.figures[c][f], b.figures[c][f])) return false;
    }
  }
  for (std::size_t i = 0; i < a.response_mask.size(); ++i) {
    const MaskPoint& p = a.response_mask[i];
    const MaskPoint& q = b.response_mask[i];
    if (p.hz != q.hz || p.low_db != q.low_db || p.high_db != q.high_db) return false;
  }
  return true;
}

}  // namespace

std::string GoldenEntryText(const GoldenUnit& unit) {
  const std::string name = "golden.unit." + Key(unit.serial);
  std::string text = "\n[" + name + "]\n";
  if (unit.pitch_error) text += "pitch_error = " + Number(*unit.pitch_error) + "\n";
  if (unit.tolerance) text += "tolerance = " + Number(*unit.tolerance) + "\n";
  for (const Channel channel : kChannels) {
    const std::size_t c = channel == Channel::Left ? 0 : 1;
    std::string body;
    for (const Figure figure : kFigures) {
      if (const auto& value = unit.Of(channel, figure))
        body += std::string(FigureName(figure)) + " = " + Number(*value) + "\n";
    }
    bool any_tone = false;
    std::string tones;
    for (std::size_t t = 0; t < kGoldenTones; ++t) {
      tones += (t ? ", " : "") + (unit.response[c][t] ? Number(*unit.response[c][t]) : std::string("nan"));
      any_tone = any_tone || unit.response[c][t].has_value();
    }
    if (any_tone) body += "response = [" + tones + "]\n";
    if (!body.empty()) text += "[" + name + "." + std::string(ChannelName(channel)) + "]\n" + body;
  }
  return text;
}

std::string WithGoldenEntry(std::string_view content, const std::string& file, const GoldenUnit& unit,
                            const std::optional<NewGoldenSection>& section) {
  const Limits before = ParseLimits(content, file);
  const auto refuse = [&](const std::string& why) { return LimitsError(file + ": cannot rewrite safely: " + why); };
  std::string text = before.golden.Find(unit.serial) ? WithoutEntry(content, unit.serial) : std::string(content);
  if (!text.empty() && text.back() != '\n') text += '\n';
  if (!before.golden.present) {
    if (!section || (section->every.empty() && !section->every_units)) {
      throw refuse("it has no [golden] section yet: give its interval (--every 8h and/or --every-units 500)");
    }
    text += "\n[golden]\n";
    if (!section->every.empty()) text += "every = \"" + section->every + "\"\n";
    if (section->every_units) text += "every_units = " + std::to_string(*section->every_units) + "\n";
    text += "tolerance = " + Number(section->tolerance) + "\n";
  }
  text += GoldenEntryText(unit);
  Limits after;
  try {
    after = ParseLimits(text, file);
  } catch (const LimitsError& error) {
    throw refuse("the [golden] section is not written as [golden] and [golden.unit.SERIAL] tables (" +
                 std::string(error.what()) + "); add the entry by hand");
  }
  // Only this entry may have changed.
  const GoldenUnit* written = after.golden.Find(unit.serial);
  std::size_t others = 0;
  for (const GoldenUnit& u : before.golden.units) {
    if (u.serial == unit.serial) continue;
    const GoldenUnit* kept = after.golden.Find(u.serial);
    if (kept == nullptr || !SameReferences(*kept, u)) {
      throw refuse("rewriting " + unit.serial + "'s entry would change " + u.serial + "'s; edit the file by hand");
    }
    ++others;
  }
  if (written == nullptr || !SameReferences(*written, unit) || after.golden.units.size() != others + 1 ||
      !SameJudging(before, after)) {
    throw refuse(unit.serial + "'s entry is not written as [golden.unit." + Key(unit.serial) +
                 "] tables; edit it by hand");
  }
  return text;
}

}  // namespace multitone

#include "verdict/limits.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include <toml++/toml.h>

#include "common/toml_document.h"
#include "verdict/control_section.h"
#include "verdict/golden_section.h"
#include "verdict/limits_file_reading.h"
#include "verdict/serial_pattern.h"
#include "verdict/sha256.h"

namespace multitone {
namespace {

using limits_file::Fail;
using limits_file::Number;
using limits_file::Table;
using limits_file::Text;

// min, max and marginal of one table, over `base` (a channel's override
// keeps what it does not give).
FigureLimit ReadBounds(const std::string& file, const std::string& name, const toml::table& table,
                       FigureLimit base, bool channels_allowed) {
  // This table's bound that comes last in the file, where a min above max is shown.
  const toml::source_region* bound_here = nullptr;
  auto note_bound = [&](const toml::source_region& where) {
    if (!bound_here || std::pair(where.begin.line, where.begin.column) >
                           std::pair(bound_here->begin.line, bound_here->begin.column)) {
      bound_here = &where;
    }
  };
  for (const auto& [key, node] : table) {
    const std::string k(key.str());
    if (k == "min") {
      base.min = Number(file, name + ".min", node);
      note_bound(key.source());
    } else if (k == "max") {
      base.max = Number(file, name + ".max", node);
      note_bound(key.source());
    } else if (k == "marginal") {
      base.marginal = Number(file, name + ".marginal", node);
      if (base.marginal < 0) Fail(file, node.source(), name + ".marginal must not be negative");
    } else if (channels_allowed && (k == "left" || k == "right")) {
      Table(file, name + "." + k, node);  // read by the caller
    } else {
      Fail(file, key.source(), "unknown key '" + k + "' in [" + name + "] (expected min, max, marginal" +
                                   std::string(channels_allowed ? ", left, right)" : ")"));
    }
  }
  if (base.min && base.max && *base.min > *base.max) {
    std::ostringstream what;
    what << name << ": min " << *base.min << " is above max " << *base.max;
    Fail(file, bound_here ? *bound_here : table.source(), what.str());
  }
  return base;
}

std::vector<MaskPoint> ReadMask(const std::string& file, const toml::table& table) {
  std::vector<MaskPoint> mask;
  for (const auto& [key, node] : table) {
    if (key.str() != "mask") {
      Fail(file, key.source(), "unknown key '" + std::string(key.str()) + "' in [response] (expected mask)");
    }
    const auto* points = node.as_array();
    if (points == nullptr) Fail(file, node.source(), "response.mask must be an array of [Hz, low dB, high dB]");
    for (const auto& point : *points) {
      const auto* triple = point.as_array();
      if (triple == nullptr || triple->size() != 3) {
        Fail(file, point.source(), "each response.mask point must be [Hz, low dB, high dB]");
      }
      MaskPoint p{Number(file, "the point's Hz", (*triple)[0]),
                  Number(file, "the point's low dB", (*triple)[1]),
                  Number(file, "the point's high dB", (*triple)[2])};
      if (!(p.hz > 0)) Fail(file, (*triple)[0].source(), "a mask frequency must be above 0 Hz");
      if (p.low_db > p.high_db) Fail(file, point.source(), "a mask point's low dB is above its high dB");
      if (!mask.empty() && !(p.hz > mask.back().hz)) {
        Fail(file, point.source(), "response.mask must be in ascending Hz");
      }
      mask.push_back(p);
    }
  }
  return mask;
}

}  // namespace

Limits ParseLimits(std::string_view content, const std::string& file) {
  toml::table root;
  try {
    root = ParseTomlDocument(content, file);
  } catch (const toml::parse_error& error) {
    Fail(file, error.source(), std::string(error.description()));
  }

  Limits limits;
  for (const auto& [key, node] : root) {
    const std::string k(key.str());
    if (k == "product") {
      limits.product = Text(file, k, node);
    } else if (k == "revision") {
      limits.revision = Text(file, k, node);
    } else if (k == "serial_pattern") {
      limits.serial_pattern = Text(file, k, node);
      if (const auto problem = PatternProblem(limits.serial_pattern)) {
        Fail(file, node.source(), "serial_pattern is not a valid regular expression: " + *problem);
      }
    } else if (k == kPitchErrorName) {
      limits.pitch_error = ReadBounds(file, k, Table(file, k, node), {}, false);
    } else if (k == kResponseName) {
      limits.response_mask = ReadMask(file, Table(file, k, node));
    } else if (k == "control") {
      limits.control = ReadControlSection(file, node);
    } else if (k == "golden") {
      limits.golden = ReadGoldenSection(file, node);
    } else {
      const auto figure = std::find_if(kFigures.begin(), kFigures.end(),
                                       [&](Figure f) { return FigureName(f) == k; });
      if (figure == kFigures.end()) Fail(file, key.source(), "unknown key '" + k + "'");
      const toml::table& table = Table(file, k, node);
      const FigureLimit both = ReadBounds(file, k, table, {}, true);
      for (const Channel channel : kChannels) {
        FigureLimit limit = both;
        if (const auto* override_node = table.get(ChannelName(channel))) {
          const std::string name = k + "." + std::string(ChannelName(channel));
          limit = ReadBounds(file, name, Table(file, name, *override_node), both, false);
        }
        limits.figures[channel == Channel::Left ? 0 : 1][static_cast<std::size_t>(*figure)] = limit;
      }
    }
  }
  return limits;
}

namespace {

// A limits file is a few kilobytes; anything near this is not one.
constexpr std::size_t kLargestLimitsFile = 1 << 20;

bool SetsAnyLimit(const Limits& limits) {
  if (!limits.pitch_error.Empty() || !limits.response_mask.empty()) return true;
  for (const auto& channel : limits.figures) {
    for (const FigureLimit& figure : channel) {
      if (!figure.Empty()) return true;
    }
  }
  return false;
}

}  // namespace

LimitsSource LoadLimits(const std::string& file) {
  const auto refuse = [&](const std::string& why) { return LimitsError(file + ": " + why); };
  // Checked before the file is opened: a FIFO must not hang the station, a
  // device must not be read without end, a folder is no empty file.
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) {
    throw refuse(std::string("cannot read the limits file: ") + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    throw refuse(S_ISDIR(status.st_mode) ? "is a folder, not a limits file"
                                         : "is not a regular file (a device or a FIFO), not a limits file");
  }
  if (static_cast<std::uintmax_t>(status.st_size) > kLargestLimitsFile) {
    throw refuse("is larger than 1 MiB: not a limits file");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw refuse(std::string("cannot read the limits file: ") + std::strerror(errno));
  // Read in pieces, as far as one byte past the largest allowed (the file may
  // have grown since stat): a buffer of the largest size would cost every
  // run a megabyte of memory to clear.
  std::string content;
  content.reserve(static_cast<std::size_t>(status.st_size) + 1);
  std::array<char, 16 * 1024> piece;
  while (content.size() <= kLargestLimitsFile) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    if (in.gcount() <= 0) break;
    content.append(piece.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw refuse(std::string("cannot read the limits file: ") + std::strerror(errno));
  if (content.size() > kLargestLimitsFile) throw refuse("is larger than 1 MiB: not a limits file");
  LimitsSource source;
  source.file = file;
  source.content = std::move(content);
  source.sha256 = Sha256Hex(source.content);
  source.limits = ParseLimits(source.content, file);
  // A file that sets no bound would pass every unit.
  if (!SetsAnyLimit(source.limits)) {
    throw refuse("sets no limit at all (no figure, pitch_error or response mask): it would pass every unit");
  }
  return source;
}

std::optional<std::pair<double, double>> MaskBoundsAt(const std::vector<MaskPoint>& mask, double hz) {
  if (mask.empty() || !(hz >= mask.front().hz) || !(hz <= mask.back().hz)) return std::nullopt;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    if (mask[i].hz == hz) return std::pair{mask[i].low_db, mask[i].high_db};
    if (i + 1 < mask.size() && hz < mask[i + 1].hz) {
      const MaskPoint& a = mask[i];
      const MaskPoint& b = mask[i + 1];
      const double t = std::log(hz / a.hz) / std::log(b.hz / a.hz);
      return std::pair{a.low_db + t * (b.low_db - a.low_db), a.high_db + t * (b.high_db - a.high_db)};
    }
  }
  return std::nullopt;
}

}  // namespace multitone

#include "app/full_program.h"

#include <arpa/inet.h>

#include <string>

#include "common/run_error.h"
#include "link/analyzer_address.h"
#include "store/results_url.h"

namespace multitone {
namespace {

// A numeric IPv4 or IPv6 address, which is resolved without any name service.
bool IsNumericHost(const std::string& host) {
  unsigned char address[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, host.c_str(), address) == 1 || ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

bool AnalyzerNeedsFullProgram(const std::string& text) {
  AnalyzerAddress address;
  try {
    address = ParseAnalyzerAddress(text);
  } catch (const RunError&) {
    return false;
  }
  using Kind = AnalyzerAddress::Kind;
  switch (address.kind) {
    case Kind::Simulated:
    case Kind::Vxi11:
      return true;
    case Kind::Socket:
    case Kind::Hislip:
      return !IsNumericHost(address.host);
    case Kind::GpibController:
      return address.path.empty() && !IsNumericHost(address.host);
    case Kind::Serial:
    case Kind::Replay:
      return false;
  }
  return true;
}

}  // namespace

bool NeedsFullProgram(const ProgramOptions& options) {
  if (!options.results.empty()) {
    const auto url = ParseResultsUrl(options.results);
    if (url && url->engine == Engine::Postgres) return true;
  }
  return AnalyzerNeedsFullProgram(options.analyzer);
}

}  // namespace multitone

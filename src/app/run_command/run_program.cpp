#include "app/run_command/run_program.h"

#include <iostream>
#include <memory>
#include <vector>

#include "app/doors/embedded_analyzer.h"
#include "app/run_command/progress_line.h"
#include "app/run_command/run_recording.h"
#include "app/setup/station_setup.h"
#include "app/run_command/unit_outputs.h"
#include "common/durable_file.h"
#include "link/analyzer_address.h"
#include "output/alarm_text.h"
#include "output/verdict_line.h"
#include "station/alarm_check.h"
#include "station/finish_unit.h"
#include "station/golden_gate.h"
#include "station/unit_run.h"
#include "station/unit_names.h"
#include "store/kept_alarms.h"
#include "store/store_session.h"
#include "store/store_unit.h"

namespace multitone {
namespace {

// A serial is at most 64 characters: a longer line is refused without
// reading on (standard input may be a device that never ends).
constexpr std::size_t kLongestSerialLine = 256;

// --serial -: one line from standard input, as a barcode scanner types it,
// after the station's prompt. Empty with `too_long` set when the line is
// longer than any serial.
std::string ReadSerialLine(const std::string& prompt, bool& too_long) {
  if (!prompt.empty()) std::cerr << prompt << ' ' << std::flush;
  std::string line;
  too_long = false;
  for (int c = std::cin.get(); c != EOF && c != '\n'; c = std::cin.get()) {
    if (line.size() == kLongestSerialLine) {
      too_long = true;
      return {};
    }
    line += static_cast<char>(c);
  }
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int ExitStatus(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
    case Verdict::Marginal:
    case Verdict::NotJudged: return 0;
    case Verdict::Error: return 1;
    case Verdict::Fail: return 3;
  }
  return 1;
}

int Refuse(const std::string& why) {
  std::cerr << "multitone: " << why << '\n';
  return 2;
}

// With stop_on_alarm: 4 while one of the station's alarms is open (or the
// store cannot say), else 0. A store not there yet is made, as the unit
// will be kept in it: it holds no alarm.
int RefuseOnOpenAlarm(StoreSession& session, const std::string& station) {
  AlarmFilter open;
  open.station = station;
  open.open_only = true;
  std::vector<AlarmRow> alarms;
  try {
    alarms = ReadKeptAlarms(session, open);
  } catch (const StoreError& error) {
    std::cerr << "multitone: the station stops on an open alarm (stop_on_alarm), and the results store cannot "
                 "tell whether one is open: "
              << error.what() << '\n';
    return 4;
  }
  if (alarms.empty()) return 0;
  const AlarmRow& a = alarms.front();
  std::cerr << "multitone: station " << station << " stops on an open alarm (stop_on_alarm): " << AlarmSummary(a)
            << ", raised " << a.raised_at;
  if (alarms.size() > 1) std::cerr << " (and " << alarms.size() - 1 << " more)";
  std::cerr << "; acknowledge it first: multitone alarms ack --results URL --station " << station
            << " --by NAME\n";
  return 4;
}

}  // namespace

int RunProgram(const ProgramOptions& options) {
  // Everything the run needs is checked before the analyzer is touched: a
  // unit must never be measured only to find that its result has nowhere
  // to go.
  if (const std::string why = UnitOutputProblem(options); !why.empty()) return Refuse(why);
  const RunStorage storage{options.results, options.spool};
  if (!options.results.empty()) {
    if (const std::string why = CheckResultsUrl(options.results); !why.empty()) return Refuse(why);
  }

  StationChoices choices;
  choices.analyzer = options.analyzer;
  choices.timeout = std::chrono::milliseconds(options.timeout_ms);
  choices.trace = options.trace ? &std::cerr : nullptr;
  choices.limits_file = options.limits_file;
  choices.station = options.station;
  choices.station_given = options.station_given;
  choices.operator_name = options.operator_name;
  choices.replay_timing = options.replay_timing;
  // --record: every operation of the run kept, from the link's first.
  RunRecording recording;
  if (!options.record_file.empty()) choices.wrap = recording.Wrap();
  StationSetup setup;
  // Built by the run's first operation; kept to show its display afterwards.
  std::shared_ptr<EmbeddedAnalyzer> embedded;
  if (const std::string why = BuildStationSetup(choices, setup, &embedded); !why.empty()) return Refuse(why);
  if (!options.record_file.empty()) setup.create_analyzer = recording.Around(setup.create_analyzer);

  std::string serial = options.serial;
  if (serial == "-") {
    bool too_long = false;
    serial = ReadSerialLine(options.prompt, too_long);
    if (too_long) return Refuse("--serial: the line on standard input is longer than any serial number");
  }
  // A judged unit is always named; a name given is always checked, against
  // the limits' serial_pattern too.
  if (setup.limits && !options.serial_given) {
    return Refuse("--limits needs the unit's --serial (\"-\": one line from standard input)");
  }
  if (options.serial_given) {
    const std::string pattern = setup.limits ? setup.limits->limits.serial_pattern : "";
    if (const auto problem = SerialProblem(serial, pattern)) return Refuse("--serial: " + *problem);
  }

  // One open store for the whole run: the golden check's and the open
  // alarms' state and the charts read before the unit, the unit kept after
  // it, the spool forwarded.
  StoreSession session(storage);
  // The golden-unit check: a production serial waits while it is due.
  if (const std::string why = GoldenNeedsStore(setup.limits, !options.results.empty()); !why.empty()) {
    return Refuse(why);
  }
  if (const auto refused = GoldenRefusal(setup.limits, session, setup.station, serial,
                                         std::chrono::system_clock::now())) {
    return Refuse(*refused);
  }
  // The station's control charts, read once; with stop_on_alarm, an open
  // alarm stops the station before the analyzer is touched.
  AlarmCheck alarm_check(storage, setup.station, setup.limits, &session);
  if (alarm_check.StopsOnAlarm()) {
    if (const int status = RefuseOnOpenAlarm(session, setup.station); status != 0) return status;
  }
  const std::string charts_unread = alarm_check.Load();
  if (!charts_unread.empty()) std::cerr << "multitone: " << charts_unread << '\n';

  UnitResult unit;
  {
    ProgressLine progress(!options.quiet && !options.trace);
    unit = RunUnit(setup, serial, [&](std::size_t index, std::size_t count, std::string_view step) {
      progress.Show(index, count, step);
    });
  }
  if (unit.results.error) std::cerr << unit.results.error->Line() << '\n';
  // Charts that could not be read before the unit are not tried again just
  // after it: that would say so twice and, with a server that does not
  // answer, wait out its timeout once more.
  if (charts_unread.empty()) {
    if (const std::string notice = alarm_check.Check(unit); !notice.empty()) std::cerr << "multitone: " << notice << '\n';
  }

  // Whenever standard output carries a document, the screen and the
  // verdict line go to standard error.
  std::ostream& show = DocumentOnStdout(options) ? std::cerr : std::cout;
  std::vector<UnitSink> sinks;
  bool stored = false;
  if (embedded && !options.screen_svg.empty()) {
    sinks.push_back({UnitSink::Kind::Keeps, "result not written", false,
                     [&](const UnitResult&) { return embedded->WriteScreenSvg(options.screen_svg); }});
  }
  if (!options.record_file.empty()) {
    sinks.push_back({UnitSink::Kind::Keeps, "result not written", !WritesThrough(options.record_file),
                     [&](const UnitResult& u) { return recording.Write(options.record_file, options, u); }});
  }
  for (UnitSink& sink : UnitOutputSinks(options, unit)) sinks.push_back(std::move(sink));
  if (!options.results.empty()) {
    // Kept before the verdict is shown: a result that cannot be stored is no PASS.
    sinks.push_back({UnitSink::Kind::Keeps, "result not stored", false, [&](const UnitResult& u) {
                       std::string why = KeepUnit(session, u);
                       stored = why.empty();
                       if (stored) alarm_check.Kept(u);
                       return why;
                     }});
  }
  if (embedded) {
    sinks.push_back({UnitSink::Kind::Shows, "", false, [&](const UnitResult& u) {
                       if (!u.results.complete) return std::string();
                       show << "Simulated analyzer ("
                            << (options.analyzer.empty() ? "no --analyzer given" : "--analyzer " + options.analyzer)
                            << ")\n"
                            << embedded->ScreenText();
                       return std::string();
                     }});
  }
  sinks.push_back({UnitSink::Kind::Shows, "", false, [&](const UnitResult& u) {
                     if (u.golden_check) show << GoldenCheckLine(*u.golden_check) << '\n';
                     for (const UnitAlarm& alarm : u.alarms) std::cerr << "multitone: " << AlarmText(alarm) << '\n';
                     return std::string();
                   }});
  if (setup.limits) {
    sinks.push_back({UnitSink::Kind::Shows, "", false, [&](const UnitResult& u) {
                       show << VerdictLine(u) << std::endl;
                       return std::string();
                     }});
  }
  const std::vector<std::string> problems = FinishUnit(unit, sinks);
  for (const std::string& problem : problems) std::cerr << "multitone: " << problem << '\n';

  int status = ExitStatus(unit.judgement.verdict);
  if (!problems.empty() && status == 0) status = 1;
  // The verdict does not wait for the server.
  if (stored) {
    if (const std::string local = ForwardKeptRuns(session); !local.empty()) {
      std::cerr << "multitone: " << local << '\n';
    }
  }
  return status;
}

}  // namespace multitone

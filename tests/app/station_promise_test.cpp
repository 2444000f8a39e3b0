// The station's promise, through the real program: nowhere a PASS (or
// MARGINAL) unless the unit was measured, judged against a limits file that
// sets limits, and kept. Every edge a new user or an attacker met is one row:
// its exit status, the line it prints, and what the JSON and the store say.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "common/short_number.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;
using nlohmann::json;
namespace fs = std::filesystem;

const std::string kPromiseLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class Folder {
 public:
  Folder() {
    std::string pattern = fs::temp_directory_path().string() + "/promise-XXXXXX";
    path_ = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The program through the shell, so a row can redirect standard input or
// set a file size limit as a station's script would.
ProgramResult Shell(const std::string& command) { return RunProgram({"/bin/sh", "-c", command}); }

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Multitone(const std::vector<std::string>& args) {
  std::string command = Quoted(MULTITONE_BINARY);
  for (const std::string& arg : args) {
    command += ' ';
    command += Quoted(arg);
  }
  return command;
}

// The verdict of the newest run in a SQLite store, as `multitone history`
// reads it back ("" when the store holds none).
std::string StoredVerdict(const std::string& db) {
  const ProgramResult history =
      RunProgram({MULTITONE_BINARY, "history", "--results", "sqlite:" + db, "--serial", "SN1"});
  for (const char* verdict : {"PASS", "MARGINAL", "FAIL", "ERROR"}) {
    if (history.out.find(std::string(" ") + verdict + " ") != std::string::npos) return verdict;
  }
  return "";
}

TEST(StationPromise, NoPassThatWasNotMeasuredJudgedAndKept) {
  Folder folder;
  const std::string empty = folder / "empty.toml";
  std::ofstream(empty).close();
  const std::string fifo = folder / "limits.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string latin1 = folder / "limits-\xe9t\xe9.toml";
  fs::copy_file(kPromiseLimits, latin1);
  const std::string target = folder / "target.xml";
  std::ofstream(target).close();
  const std::string link = folder / "link.xml";
  fs::create_symlink(target, link);
  const std::string loop = folder / "loop.json";
  fs::create_symlink(loop, loop);
  const std::string alias = folder / "alias";
  fs::create_directory_symlink(".", alias);
  const std::string db = folder / "runs.db";
  const std::string json_file = folder / "unit.json";

  const std::vector<std::string> judged = {"--analyzer", "sim", "--limits", kPromiseLimits, "--serial", "SN1"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = judged;
    args.insert(args.end(), more.begin(), more.end());
    return Multitone(args);
  };
  struct Case {
    std::string what;
    std::string command;
    int exit_code;
    std::string said;             // on stdout or stderr
    std::string stored = "";      // the verdict in `db`, when the row stores
    std::string json_verdict = "";  // the verdict in `json_file`, when the row writes it
  };
  const Case cases[] = {
      {"limits that are a folder",
       Multitone({"--analyzer", "sim:fault=dead-right", "--limits", "/tmp", "--serial", "X"}), 2,
       "/tmp: is a folder"},
      {"limits that set nothing", Multitone({"--analyzer", "sim:fault=dead-right", "--limits", empty, "--serial", "X"}),
       2, "sets no limit at all"},
      {"limits from a device", Multitone({"--analyzer", "sim", "--limits", "/dev/zero", "--serial", "X"}), 2,
       "not a regular file"},
      {"limits from a FIFO nobody writes", Multitone({"--analyzer", "sim", "--limits", fifo, "--serial", "X"}), 2,
       "not a regular file"},
      {"limits and no serial", Multitone({"--analyzer", "sim", "--limits", kPromiseLimits}), 2, "needs the unit's --serial"},
      {"an empty serial", Multitone({"--analyzer", "sim", "--limits", kPromiseLimits, "--serial", ""}), 2,
       "serial number is empty"},
      {"a blank serial", Multitone({"--analyzer", "sim", "--limits", kPromiseLimits, "--serial", "   "}), 2,
       "starts or ends with a blank"},
      {"a serial with a blank at its end", Multitone({"--analyzer", "sim", "--limits", kPromiseLimits, "--serial", "SN1 "}),
       2, "starts or ends with a blank"},
      {"an endless serial on stdin",
       Multitone({"--analyzer", "sim", "--limits", kPromiseLimits, "--serial", "-"}) + " < /dev/zero", 2,
       "longer than any serial number"},
      {"an empty station", with({"--station", ""}), 2, "station name (--station) is empty"},
      {"a newline in the station", with({"--station", "st1\nFAKE  PASS  line"}), 2, "printable characters only"},
      {"an escape in the station", with({"--station", "st\x1b[2J"}), 2, "printable characters only"},
      {"a station that is not UTF-8", with({"--station", "\xff"}), 2, "not valid UTF-8"},
      {"an operator in Latin-1", with({"--operator", "J\xfcrgen"}), 2, "not valid UTF-8"},
      {"a control character with --junit", with({"--station", "st\x01" "ctl", "--junit", folder / "j.xml"}), 2,
       "printable characters only"},
      {"two documents on stdout", with({"--json", "-", "--junit", "-"}), 2, "only one of --json, --junit"},
      {"two documents to one file", with({"--json", json_file, "--junit", json_file}), 2,
       "--json and --junit name the same file"},
      {"a document and a link to it", with({"--junit", target, "--report", link}), 2,
       "--junit and --report name the same file"},
      {"a document through a link to its folder", with({"--json", json_file, "--report", alias + "/unit.json"}), 2,
       "--json and --report name the same file"},
      {"a document that is a link to itself", with({"--json", loop}), 2,
       "--json: " + loop + ": Too many levels of symbolic links"},
      {"a document over the store", with({"--json", folder / "./runs.db", "--results", db}), 2,
       "--json and --results name the same file"},
      {"a document over the limits", Multitone({"--analyzer", "sim", "--limits", latin1, "--serial", "SN1",
                                                "--report", latin1}),
       2, "--report and --limits name the same file"},
      {"the record over a document", with({"--json", json_file, "--record", json_file}), 2,
       "--json and --record name the same file"},
      {"the record over the record replayed",
       Multitone({"--analyzer", "replay:" + folder / "run.rec", "--record", folder / "run.rec"}), 2,
       "--record and --analyzer replay: name the same file"},
      {"the screen over the report", with({"--report", folder / "unit.html", "--screen", folder / "unit.html"}), 2,
       "--report and --screen name the same file"},
      {"a device named twice", with({"--json", "/dev/null", "--junit", "/dev/null"}), 0, "PASS SN1 [SIMULATED]"},
      {"a JSON folder that does not exist", with({"--json", "/nonexistent/x.json"}), 2, "--json: /nonexistent"},
      {"a JUnit folder that does not exist", with({"--junit", "/nonexistent/x.xml"}), 2, "--junit: /nonexistent"},
      {"a report folder that does not exist", with({"--report", "/nonexistent/x.html"}), 2, "--report: /nonexistent"},
      {"a store folder that does not exist", with({"--results", "sqlite:/nonexistent/x.db"}), 2,
       "--results /nonexistent"},
      {"a store in memory", with({"--results", "sqlite::memory:"}), 2, "names no file"},
      {"a full device, stored", with({"--json", "/dev/full", "--results", db}), 1,
       "ERROR SN1: error 0: station: result not written: cannot write /dev/full: No space left on device", "ERROR"},
      {"a file size limit reached", "ulimit -f 1; " + with({"--json", json_file}), 1,
       "ERROR SN1: error 0: station: result not written: cannot write", "", ""},
      {"a pass kept everywhere", with({"--json", json_file, "--results", db, "--operator", "J\xc3\xbcrgen"}), 0,
       "PASS SN1 [SIMULATED]", "PASS", "PASS"},
      {"a limits path in Latin-1, kept", Multitone({"--analyzer", "sim", "--limits", latin1, "--serial", "SN1",
                                                    "--json", json_file, "--results", db}),
       0, "PASS SN1 [SIMULATED]", "PASS", "PASS"},
  };
  for (const Case& c : cases) {
    fs::remove(db);
    fs::remove(json_file);
    const ProgramResult result = Shell(c.command);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.what << "\n" << result.err;
    EXPECT_THAT(result.out + result.err, HasSubstr(c.said)) << c.what;
    if (c.exit_code != 0) {
      EXPECT_THAT(result.out, ::testing::Not(HasSubstr("PASS"))) << c.what;
    }
    if (c.exit_code == 2) {
      EXPECT_FALSE(fs::exists(db)) << c.what << ": a refused run stored something";
    }
    if (!c.stored.empty()) {
      EXPECT_EQ(StoredVerdict(db), c.stored) << c.what;
    }
    if (!c.json_verdict.empty()) {
      const json doc = json::parse(Slurp(json_file), nullptr, false);
      ASSERT_FALSE(doc.is_discarded()) << c.what;
      EXPECT_EQ(doc.value("verdict", ""), c.json_verdict) << c.what;
    }
  }

  // A symbolic link is followed: the link stays, its target takes the XML.
  const ProgramResult linked = Shell(with({"--junit", link}));
  EXPECT_EQ(linked.exit_code, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_THAT(Slurp(target), HasSubstr("<testsuites>"));
}

TEST(StationPromise, ADocumentOnStdoutIsTheOnlyThingThere) {
  const std::vector<std::string> base = {MULTITONE_BINARY, "--analyzer", "sim", "--limits", kPromiseLimits, "--serial", "SN1"};
  auto json_run = base;
  json_run.insert(json_run.end(), {"--json", "-"});
  const ProgramResult as_json = RunProgram(json_run);
  EXPECT_EQ(as_json.exit_code, 0);
  EXPECT_FALSE(json::parse(as_json.out, nullptr, false).is_discarded()) << as_json.out;
  EXPECT_THAT(as_json.err, HasSubstr("PASS SN1 [SIMULATED]"));

  auto junit_run = base;
  junit_run.insert(junit_run.end(), {"--junit", "-"});
  const ProgramResult as_junit = RunProgram(junit_run);
  EXPECT_EQ(as_junit.exit_code, 0);
  tinyxml2::XMLDocument xml;
  EXPECT_EQ(xml.Parse(as_junit.out.c_str()), tinyxml2::XML_SUCCESS) << as_junit.out;
  EXPECT_THAT(as_junit.err, HasSubstr("Simulated analyzer"));
}

// The JUnit file read back: one testcase per limited figure and channel
// (the same for every run of one limits file), a failure for each FAIL,
// MARGINAL named, values and limits as properties, and the run's own case.
struct JunitCase {
  std::string name, outcome, value;
  bool failure = false, skipped = false, marginal_note = false;
};

std::vector<JunitCase> ReadJunit(const std::string& text, int& tests) {
  tinyxml2::XMLDocument xml;
  EXPECT_EQ(xml.Parse(text.c_str()), tinyxml2::XML_SUCCESS) << text;
  std::vector<JunitCase> cases;
  const auto* suite = xml.FirstChildElement("testsuites")->FirstChildElement("testsuite");
  tests = suite->IntAttribute("tests");
  EXPECT_NE(suite->Attribute("time"), nullptr);
  for (const auto* test = suite->FirstChildElement("testcase"); test; test = test->NextSiblingElement("testcase")) {
    JunitCase c;
    c.name = test->Attribute("name");
    if (const auto* properties = test->FirstChildElement("properties")) {
      for (const auto* p = properties->FirstChildElement("property"); p; p = p->NextSiblingElement("property")) {
        if (std::string(p->Attribute("name")) == "outcome") c.outcome = p->Attribute("value");
        if (std::string(p->Attribute("name")) == "value") c.value = p->Attribute("value");
      }
    }
    c.failure = test->FirstChildElement("failure") != nullptr;
    c.skipped = test->FirstChildElement("skipped") != nullptr;
    const auto* out = test->FirstChildElement("system-out");
    c.marginal_note = out && std::string(out->GetText()).rfind("MARGINAL", 0) == 0;
    cases.push_back(c);
  }
  return cases;
}

TEST(StationPromise, JunitAndReportAgreeWithTheJson) {
  Folder folder;
  struct Device {
    const char* analyzer;
    const char* verdict;
  };
  int tests_of_first = -1;
  // speed 1.0045: a pitch error of -0.45 %, inside the example's guard band.
  for (const Device& device : {Device{"sim", "PASS"}, Device{"sim:speed=1.0045", "MARGINAL"},
                               Device{"sim:fault=dead-right", "FAIL"}, Device{"sim:fault=dead-left", "FAIL"}}) {
    const std::string json_file = folder / "unit.json", xml_file = folder / "unit.xml",
                      html_file = folder / "unit.html";
    const ProgramResult result = RunProgram({MULTITONE_BINARY, "--analyzer", device.analyzer, "--limits", kPromiseLimits,
                                             "--serial", "SN1", "--json", json_file, "--junit", xml_file, "--report",
                                             html_file});
    const json doc = json::parse(Slurp(json_file));
    EXPECT_EQ(doc.at("verdict"), device.verdict) << device.analyzer;
    int tests = 0;
    const std::vector<JunitCase> cases = ReadJunit(Slurp(xml_file), tests);
    EXPECT_EQ(tests, static_cast<int>(cases.size()));
    if (tests_of_first < 0) tests_of_first = tests;
    EXPECT_EQ(tests, tests_of_first) << device.analyzer << ": the testcases differ between runs";
    int failures = 0;
    for (const JunitCase& c : cases) {
      EXPECT_EQ(c.failure, c.outcome == "FAIL") << device.analyzer << " " << c.name;
      EXPECT_EQ(c.skipped, c.outcome == "NOT_MEASURED") << device.analyzer << " " << c.name;
      EXPECT_EQ(c.marginal_note, c.outcome == "MARGINAL") << device.analyzer << " " << c.name;
      failures += c.failure;
    }
    EXPECT_EQ(failures > 0, std::string(device.verdict) == "FAIL");
    EXPECT_EQ(cases.back().name, "run");

    // Every figure of the JSON stands in the report as people read it.
    const std::string html = Slurp(html_file);
    EXPECT_THAT(html, HasSubstr(device.verdict));
    for (const char* channel : {"left", "right"}) {
      for (const auto& [name, figure] : doc.at("channels").at(channel).items()) {
        if (!figure.is_object() || !figure.contains("value") || figure.at("value").is_null()) continue;
        EXPECT_THAT(html, HasSubstr(ShortNumber(figure.at("value").get<double>())))
            << device.analyzer << " " << channel << " " << name;
      }
    }
  }
}

}  // namespace
}  // namespace multitone::testing

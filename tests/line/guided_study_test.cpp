// multitone study grr, guided, through the real program on the simulated
// analyzer (parts set apart by part_spread), answers piped into standard
// input, runs stored in SQLite: the report it prints is the report
// --from-store gives later; the end of the input stops it and --resume
// walks on in the same order; a run that ends in ERROR is not counted; the
// HTML page is well-formed and holds the text's figures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <stdlib.h>

#include "store/results_store.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;

const std::string kLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

class GuidedStudy : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "multitone-grr.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    db_ = "sqlite:" + (folder_ / "study.db").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // The guided study with `answers` on standard input.
  ProgramResult Guided(const std::string& answers, const std::vector<std::string>& extra,
                       const std::string& analyzer = "sim:part_spread=0.5") {
    const std::string input = (folder_ / ("answers" + std::to_string(++inputs_))).string();
    std::ofstream(input) << answers;
    std::string command = std::string(MULTITONE_BINARY) +
                          " study grr --parts 3 --trials 2 --appraisers 2 --analyzer " + analyzer +
                          " --limits " + kLimits + " --results " + db_ + " --station bench-1 --quiet";
    for (const std::string& arg : extra) command += " '" + arg + "'";  // none holds a quote
    return RunProgram({"/bin/sh", "-c", command + " < " + input});
  }
  ProgramResult FromStore(const std::string& study) {
    return RunProgram(
        {MULTITONE_BINARY, "study", "grr", "--from-store", study, "--results", db_, "--limits", kLimits});
  }
  // (serial, operator, verdict) -> runs of the study `tag`.
  std::map<std::string, int> StoredRuns(const std::string& tag) {
    std::map<std::string, int> runs;
    ResultsStore store = ResultsStore::Open(db_);
    store.db().Query("SELECT serial, operator, verdict, purpose FROM runs WHERE tag = $1", {tag},
                     [&](const SqlRow& row) {
                       ++runs[row.Text(0) + " " + row.Text(1) + " " + row.Text(2) + " " + row.Text(3)];
                     });
    return runs;
  }

  std::filesystem::path folder_;
  std::string db_;
  int inputs_ = 0;
};

std::string Enters(int n) { return std::string(static_cast<std::size_t>(n), '\n'); }

// The "appraiser X: test part S (trial t of R)" guidance, in order.
std::vector<std::string> Walk(const std::string& err) {
  std::vector<std::string> steps;
  for (std::size_t at = err.find("appraiser "); at != std::string::npos;
       at = err.find("appraiser ", at + 1)) {
    const std::size_t end = err.find(", press Enter", at);
    if (end != std::string::npos && err.find('\n', at) > end) steps.push_back(err.substr(at, end - at));
  }
  return steps;
}

// The block of one figure in the text report, up to the blank line.
std::string Block(const std::string& text, const std::string& title) {
  const std::size_t at = text.find("\n" + title + "\n");
  if (at == std::string::npos) return {};
  std::string block = text.substr(at + 1, text.find("\n\n", at + 1) - at - 1);
  while (!block.empty() && block.back() == '\n') block.pop_back();  // the last block
  return block;
}

TEST_F(GuidedStudy, MeasuresStoresAndReportsWhatTheStoreReportsLater) {
  const ProgramResult study = Guided("kim\nlee\nP1\nP2\nP3\n" + Enters(12), {"--study", "grr-bench"});
  ASSERT_EQ(study.exit_code, 0) << study.err;
  // Every appraiser tests every part once per trial, each in an order of its own.
  const std::vector<std::string> walk = Walk(study.err);
  ASSERT_EQ(walk.size(), 12u) << study.err;
  EXPECT_EQ(std::set<std::string>(walk.begin(), walk.end()).size(), 12u);
  EXPECT_THAT(walk[11], HasSubstr("appraiser lee: test part"));

  EXPECT_EQ(StoredRuns("grr-bench"), (std::map<std::string, int>{{"P1 kim PASS study", 2},
                                                                 {"P1 lee PASS study", 2},
                                                                 {"P2 kim PASS study", 2},
                                                                 {"P2 lee PASS study", 2},
                                                                 {"P3 kim PASS study", 2},
                                                                 {"P3 lee PASS study", 2}}));

  // The parts' levels lie apart by the spread (up to ±0.5 dB, some 6 mV at
  // 0.19 V); a run repeats within some 0.03 mV: the station tells them apart.
  const std::string reference = Block(study.out, "left reference_level (V)");
  EXPECT_THAT(reference, HasSubstr("of tolerance 0.05 V"));
  EXPECT_THAT(reference, ::testing::EndsWith(": acceptable")) << reference;
  EXPECT_THAT(reference, ::testing::Not(HasSubstr("PV 0 "))) << reference;

  const ProgramResult stored = FromStore("grr-bench");
  ASSERT_EQ(stored.exit_code, 0) << stored.err;
  EXPECT_EQ(stored.out, study.out);
}

TEST_F(GuidedStudy, StopsAtTheEndOfTheInputAndResumesInTheSameOrder) {
  const std::vector<std::string> names = {"--appraiser", "kim", "--appraiser", "lee", "--part", "P1",
                                          "--part",      "P2",  "--part",      "P3",  "--seed", "11"};
  auto with = [&](std::vector<std::string> args, const char* study) {
    args.insert(args.end(), {"--study", study});
    return args;
  };
  const ProgramResult whole = Guided(Enters(12), with(names, "whole"));  // in one go, for its order
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  const ProgramResult first = Guided(Enters(5), with(names, "halves"));
  EXPECT_EQ(first.exit_code, 1);
  EXPECT_THAT(first.err, HasSubstr("study halves stopped at the end of the input: 5 of 12 runs stored; "
                                   "--resume halves continues it"));
  EXPECT_EQ(StoredRuns("halves").size(), 5u);   // 5 cells of one run each: kim's 3 parts, 2 of lee's
  EXPECT_EQ(FromStore("halves").exit_code, 2);  // unbalanced until it is complete
  // A new study by that name is refused.
  EXPECT_THAT(Guided("", with(names, "halves")).err,
              HasSubstr("has 5 stored runs already; --resume halves continues it"));

  // Resumed with the names in another order: the stored runs decide.
  const ProgramResult second =
      Guided(Enters(7), {"--appraiser", "lee", "--appraiser", "kim", "--part", "P3", "--part", "P2", "--part",
                         "P1", "--seed", "11", "--resume", "halves"});
  ASSERT_EQ(second.exit_code, 0) << second.err;
  EXPECT_THAT(second.err, HasSubstr("5 runs stored already: continuing"));
  std::vector<std::string> walked = Walk(first.err);
  ASSERT_EQ(walked.size(), 6u);  // the sixth asked for, then the input ended
  walked.pop_back();
  for (const std::string& step : Walk(second.err)) walked.push_back(step);
  EXPECT_EQ(walked, Walk(whole.err));

  const ProgramResult stored = FromStore("halves");
  ASSERT_EQ(stored.exit_code, 0) << stored.err;
  EXPECT_EQ(stored.out, second.out);
}

TEST_F(GuidedStudy, ARunThatErrsIsAskedForAgainAndNotCounted) {
  // Nothing listens on port 1 of the loopback: every run ends in ERROR.
  const ProgramResult study = Guided("kim\nlee\nP1\nP2\nP3\n" + Enters(3),
                                     {"--study", "dead", "--timeout", "2000"}, "tcp://127.0.0.1:1");
  EXPECT_EQ(study.exit_code, 1);
  const std::vector<std::string> walk = Walk(study.err);
  ASSERT_EQ(walk.size(), 4u) << study.err;
  for (const std::string& step : walk) EXPECT_EQ(step, walk[0]);  // the same part again
  EXPECT_THAT(study.err, HasSubstr("not counted: the same part again"));
  EXPECT_THAT(study.err, HasSubstr("0 of 12 runs stored"));
  // Kept, as every run is, but no measurement of the study.
  const auto dead = StoredRuns("dead");
  ASSERT_EQ(dead.size(), 1u);
  EXPECT_THAT(dead.begin()->first, HasSubstr(" kim ERROR study"));
  EXPECT_EQ(dead.begin()->second, 3);
}

// The text of every child element of `row`, in order.
std::vector<std::string> CellTexts(const tinyxml2::XMLElement* row) {
  std::vector<std::string> cells;
  for (const auto* cell = row->FirstChildElement(); cell != nullptr; cell = cell->NextSiblingElement()) {
    cells.push_back(cell->GetText() ? cell->GetText() : "");
  }
  return cells;
}

TEST_F(GuidedStudy, ThePageIsWellFormedAndHoldsTheFiguresOfTheText) {
  const std::string page = (folder_ / "study.html").string();
  const ProgramResult study =
      Guided(Enters(12), {"--study", "page", "--appraiser", "kim", "--appraiser", "lee&co", "--part", "P1",
                          "--part", "P2", "--part", "<P3>", "--html", page});
  ASSERT_EQ(study.exit_code, 0) << study.err;
  std::ifstream in(page);
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  tinyxml2::XMLDocument xml;
  ASSERT_EQ(xml.Parse(html.c_str()), tinyxml2::XML_SUCCESS) << xml.ErrorStr();
  EXPECT_THAT(html, HasSubstr("lee&amp;co"));
  EXPECT_THAT(html, HasSubstr("&lt;P3&gt;"));
  EXPECT_THAT(html, ::testing::Not(HasSubstr("href=")));
  EXPECT_THAT(html, ::testing::Not(HasSubstr("src=")));

  const tinyxml2::XMLElement* body = xml.FirstChildElement("html")->FirstChildElement("body");
  ASSERT_NE(body, nullptr);
  const tinyxml2::XMLElement* table = body->FirstChildElement("table");
  ASSERT_NE(table, nullptr);
  int rows = 0, compared = 0;
  for (const auto* row = table->FirstChildElement("tbody")->FirstChildElement("tr"); row != nullptr;
       row = row->NextSiblingElement("tr"), ++rows) {
    const std::vector<std::string> cells = CellTexts(row);
    const std::string block = Block(study.out, cells[0]);
    ASSERT_FALSE(block.empty()) << cells[0];
    if (cells.size() == 2) continue;  // not analysed
    ASSERT_EQ(cells.size(), 13u) << cells[0];
    // figure, EV, AV, interaction, p, GRR, PV, TV, %study, %tolerance, tolerance, ndc, verdict
    std::string line = "  EV " + cells[1] + "  AV " + cells[2] + "  interaction " + cells[3] + " (p " +
                       cells[4] + ")  GRR " + cells[5] + "  PV " + cells[6] + "  TV " + cells[7] +
                       "\n  %GRR " + cells[8] + " % of study variation, ";
    line += cells[9] == "-" ? "no tolerance (min and max) in the limits"
                            : cells[9] + " % of tolerance " + cells[10];
    EXPECT_THAT(block, HasSubstr(line)) << block;
    EXPECT_THAT(block, ::testing::EndsWith("; ndc " + cells[11] + ": " + cells[12]));
    ++compared;
  }
  EXPECT_EQ(rows, 15);  // pitch_error and 7 figures per channel
  EXPECT_GE(compared, 10);
  // Two pictures per analysed figure, each with a title.
  std::size_t pictures = 0, titled = 0;
  for (std::size_t at = html.find("<svg "); at != std::string::npos; at = html.find("<svg ", at + 1))
    ++pictures;
  for (std::size_t at = html.find("\"img\"><title>"); at != std::string::npos;
       at = html.find("\"img\"><title>", at + 1)) {
    ++titled;
  }
  EXPECT_EQ(pictures, 2u * static_cast<std::size_t>(compared));
  EXPECT_EQ(titled, pictures);
}

}  // namespace
}  // namespace multitone::testing

// The result document is written as it goes, not through a JSON tree; its
// bytes must stay those the tree gave, which the store, the station page
// and every file written so far hold.
#include <cmath>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "output/json_stream.h"
#include "output/result_json.h"
#include "verdict/judgement.h"

namespace multitone {
namespace {

using nlohmann::json;

std::string TreeText(const json& tree, int indent) {
  return tree.dump(indent, ' ', false, json::error_handler_t::replace);
}

TEST(JsonStream, WritesWhatTheTreeWrites) {
  struct Case {
    const char* what;
    json tree;
    void (*write)(JsonStream&);
  };
  const Case cases[] = {
      {"empty object", json::object(), [](JsonStream& o) { o.BeginObject(); o.EndObject(); }},
      {"empty array", json::array(), [](JsonStream& o) { o.BeginArray(); o.EndArray(); }},
      {"numbers",
       json::array({0.0, -0.0, 100.0, 0.1, 1e-300, 1.7976931348623157e308, -2.5e-7, 0.19368165731430054,
                    nullptr, nullptr}),
       [](JsonStream& o) {
         o.BeginArray();
         for (double v : {0.0, -0.0, 100.0, 0.1, 1e-300, 1.7976931348623157e308, -2.5e-7, 0.19368165731430054,
                          std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
           o.Number(v);
         }
         o.EndArray();
       }},
      {"integers, flags", json::array({0, -42, 9007199254740993LL, true, false, nullptr}),
       [](JsonStream& o) {
         o.BeginArray();
         o.Integer(0);
         o.Integer(-42);
         o.Integer(9007199254740993LL);
         o.Bool(true);
         o.Bool(false);
         o.Null();
         o.EndArray();
       }},
      {"texts", json::array({"", "plain ~ text", "q\"b\\s/", "\b\f\n\r\t\x01\x1f\x7f", "Zo\xc3\xab \xe2\x82\xac",
                             "bad \xff\xc3 end \xe2\x82", "\xf0\x9f\x8e\xb5"}),
       [](JsonStream& o) {
         o.BeginArray();
         for (const char* t : {"", "plain ~ text", "q\"b\\s/", "\b\f\n\r\t\x01\x1f\x7f", "Zo\xc3\xab \xe2\x82\xac",
                               "bad \xff\xc3 end \xe2\x82", "\xf0\x9f\x8e\xb5"}) {
           o.String(t);
         }
         o.EndArray();
       }},
      {"nesting",
       json{{"a", json::array({json::object(), json::array(), json{{"k", 1}}})},
            {"b", json{{"c", json::array({1, 2})}, {"d", json::object()}}},
            {"e\"", "x"}},
       [](JsonStream& o) {
         o.BeginObject();
         o.Key("a").BeginArray();
         o.BeginObject();
         o.EndObject();
         o.BeginArray();
         o.EndArray();
         o.BeginObject();
         o.Key("k").Integer(1);
         o.EndObject();
         o.EndArray();
         o.Key("b").BeginObject();
         o.Key("c").BeginArray();
         o.Integer(1);
         o.Integer(2);
         o.EndArray();
         o.Key("d").BeginObject();
         o.EndObject();
         o.EndObject();
         o.Key("e\"").String("x");
         o.EndObject();
       }},
  };
  for (const Case& c : cases) {
    for (const int indent : {-1, 0, 2, 4}) {
      JsonStream out(indent);
      c.write(out);
      EXPECT_EQ(out.Take(), TreeText(c.tree, indent)) << c.what << ", indent " << indent;
    }
  }
}

TEST(JsonStream, RefusesAKeyOutOfOrderOrTwice) {
  for (const auto& [first, second] : {std::pair{"right", "left"}, {"left", "left"}, {"b", "B"}}) {
    JsonStream out;
    out.BeginObject();
    out.Key(first).Null();
    EXPECT_THROW(out.Key(second), std::logic_error) << first << " then " << second;
  }
  JsonStream unfinished;
  unfinished.BeginArray();
  EXPECT_THROW(unfinished.Take(), std::logic_error);
}

// A judged unit that reaches every part of the document: a figure and
// tones with and without limits, values not defined or not finite, a run
// error, an alarm and a golden check, names to escape.
UnitResult RichUnit() {
  UnitResult unit;
  unit.run_id = "0d1e2f";
  unit.serial = "PB2 \"7\"";
  unit.station = "st\\1";
  unit.operator_name = "Zo\xc3\xab";
  unit.analyzer = "tcp://127.0.0.1:5025";
  unit.program_version = "1.2.3";
  unit.started_at = std::chrono::system_clock::time_point(std::chrono::milliseconds(1796000000123));
  unit.ended_at = unit.started_at + std::chrono::milliseconds(250);
  unit.results.pitch_error = {-0.0123, true};
  unit.results.reference_frequency_hz = {1000.123, true};
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) unit.results.Of(channel)[figure] = {0.1 * (1 + static_cast<int>(figure)), true};
    for (int tone = 1; tone <= 16; ++tone) {
      unit.results.Of(channel).tones.push_back({tone, 31.5 * tone, 31.49 * tone, {-0.01 * tone, tone != 3}});
    }
  }
  unit.results.right[Figure::Crosstalk100Hz] = {std::nan(""), true};
  unit.results.error = RunFailure{440, "AcquireSpectra", "a \"reply\"\tcut"};
  unit.judgement = Judge(unit.results, nullptr);
  unit.judgement.verdict = Verdict::Error;
  for (Measurement& m : unit.judgement.measurements) {
    if (m.tone % 2 == 1) {
      m.low = -0.5;
      m.high = 0.5;
      m.outcome = Outcome::Marginal;
    }
  }
  unit.limits = LimitsSource{"l\xc3\xadmits.toml", "ab12", "", {}};
  unit.limits->limits.product = "PB-200";
  unit.alarms.push_back({"st", "response", "left", 7, "beyond 3 sigma", "r1", 0.25, 0.1, 0.01});
  GoldenCheck check{"G1", false, "", {}};
  check.compared.push_back({"pitch_error", "", 0, 0, 0.01, -0.0123, std::nullopt, "%", 0.02, false});
  check.compared.push_back({"response", "right", 5, 157.5, -0.1, std::nullopt, 0.5, "dB", 0.2, false});
  unit.golden_check = check;
  unit.tag = "golden-check T";
  return unit;
}

TEST(ResultJson, ReadsBackToTheSameBytesInEveryLayout) {
  const UnitResult unit = RichUnit();
  for (const int indent : {-1, 2}) {
    const std::string text = ResultJsonText(unit, indent);
    EXPECT_EQ(TreeText(json::parse(text), indent), text) << "indent " << indent;
  }
}

TEST(ResultJson, HoldsEveryFigureToneAndCheck) {
  const json doc = json::parse(ResultJsonText(RichUnit()));
  EXPECT_EQ(doc["schema"], "multitone-result/1");
  EXPECT_EQ(doc["verdict"], "ERROR");
  EXPECT_EQ(doc["pitch_error"]["value"], -0.0123);
  EXPECT_EQ(doc["reference_frequency_hz"], 1000.123);
  EXPECT_EQ(doc["error"], (json{{"number", 440}, {"step", "AcquireSpectra"}, {"text", "a \"reply\"\tcut"}}));
  EXPECT_EQ(doc["limits"], (json{{"file", "l\xc3\xadmits.toml"}, {"sha256", "ab12"}, {"product", "PB-200"},
                                 {"revision", nullptr}}));
  for (const char* channel : {"left", "right"}) {
    EXPECT_EQ(doc["channels"][channel].size(), kFigureCount) << channel;
    ASSERT_EQ(doc["response"][channel].size(), 16u) << channel;
    const json& tone3 = doc["response"][channel][2];
    EXPECT_EQ(tone3, (json{{"tone", 3}, {"nominal_hz", 94.5}, {"frequency_hz", 94.47}, {"db", nullptr},
                           {"defined", false}, {"low", -0.5}, {"high", 0.5}, {"outcome", "MARGINAL"}}));
  }
  // Not finite, yet formed: null, and still defined.
  EXPECT_EQ(doc["channels"]["right"]["crosstalk_100hz"]["value"], nullptr);
  EXPECT_EQ(doc["channels"]["right"]["crosstalk_100hz"]["defined"], true);
  EXPECT_EQ(doc["alarms"][0]["tone"], 7);
  EXPECT_EQ(doc["golden_check"]["serial"], "G1");
  EXPECT_EQ(doc["golden_check"]["tag"], "golden-check T");
  EXPECT_EQ(doc["golden_check"]["run_error"], nullptr);
  EXPECT_EQ(doc["golden_check"]["compared"][0]["channel"], nullptr);
  EXPECT_EQ(doc["golden_check"]["compared"][0]["tone"], nullptr);
  EXPECT_EQ(doc["golden_check"]["compared"][1]["tone"], 5);
  EXPECT_EQ(doc["golden_check"]["compared"][1]["value"], nullptr);
  EXPECT_EQ(doc["golden_check"]["compared"][1]["moved"], 0.5);
}

}  // namespace
}  // namespace multitone

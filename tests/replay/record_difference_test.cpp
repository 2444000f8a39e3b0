// Where two records part: the first operation that differs in anything but
// its time, and the memory strings the two runs set differently.
#include <gtest/gtest.h>

#include <functional>

#include "replay/record_difference.h"

namespace multitone {
namespace {

LinkRecord ShortRun() {
  LinkRecord record;
  auto add = [&](LinkCall call, std::string text, std::string reply = "") {
    LinkOperation operation;
    operation.call = call;
    operation.text = std::move(text);
    operation.reply = std::move(reply);
    operation.start_us = static_cast<std::int64_t>(record.operations.size()) * 100;
    record.operations.push_back(std::move(operation));
  };
  add(LinkCall::Write, "sens:data?");
  add(LinkCall::Read, "", "7.68171791E-01");
  add(LinkCall::ReadBlock, "trac:load:fft_ay?");
  record.operations.back().block = {0.25f, 0.5f};
  add(LinkCall::Write, "syst:mem:str2 ' .768171791 V'");
  add(LinkCall::Write, "syst:mem:str24?");
  add(LinkCall::Close, "");
  return record;
}

TEST(RecordDifference, FindsTheFirstOperationAndTheFiguresThatDiffer) {
  struct Case {
    const char* name;
    std::function<void(LinkRecord&)> change;
    std::optional<std::size_t> first_operation;
    std::vector<int> figures;
  };
  const Case cases[] = {
      {"the same run, other times", [](LinkRecord& r) { r.operations[2].took_us = 999; }, std::nullopt, {}},
      {"another reply and its figure",
       [](LinkRecord& r) {
         r.operations[1].reply = "6.54321E-01";
         r.operations[3].text = "syst:mem:str2 ' .654321 V'";
       },
       2, {2}},
      {"one bit of a block", [](LinkRecord& r) { r.operations[2].block[1] = 0.50000006f; }, 3, {}},
      {"an error", [](LinkRecord& r) { r.operations[5].error = RecordedError{440, "cut"}; }, 6, {}},
      {"cut short", [](LinkRecord& r) { r.operations.resize(3); }, 4, {2}},
  };
  const LinkRecord first = ShortRun();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRecord second = ShortRun();
    c.change(second);
    const RecordDifference difference = DifferenceOf(first, second);
    EXPECT_EQ(difference.first_operation, c.first_operation);
    std::vector<int> figures;
    for (const FigureDifference& figure : difference.figures) figures.push_back(figure.memory_string);
    EXPECT_EQ(figures, c.figures);
  }
}

}  // namespace
}  // namespace multitone

#include "common/leading_number_value.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/run_error.h"

namespace multitone {
namespace {

TEST(LeadingNumberValue, ReadsTheReplyFormsOfAFrequency) {
  EXPECT_EQ(LeadingNumberValue("999.5"), 999.5);
  EXPECT_EQ(LeadingNumberValue(" 999.5\n"), 999.5);
  EXPECT_EQ(LeadingNumberValue("+999.5"), 999.5);
  EXPECT_EQ(LeadingNumberValue("999.5 HZ"), 999.5);
  EXPECT_EQ(LeadingNumberValue("1.00120000E+03"), 1001.2);
}

TEST(LeadingNumberValue, StopsAtTheFirstCharacterThatEndsTheNumber) {
  EXPECT_EQ(LeadingNumberValue("1000,5"), 1000.0);  // a comma is not a decimal separator
  EXPECT_EQ(LeadingNumberValue("12.5.6"), 12.5);
  EXPECT_EQ(LeadingNumberValue("7E"), 7.0);
  EXPECT_EQ(LeadingNumberValue("7E+"), 7.0);
  EXPECT_EQ(LeadingNumberValue("7EX3"), 7.0);
}

TEST(LeadingNumberValue, ReadsTheLevelReplies) {
  EXPECT_EQ(LeadingNumberValue("0.70712"), 0.70712);
  EXPECT_EQ(LeadingNumberValue(" 7.0712E-01"), 0.70712);
  EXPECT_EQ(LeadingNumberValue("0.70712 V"), 0.70712);
}

TEST(LeadingNumberValue, RemovesBlanksTabsAndLineFeedsWhereverTheyStand) {
  EXPECT_EQ(LeadingNumberValue("1 000"), 1000.0);
  EXPECT_EQ(LeadingNumberValue("\t- 2 . 5\n"), -2.5);
  EXPECT_EQ(LeadingNumberValue("1 E 3"), 1000.0);
  // A carriage return is not removed: it ends the number.
  EXPECT_EQ(LeadingNumberValue("12\r3"), 12.0);
  EXPECT_EQ(LeadingNumberValue("\r12"), 0.0);
}

TEST(LeadingNumberValue, AcceptsDExponentsAndEitherCase) {
  EXPECT_EQ(LeadingNumberValue("1.5D2"), 150.0);
  EXPECT_EQ(LeadingNumberValue("1.5d-2"), 0.015);
  EXPECT_EQ(LeadingNumberValue("2e3"), 2000.0);
  EXPECT_EQ(LeadingNumberValue(".5"), 0.5);
  EXPECT_EQ(LeadingNumberValue("5."), 5.0);
}

TEST(LeadingNumberValue, GivesZeroForATextThatDoesNotStartWithANumber) {
  EXPECT_EQ(LeadingNumberValue(""), 0.0);
  EXPECT_EQ(LeadingNumberValue("HZ 999"), 0.0);
  EXPECT_EQ(LeadingNumberValue("-"), 0.0);
  EXPECT_EQ(LeadingNumberValue("."), 0.0);
  EXPECT_EQ(LeadingNumberValue("+.E5"), 0.0);
  EXPECT_EQ(LeadingNumberValue("#18\x01\x02"), 0.0);
}

// The host's number settings with a decimal comma: a German locale generated
// into a temporary folder (LOCPATH), so the host needs none installed.
class DecimalCommaHost : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/multitone_locale_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    const std::string command =
        "localedef -c -i de_DE -f ISO-8859-1 '" + folder_ + "/de_DE' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ::setenv("LOCPATH", folder_.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << "the host now writes 3,25";
  }
  void TearDown() override {
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  std::string folder_;
};

TEST_F(DecimalCommaHost, ReadsNumbersAsInTheCLocale) {
  EXPECT_EQ(LeadingNumberValue("3.25"), 3.25);
  EXPECT_EQ(LeadingNumberValue("1.00120000E+03"), 1001.2);
  EXPECT_EQ(LeadingNumberValue("3,25"), 3.0);
}

TEST(LeadingNumberValue, RefusesANumberTooLargeForA64BitFloat) {
  try {
    LeadingNumberValue("1E400");
    FAIL() << "1E400 was accepted";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::TypeMismatch);
  }
  EXPECT_THROW(LeadingNumberValue("-1E400"), RunError);
  EXPECT_THROW(LeadingNumberValue(std::string(400, '9')), RunError);
}

TEST(LeadingNumberValue, ReadsATinyNumberAsZeroOrSubnormal) {
  EXPECT_EQ(LeadingNumberValue("1E-400"), 0.0);
  EXPECT_GT(LeadingNumberValue("1E-310"), 0.0);
}

}  // namespace
}  // namespace multitone

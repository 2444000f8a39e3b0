// What the analyzer shows: the sanitised table, the SVG and the text screen.
#include <gtest/gtest.h>

#include "sim/html_table.h"
#include "sim/screen_svg.h"
#include "sim/screen_text.h"

namespace multitone::sim {
namespace {

TEST(HtmlTable, ReadsTheResultsTableWithItsUnclosedBoldHeader) {
  const TableRows rows = ParseHtmlTable(
      "<table cellspacing=0 cellpadding=-1><tr><td><b>Measurement Results  </td><td><b>Left</td><td><b>Right"
      "</td></tr><tr><td>Pitch Error / %</td><td>-.12</td></tr><tr><td>S/N / dB</td><td> 96</td><td> 240</td>"
      "</tr></table>");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0].text, "Measurement Results");
  EXPECT_TRUE(rows[0][2].bold);
  EXPECT_FALSE(rows[1][0].bold);
  EXPECT_EQ(rows[1].size(), 2u);
  EXPECT_EQ(rows[2][1].text, "96");
}

TEST(HtmlTable, DropsScriptsStylesCommentsAndEveryOtherTag) {
  const TableRows rows = ParseHtmlTable(
      "<tr><td onclick=\"steal()\"><script>alert('x')</script><img src=x onerror=y>"
      "<!-- hidden -->safe<style>td{}</style> &lt;b&gt; &amp; <a href='z'>link</a></td></tr>");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].text, "safe <b> & link");
}

TEST(HtmlTable, StaysBoundedWhateverItIsGiven) {
  std::string html;
  for (int i = 0; i < 500; ++i) html += "<tr>" + std::string(40, 'x') + "<td>" + std::string(1000, 'y');
  const TableRows rows = ParseHtmlTable(html);
  EXPECT_LE(rows.size(), kMaxRows);
  for (const auto& row : rows) {
    EXPECT_LE(row.size(), kMaxCells);
    for (const auto& cell : row) EXPECT_LE(cell.text.size(), kMaxCellText);
  }
}

InstrumentState ShownState() {
  InstrumentState state;
  state.explanation.shown = true;
  state.explanation.x = 381;
  state.explanation.y = 296;
  state.explanation.width = 259;
  state.explanation.height = 142;
  state.explanation.text = "<tr><td><b>Results</td><td>Left</td></tr><tr><td>Pitch</td><td>-.12</td></tr>"
                           "<script>document.write('<svg onload=x>')</script>";
  state.memory[0] = "-.12 % <&>";
  state.sweep.x_scale_manual = true;
  state.sweep.x_left_hz = 30;
  state.sweep.x_right_hz = 20000;
  state.sweep.traces[0].x = {30, 1000, 20000};
  state.sweep.traces[0].y = {-0.3, 0, -240};
  return state;
}

TEST(ScreenSvg, DrawsTracesAxesTableAndMemoryStringsWithEverythingEscaped) {
  const std::string svg = ScreenSvg(ShownState());
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<polyline"), std::string::npos);
  EXPECT_NE(svg.find("Frequency / Hz"), std::string::npos);
  EXPECT_NE(svg.find("Response / dB"), std::string::npos);
  EXPECT_NE(svg.find(">Pitch</text>"), std::string::npos);
  EXPECT_NE(svg.find("1: -.12 % &lt;&amp;&gt;"), std::string::npos);
  EXPECT_EQ(svg.find("script"), std::string::npos);
  EXPECT_EQ(svg.find("onload"), std::string::npos);
  EXPECT_EQ(svg.find("document"), std::string::npos);
}

TEST(ScreenText, AlignsTheTableAndListsEightMemoryStrings) {
  const std::string text = ScreenText(ShownState());
  EXPECT_NE(text.find("Results  Left\nPitch    -.12\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  1: -.12 % <&>\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  8: \n"), std::string::npos) << text;
}

}  // namespace
}  // namespace multitone::sim

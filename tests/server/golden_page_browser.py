#!/usr/bin/python3
"""The golden-unit check on the station page (headless Chromium, Selenium,
`multitone serve` on the simulated analyzer with a SQLite store): due, a
production serial refused, a matching golden unit lets production through, a
moved station fails naming the figure and the amount.

  golden_page_browser.py MULTITONE ANALYZER_SIM LIMITS_FILE OUTPUT_DIR

Servers listen on 127.0.0.1, free ports; every wait is bounded. Screenshots:
OUTPUT_DIR/golden-refused.png, golden-passed.png, golden-failed.png.
"""
import os
import re
import sys
import unittest

from selenium.webdriver.common.by import By

# The station page's own test: its servers, browser and helpers.
import station_page_browser as page

GOLDEN = "PB29990001"


class GoldenCheckPage(unittest.TestCase):
    setUpClass = classmethod(page.StationPage.setUpClass.__func__)
    tearDownClass = classmethod(page.StationPage.tearDownClass.__func__)
    start, text, until, scan = (page.StationPage.start, page.StationPage.text, page.StationPage.until,
                                page.StationPage.scan)

    def verdict_for(self, serial):
        self.until(lambda: self.text("banner-serial") == serial and
                   re.match(r"(PASS|MARGINAL|FAIL|ERROR)", self.text("banner-verdict")), "the verdict of " + serial)
        return self.text("banner-verdict").split()[0]

    def golden_notice(self, pattern):
        return self.until(lambda: re.search(pattern, self.text("golden")), "the golden notice to say " + pattern)

    def test_refused_until_a_golden_unit_matches_and_a_moved_station_fails(self):
        limits = os.path.join(self.workdir.name, "limits.toml")
        with open(page.LIMITS, encoding="utf-8") as source, open(limits, "w", encoding="utf-8") as out:
            out.write(source.read())
            out.write('\n[golden]\nevery = "8h"\ntolerance = 0.2\n'
                      '[golden.unit.%s.left]\nreference_level = 0.1936\n'
                      '[golden.unit.%s.right]\nreference_level = 0.1936\n' % (GOLDEN, GOLDEN))
        results = "sqlite:" + os.path.join(self.workdir.name, "station.db")

        station = self.start("sim", limits, ("--results", results))
        try:
            self.browser.get(station.url)
            notice = self.browser.find_element(By.ID, "golden")
            self.golden_notice(r"^golden check due: no golden check on this station yet; "
                               r"test a golden unit first \(%s\)$" % GOLDEN)
            self.assertIn("golden-due", notice.get_attribute("class"))
            # A production serial is refused, naming why and which unit to test.
            self.scan("PB20000001")
            self.until(lambda: self.text("banner-verdict") == "NOT TESTED", "the refused serial")
            self.assertEqual(self.text("banner-serial"), "PB20000001")
            self.assertIn("golden check due", self.text("banner-detail"))
            self.assertIn("test a golden unit first (%s)" % GOLDEN, self.text("golden"))
            self.assertEqual(self.text("notice"), "")  # said once, in the golden notice
            self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, "#recent tbody tr"), [])
            self.browser.save_screenshot(os.path.join(page.OUTPUT_DIR, "golden-refused.png"))

            self.scan(GOLDEN)
            self.assertEqual(self.verdict_for(GOLDEN), "PASS")
            self.golden_notice(r"^golden check passed at \S+ \(%s\); next due by " % GOLDEN)
            self.assertIn("golden-passed", notice.get_attribute("class"))
            self.scan("PB20000002")
            self.assertEqual(self.verdict_for("PB20000002"), "PASS")
            self.browser.save_screenshot(os.path.join(page.OUTPUT_DIR, "golden-passed.png"))
        finally:
            station.stop()

        # The same station after a change: its levels read 0.7 dB high.
        moved = self.start("sim:level=0.21", limits, ("--results", results))
        try:
            self.browser.get(moved.url)
            notice = self.browser.find_element(By.ID, "golden")
            self.golden_notice(r"^golden check passed at ")
            self.scan(GOLDEN)
            self.assertEqual(self.verdict_for(GOLDEN), "PASS")  # the limits' verdict stays
            found = self.golden_notice(r"FAILED: left reference_level moved \+(0\.7\d+) dB \(tolerance 0\.2 dB\); "
                                       r"right reference_level moved \+0\.7\d+ dB")
            # 20 log10(0.21 / 0.1936) = 0.707 dB, as the simulated device's 0.21 V reads
            self.assertAlmostEqual(float(found.group(1)), 0.707, delta=0.01)
            self.assertIn("golden-failed", notice.get_attribute("class"))
            self.scan("PB20000003")
            self.until(lambda: self.text("banner-verdict") == "NOT TESTED", "the refused serial after the failure")
            self.assertIn("FAILED: left reference_level moved +" + found.group(1) + " dB", self.text("banner-detail"))
            self.browser.save_screenshot(os.path.join(page.OUTPUT_DIR, "golden-failed.png"))
        finally:
            moved.stop()
        with open(moved.out, encoding="utf-8") as out:  # the log has the check's line too
            self.assertRegex(out.read(), r"(?m)^golden check FAILED: left reference_level moved \+0\.7")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

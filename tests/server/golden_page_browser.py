#!/usr/bin/python3
"""The golden-unit station check on the station page, in headless Chromium
driven by Selenium against `multitone serve` on the simulated analyzer with a
SQLite results store: the notice says the check is due, a production serial
is refused with that message, a golden unit that matches lets production
through, and a station whose levels moved fails its check, naming the figure
and the amount.

  golden_page_browser.py MULTITONE LIMITS_FILE OUTPUT_DIR

Every server listens on 127.0.0.1 on a free port and is stopped at the end;
every wait is bounded. Screenshots: OUTPUT_DIR/golden-refused.png,
golden-passed.png and golden-failed.png.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

MULTITONE, LIMITS, OUTPUT_DIR = sys.argv[1:4]
WAIT = 60  # seconds: the longest any one thing may take, sanitizers included
GOLDEN = "PB29990001"
os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"


class Station:
    def __init__(self, analyzer, limits, results, workdir):
        self.out = os.path.join(workdir, "serve-%d.out" % id(self))
        with open(self.out, "w") as out:
            self.process = subprocess.Popen(
                [MULTITONE, "serve", "--analyzer", analyzer, "--limits", limits, "--results", results,
                 "--listen", "127.0.0.1:0", "--station", "line-3"], stdout=out, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            with open(self.out, encoding="utf-8", errors="replace") as text:
                found = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", text.read())
            if found:
                self.url = "http://127.0.0.1:%s/" % found.group(1)
                return
            if self.process.poll() is not None:
                raise RuntimeError("multitone serve ended early (%s)" % self.process.returncode)
            time.sleep(0.05)
        raise TimeoutError("multitone serve did not start listening")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class GoldenCheckPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.TemporaryDirectory()
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-proxy-server", "--window-size=1280,1400",
                     "--user-data-dir=" + os.path.join(cls.workdir.name, "profile")):
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.set_page_load_timeout(WAIT)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.workdir.cleanup()

    def text(self, element_id):
        return self.browser.find_element(By.ID, element_id).text

    def until(self, condition, what):
        return WebDriverWait(self.browser, WAIT, poll_frequency=0.05).until(
            lambda _: condition(), message="waited %d s for %s" % (WAIT, what))

    def scan(self, serial):
        self.browser.switch_to.active_element.send_keys(serial + Keys.ENTER)

    def verdict_for(self, serial):
        self.until(lambda: self.text("banner-serial") == serial and
                   re.match(r"(PASS|MARGINAL|FAIL|ERROR)", self.text("banner-verdict")), "the verdict of " + serial)
        return self.text("banner-verdict").split()[0]

    def golden_notice(self, pattern):
        return self.until(lambda: re.search(pattern, self.text("golden")), "the golden notice to say " + pattern)

    def test_refused_until_a_golden_unit_matches_and_a_moved_station_fails(self):
        limits = os.path.join(self.workdir.name, "limits.toml")
        with open(LIMITS, encoding="utf-8") as source, open(limits, "w", encoding="utf-8") as out:
            out.write(source.read())
            out.write('\n[golden]\nevery = "8h"\ntolerance = 0.2\n'
                      '[golden.unit.%s.left]\nreference_level = 0.1936\n'
                      '[golden.unit.%s.right]\nreference_level = 0.1936\n' % (GOLDEN, GOLDEN))
        results = "sqlite:" + os.path.join(self.workdir.name, "station.db")

        station = Station("sim", limits, results, self.workdir.name)
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
            self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "golden-refused.png"))

            self.scan(GOLDEN)
            self.assertEqual(self.verdict_for(GOLDEN), "PASS")
            self.golden_notice(r"^golden check passed at \S+ \(%s\); next due by " % GOLDEN)
            self.assertIn("golden-passed", notice.get_attribute("class"))
            self.scan("PB20000002")
            self.assertEqual(self.verdict_for("PB20000002"), "PASS")
            self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "golden-passed.png"))
        finally:
            station.stop()

        # The same station after a change: its levels read 0.7 dB high.
        moved = Station("sim:level=0.21", limits, results, self.workdir.name)
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
            self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "golden-failed.png"))
        finally:
            moved.stop()
        with open(moved.out, encoding="utf-8") as out:
            self.assertRegex(out.read(), r"(?m)^golden check FAILED: left reference_level moved \+0\.7\d+ dB")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

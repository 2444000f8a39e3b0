#!/usr/bin/python3
"""The line page in a real browser: headless Chromium driven by Selenium
against `multitone serve --line` over a SQLite store of four stations.

  line_page_browser.py MULTITONE LINE_STORE_MAKER OUTPUT_DIR

Checks that the plots are drawn with the Chart.js the program serves (and
that the page asks nothing of any other host), that the station whose mean
stands apart is marked, that an alarm is listed and marked on its chart, and
that a dead unit does not squeeze a chart. Screenshots are kept as
OUTPUT_DIR/line-page.png (the whole page) and line-page-dead-unit.png.
Every wait is bounded; the server listens on 127.0.0.1 and is stopped.
"""
import json
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
from selenium.webdriver.support.ui import Select, WebDriverWait

MULTITONE, STORE_MAKER, OUTPUT_DIR = sys.argv[1:4]
WAIT = 60  # seconds: the longest any one thing may take, sanitizers included

os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"


class LinePage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.TemporaryDirectory()
        cls.store = os.path.join(cls.workdir.name, "line.db")
        subprocess.run([STORE_MAKER, cls.store], check=True, timeout=WAIT)
        cls.out = os.path.join(cls.workdir.name, "serve.out")
        with open(cls.out, "w") as out:
            cls.server = subprocess.Popen([MULTITONE, "serve", "--line", "--results", "sqlite:" + cls.store,
                                           "--listen", "127.0.0.1:0"], stdout=out, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + WAIT
        found = None
        while not found:
            if time.monotonic() > deadline or cls.server.poll() is not None:
                raise RuntimeError("the line page did not start: " + open(cls.out).read())
            found = re.search(r"line page listening on (http://127\.0\.0\.1:\d+/)", open(cls.out).read())
            time.sleep(0.05)
        cls.url = found.group(1)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-proxy-server", "--window-size=1400,2600",
                     "--user-data-dir=" + os.path.join(cls.workdir.name, "profile")):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.set_page_load_timeout(WAIT)
        cls.browser.set_script_timeout(WAIT)
        cls.browser.get(cls.url)
        WebDriverWait(cls.browser, WAIT).until(
            lambda b: b.execute_script("return document.body.dataset.loaded === 'yes' && "
                                       "document.getElementById('control').dataset.alarmMarks !== undefined"))

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.terminate()
        try:
            cls.server.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            cls.server.kill()
            cls.server.wait()
        cls.workdir.cleanup()

    def script(self, text, *args):
        return self.browser.execute_script(text, *args)

    def test_1_plots_are_drawn_with_the_embedded_chart_js(self):
        self.assertEqual(self.script("return Chart.version"), "3.9.1")
        sources = self.script("return [...document.scripts].map(s => s.src)")
        self.assertIn(self.url + "chart.js", sources)
        for canvas in ("pareto", "side", "control"):
            drawn = self.script(
                "const c = Chart.getChart(arguments[0]); return c ? [c.width, c.height, c.data.datasets.length] : null",
                canvas)
            self.assertIsNotNone(drawn, canvas)
            self.assertGreater(drawn[0], 200, canvas)
            self.assertGreater(drawn[1], 100, canvas)
            self.assertGreater(drawn[2], 0, canvas)
        # The axes name their figure and unit.
        self.assertEqual(self.script("return Chart.getChart('control').options.scales.y.title.text"),
                         "left total_level / V")
        self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "line-page.png"))

    def test_2_the_station_apart_is_marked(self):
        self.assertEqual(self.browser.find_element(By.ID, "side").get_attribute("data-standing-out"), "st-3")
        row = self.browser.find_element(By.CSS_SELECTOR, "#figures tr[data-figure='total_level|left']")
        self.assertEqual(row.find_element(By.CSS_SELECTOR, "td.stands-out").text, "st-3")
        others = [td.text for td in self.browser.find_elements(By.CSS_SELECTOR, "#figures td.stands-out")
                  if td.text]
        self.assertEqual(others, ["st-3"])  # no other figure has a station apart

    def test_3_the_alarm_is_listed_and_marked_on_its_chart(self):
        rows = self.browser.find_elements(By.CSS_SELECTOR, "#alarms tbody tr")
        self.assertEqual(len(rows), 1)
        self.assertIn("st-2", rows[0].text)
        self.assertIn("left total_level", rows[0].text)
        self.assertIn("beyond 3 sigma", rows[0].text)
        control = self.browser.find_element(By.ID, "control")
        self.assertEqual(control.get_attribute("data-station"), "st-2")
        self.assertEqual(control.get_attribute("data-alarm-marks"), "1")
        marked = self.script("const d = Chart.getChart('control').data.datasets[0];"
                             "return d.pointStyle.filter(s => s === 'rectRot').length")
        self.assertEqual(marked, 1)

    def test_4_a_dead_unit_does_not_squeeze_the_chart(self):
        Select(self.browser.find_element(By.ID, "chart-station")).select_by_value("st-1")
        Select(self.browser.find_element(By.ID, "chart-figure")).select_by_value("total_level|left")
        WebDriverWait(self.browser, WAIT).until(
            lambda b: b.find_element(By.ID, "control").get_attribute("data-station") == "st-1")
        low, high, edge = self.script(
            "const c = Chart.getChart('control');"
            "return [c.scales.y.min, c.scales.y.max, c.data.datasets[0].pointStyle.filter(s => s === 'triangle').length]")
        # The limits 0.74 and 0.81 in view, the dead unit's 0 on the edge.
        self.assertLess(low, 0.74)
        self.assertGreater(low, 0.6)
        self.assertGreater(high, 0.81)
        self.assertLess(high, 0.9)
        self.assertEqual(edge, 1)
        self.browser.find_element(By.ID, "control").location_once_scrolled_into_view
        self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "line-page-dead-unit.png"))

    def test_5_nothing_asked_of_any_other_host(self):
        asked = []
        for entry in self.browser.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                asked.append(message["params"]["request"]["url"])
        self.assertIn(self.url + "chart.js", asked)
        self.assertIn(self.url + "api/line", asked)
        # The browser's own pages (chrome://) are no network.
        elsewhere = [u for u in asked if re.match(r"(https?|wss?|ftp):", u) and not u.startswith(self.url)]
        self.assertEqual(elsewhere, [])
        errors = [e for e in self.browser.get_log("browser") if e["level"] == "SEVERE"]
        self.assertEqual(errors, [])

    def test_6_an_analyzer_is_refused_with_the_line(self):
        done = subprocess.run([MULTITONE, "serve", "--line", "--analyzer", "sim", "--results",
                               "sqlite:" + self.store], capture_output=True, text=True, timeout=WAIT)
        self.assertEqual(done.returncode, 2)
        self.assertIn("takes no --analyzer", done.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

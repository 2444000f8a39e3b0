#!/usr/bin/python3
"""The station page's control-chart alarms in headless Chromium: an open
alarm is a notice that does not block testing; with stop_on_alarm the Test
button is disabled with the reason until the operator acknowledges the alarm
from the page, and the store then says who acknowledged it.

  station_alarms_browser.py MULTITONE ANALYZER_SIM LIMITS_FILE OUTPUT_DIR

The alarm is raised by the program itself: five steady units and one whose
level is 0.1 dB up, tested on the command line into the station's SQLite
store. The page with the alarm open is kept as OUTPUT_DIR/station-alarm.png.
"""
import json
import os
import subprocess
import sys
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import station_page_browser as page  # noqa: E402
from station_page_browser import LIMITS, MULTITONE, OUTPUT_DIR, WAIT  # noqa: E402

from selenium.common.exceptions import StaleElementReferenceException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402


def request(url, body=None):
    data = json.dumps(body).encode() if body is not None else None
    call = urllib.request.Request(url, data=data, headers={"Content-Type": "application/json"},
                                  method="POST" if data else "GET")
    try:
        with urllib.request.urlopen(call, timeout=WAIT) as answer:
            return answer.status, json.loads(answer.read())
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read())


class StationAlarms(page.StationPage):
    """The station page's browser and helpers; only this file's tests."""

    def limits(self, name, stop):
        path = os.path.join(self.workdir.name, name)
        with open(LIMITS, encoding="utf-8") as base, open(path, "w", encoding="utf-8") as out:
            out.write(base.read() + "\n[control]\nbaseline = 5\nstop_on_alarm = %s\n" % ("true" if stop else "false"))
        return path

    def alarms(self):
        """The open alarms the page shows (0 while the notice is hidden)."""
        return self.browser.execute_script(
            "return document.getElementById('alarms').hidden ? 0 : "
            "document.querySelectorAll('#alarm-list li').length")

    def acknowledge_first(self):
        """Clicks the first alarm's button (the list may be redrawn meanwhile)."""
        def click():
            try:
                self.browser.find_element(By.CSS_SELECTOR, "#alarm-list li button").click()
                return True
            except StaleElementReferenceException:
                return False
        self.until(click, "an acknowledge button")

    def test_an_alarm_is_a_notice_and_with_stop_on_alarm_stops_testing_until_acknowledged(self):
        store = os.path.join(self.workdir.name, "station.db")
        stops = self.limits("stops.toml", True)
        for seed in range(1, 7):
            drift = ",drift=0.01,run=10" if seed == 6 else ""
            run = subprocess.run([MULTITONE, "--analyzer", "sim:seed=%d%s" % (seed, drift), "--limits", stops,
                                  "--serial", "PB200000%02d" % seed, "--station", "line-3", "--results", store,
                                  "--quiet"], capture_output=True, text=True, timeout=WAIT)
            self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("alarm: line-3 left reference_level: beyond 3 sigma", run.stderr)

        # Without stop_on_alarm: a notice, and testing goes on.
        notice_only = self.start("sim", self.limits("notice.toml", False), ("--results", store))
        self.open(notice_only)
        self.until(self.alarms, "the open alarms")
        self.assertIn("left reference_level: beyond 3 sigma at run", self.text("alarm-list"))
        self.assertTrue(self.browser.find_element(By.ID, "test").is_enabled())
        self.assertFalse(self.browser.find_element(By.ID, "alarms-stopped").is_displayed())
        self.scan("PB20000010")
        self.assertEqual(self.verdict(), "PASS")
        notice_only.stop()

        # With it: Test disabled with the reason, the API refuses a unit.
        station = self.start("sim", stops, ("--results", store))
        self.open(station)
        self.until(self.alarms, "the open alarms")
        self.assertFalse(self.browser.find_element(By.ID, "test").is_enabled())
        self.assertIn("stop_on_alarm", self.text("alarms-stopped"))
        status, listed = request(station.url + "api/alarms")
        self.assertEqual(status, 200)
        self.assertIn("stop_on_alarm", listed["stopped"])
        self.assertEqual(len(listed["alarms"]), self.alarms())
        status, refused = request(station.url + "api/runs", {"serial": "PB20000011"})
        self.assertEqual(status, 423)
        self.assertIn("stops on an open alarm (stop_on_alarm): ", refused["error"])
        self.assertIn(listed["alarms"][0]["summary"], refused["error"])
        self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "station-alarm.png"))

        # Acknowledged from the page: a name first, then one alarm at a time.
        self.acknowledge_first()
        self.until(lambda: "name" in self.text("ack-notice"), "the page asking for a name")
        self.browser.find_element(By.ID, "ack-by").send_keys("Anna")
        self.browser.find_element(By.ID, "ack-note").send_keys("cable reseated")
        while self.alarms():
            left = self.alarms()
            self.acknowledge_first()
            self.until(lambda: self.alarms() < left, "one alarm fewer")
        self.until(lambda: self.browser.find_element(By.ID, "test").is_enabled(), "Test enabled again")
        self.assertFalse(self.browser.find_element(By.ID, "alarms").is_displayed())
        self.browser.find_element(By.ID, "serial").send_keys("PB20000012")
        self.browser.find_element(By.ID, "test").click()
        self.assertEqual(self.verdict(), "PASS")

        listed = subprocess.run([MULTITONE, "alarms", "--results", store, "--all"], capture_output=True, text=True,
                                timeout=WAIT)
        self.assertIn("left reference_level  beyond 3 sigma", listed.stdout)
        self.assertIn("acknowledged by Anna at ", listed.stdout)
        self.assertIn(": cable reseated", listed.stdout)
        self.assertNotIn("  open\n", listed.stdout)


# The page's own tests run in station_page_browser.py.
for name in dir(page.StationPage):
    if name.startswith("test_"):
        setattr(StationAlarms, name, None)

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

#!/usr/bin/python3
"""The station page in a real browser: headless Chromium driven by Selenium
against `multitone serve` on the simulated analyzer; and the server's stop on
SIGTERM, which lets the run in progress finish.

  station_page_browser.py MULTITONE ANALYZER_SIM LIMITS_FILE OUTPUT_DIR

Every server listens on 127.0.0.1 on a free port and is stopped at the end;
every wait is bounded. After the FAIL case a screenshot of the page is kept
as OUTPUT_DIR/station-fail.png.
"""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

MULTITONE, ANALYZER_SIM, LIMITS, OUTPUT_DIR = sys.argv[1:5]
WAIT = 60  # seconds: the longest any one thing may take, sanitizers included

# Only loopback traffic: no proxy between the test, the driver and the servers.
os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"


def wait_for_line(path, pattern, process, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(path, encoding="utf-8", errors="replace") as text:
            found = re.search(pattern, text.read())
        if found:
            return found
        if process.poll() is not None:
            raise RuntimeError("%s ended early (%s)" % (process.args[0], process.returncode))
        time.sleep(0.05)
    raise TimeoutError("no %r from %s" % (pattern, process.args[0]))


class Process:
    """A program run for the test, stopped (and killed if need be) at the end."""

    def __init__(self, argv, workdir):
        self.out = os.path.join(workdir, "%s-%d.out" % (os.path.basename(argv[0]), id(self)))
        with open(self.out, "w") as out:
            self.process = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT)

    def wait_for(self, pattern):
        return wait_for_line(self.out, pattern, self.process)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return self.process.returncode


class Station(Process):
    def __init__(self, analyzer, workdir, limits=LIMITS, more=()):
        super().__init__([MULTITONE, "serve", "--analyzer", analyzer, "--limits", limits,
                          "--listen", "127.0.0.1:0", "--station", "line-3", *more], workdir)
        self.url = "http://127.0.0.1:%s/" % self.wait_for(r"listening on http://127\.0\.0\.1:(\d+)/").group(1)

    def post_serial(self, serial):
        request = urllib.request.Request(self.url + "api/runs", data=json.dumps({"serial": serial}).encode(),
                                         headers={"Content-Type": "application/json"}, method="POST")
        try:
            with urllib.request.urlopen(request, timeout=WAIT) as answer:
                return answer.status
        except urllib.error.HTTPError as error:
            return error.code


class StreamBreaker:
    """A loopback TCP relay in front of a station that breaks its event stream
    at one event: "cut" closes the stream's connection there, "hold" keeps it
    open and forwards nothing more. Every other request passes untouched."""

    def __init__(self, station_port, mode, at_event):
        self.target = ("127.0.0.1", station_port)
        self.mode, self.at_event = mode, at_event.encode()
        self.broken = threading.Event()
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = "http://127.0.0.1:%d/" % self.listener.getsockname()[1]
        self.sockets = []
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.create_connection(self.target, timeout=WAIT)
            server.settimeout(None)
            self.sockets += [client, server]
            stream = {"events": False}
            threading.Thread(target=self.pump, args=(client, server, stream, False), daemon=True).start()
            threading.Thread(target=self.pump, args=(server, client, stream, True), daemon=True).start()

    def pump(self, source, sink, stream, from_station):
        seen = b""
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                data = b""
            if not data:
                break
            if not from_station and data.startswith(b"GET /api/events"):
                stream["events"] = True
            if from_station and stream["events"] and not self.broken.is_set():
                seen = (seen + data)[-4096:]
                if self.at_event in seen:
                    self.broken.set()
                    if self.mode == "cut":
                        break
                    try:  # hold: the page hears nothing more on this stream
                        while source.recv(65536):
                            pass
                    except OSError:
                        pass
                    break
            try:
                sink.sendall(data)
            except OSError:
                break
        for end in (source, sink):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def close(self):
        self.listener.close()
        for end in self.sockets:
            end.close()


class StationPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.TemporaryDirectory()
        cls.processes = []
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-proxy-server", "--window-size=1280,1800",
                     "--user-data-dir=" + os.path.join(cls.workdir.name, "profile")):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.set_page_load_timeout(WAIT)
        cls.browser.set_script_timeout(WAIT)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        for process in cls.processes:
            process.stop()
        cls.workdir.cleanup()

    def start(self, analyzer, limits=LIMITS, more=()):
        station = Station(analyzer, self.workdir.name, limits, more)
        self.processes.append(station)
        return station

    def text(self, element_id):
        return self.browser.find_element(By.ID, element_id).text

    def until(self, condition, what):
        return WebDriverWait(self.browser, WAIT, poll_frequency=0.05).until(
            lambda _: condition(), message="waited %d s for %s" % (WAIT, what))

    def open(self, station, url=None):
        self.browser.get(url or station.url)
        self.until(lambda: self.text("history-source"), "the page's first status")
        self.assertEqual(self.browser.switch_to.active_element.get_attribute("id"), "serial")

    def scan(self, serial):
        """Types a serial into the focused field and presses Enter, as a scanner does."""
        self.browser.switch_to.active_element.send_keys(serial + Keys.ENTER)

    def verdict(self):
        return self.until(lambda: re.match(r"(PASS|MARGINAL|FAIL|ERROR)", self.text("banner-verdict")),
                          "a verdict").group(1)

    def test_pass_banner_with_the_serial_and_counts_that_move(self):
        station = self.start("sim")
        self.open(station)
        self.assertTrue(self.browser.find_element(By.ID, "simulated").is_displayed())
        tested = int(self.text("count-tested"))
        self.scan("PB20000001")
        self.assertEqual(self.verdict(), "PASS")
        self.assertIn("SIMULATED", self.text("banner-verdict"))
        self.assertEqual(self.text("banner-serial"), "PB20000001")
        self.until(lambda: self.text("count-tested") == str(tested + 1), "the count of tested units")
        self.assertEqual(self.text("count-passed"), str(tested + 1))
        self.assertEqual(self.text("count-yield"), "100.0 %")
        self.until(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#recent tbody tr"), "the last runs")
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, "#recent tbody td:nth-child(2)").text,
                         "PB20000001")
        self.assertEqual(self.browser.switch_to.active_element.get_attribute("id"), "serial")
        # A serial the station refuses: the banner no longer shows the last unit.
        self.scan("PB2")
        self.until(lambda: self.text("banner-verdict") == "NOT TESTED", "the refused scan in the banner")
        self.assertEqual(self.text("banner-serial"), "PB2")
        self.assertIn("serial", self.text("banner-detail"))
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, "#figures tbody tr"), [])
        # The page declares its icon: nothing it asks for is missing. (The
        # refused scan's 400 is logged too; a port number may hold "404".)
        missing = [entry["message"] for entry in self.browser.get_log("browser")
                   if station.url[:-1] in entry["message"] and "status of 404" in entry["message"]]
        self.assertEqual(missing, [])

    def test_dead_right_channel_fails_naming_the_right_channel(self):
        records = os.path.join(self.workdir.name, "records")
        os.makedirs(records, exist_ok=True)
        station = self.start("sim:fault=dead-right", more=("--record", records))
        self.open(station)
        self.scan("PB20000002")
        self.assertEqual(self.verdict(), "FAIL")
        # The failing unit offers its record, the one the station kept.
        link = self.until(lambda: [a for a in self.browser.find_elements(By.ID, "record-link") if a.is_displayed()],
                          "the record's link")[0]
        with urllib.request.urlopen(link.get_attribute("href"), timeout=WAIT) as answer:
            record = answer.read().decode()
        self.assertTrue(record.startswith('{"record":"multitone-link-record"'), record[:80])
        run_id = link.get_attribute("href").rsplit("/", 2)[-2]
        with open(os.path.join(records, run_id + ".jsonl")) as kept:
            self.assertEqual(kept.read(), record)
        self.assertIn("fail", self.browser.find_element(By.ID, "banner").get_attribute("class"))
        detail = self.text("banner-detail")
        self.assertRegex(detail, r"\bright (signal_to_noise|response|distortion)")
        failing = self.until(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#figures tr.fail"),
                             "the failing figures")
        channels = {row.find_elements(By.TAG_NAME, "td")[1].text for row in failing}
        self.assertIn("right", channels)
        drawing = self.until(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#response img"),
                             "the response drawing")[0]
        self.until(lambda: self.browser.execute_script(
            "return arguments[0].complete && arguments[0].naturalWidth > 0", drawing), "the drawing to load")
        self.browser.save_screenshot(os.path.join(OUTPUT_DIR, "station-fail.png"))

    def test_markup_in_a_serial_is_shown_as_text_and_runs_nothing(self):
        # The same limits with any serial allowed, so that this one is tested.
        with open(LIMITS, encoding="utf-8") as text:
            limits = re.sub(r"(?m)^serial_pattern\s*=.*$", "", text.read())
        any_serial = os.path.join(self.workdir.name, "any-serial.toml")
        with open(any_serial, "w", encoding="utf-8") as text:
            text.write(limits)
        station = self.start("sim", any_serial)
        self.open(station)
        self.browser.execute_script("window.ran = 0; window.alert = function () { window.ran++; };")
        serial = "<img src=x onerror=alert(1)>"
        self.scan(serial)
        self.verdict()
        self.assertEqual(self.text("banner-serial"), serial)
        self.until(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#recent tbody tr"), "the last runs")
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, "#recent tbody td:nth-child(2)").text, serial)
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, "main img:not(#response img)"), [])
        self.assertEqual(self.browser.execute_script("return window.ran"), 0)
        with self.assertRaises(NoAlertPresentException):
            self.browser.switch_to.alert.text

    def test_a_second_start_during_a_run_is_refused_and_the_page_says_so(self):
        # An analyzer over TCP that takes as long as a real one to acquire:
        # the run lasts long enough to be interrupted.
        analyzer = Process([ANALYZER_SIM, "--port", "0", "--realtime"], self.workdir.name)
        self.processes.append(analyzer)
        port = analyzer.wait_for(r"listening on 127\.0\.0\.1:(\d+)").group(1)
        station = self.start("tcp://127.0.0.1:" + port)
        self.open(station)
        self.assertFalse(self.browser.find_element(By.ID, "simulated").is_displayed())
        self.scan("PB20000003")
        self.until(lambda: self.text("banner-verdict") == "TESTING", "the run to start")
        self.assertEqual(station.post_serial("PB20000004"), 409)
        self.scan("PB20000005")
        self.until(lambda: "A run is in progress" in self.text("notice"), "the page to refuse the start")
        self.assertIn("PB20000003", self.text("notice"))
        self.assertEqual(self.text("banner-serial"), "PB20000003")
        self.verdict()
        self.assertEqual(self.text("banner-serial"), "PB20000003")
        # The notice ends with the run that caused it.
        self.until(lambda: self.text("notice") == "", "the notice to end with the run")

    def realtime_station(self, fault=None):
        argv = [ANALYZER_SIM, "--port", "0", "--realtime"] + (["--fault", fault] if fault else [])
        analyzer = Process(argv, self.workdir.name)
        self.processes.append(analyzer)
        port = analyzer.wait_for(r"listening on 127\.0\.0\.1:(\d+)").group(1)
        return self.start("tcp://127.0.0.1:" + port)

    def test_a_run_started_elsewhere_then_a_scan_here_shows_every_verdict_also_after_reloads(self):
        station = self.realtime_station("dead-right")
        request = urllib.request.Request(station.url + "api/runs", data=b'{"serial":"PB20000011"}',
                                         headers={"Content-Type": "application/json"}, method="POST")
        with urllib.request.urlopen(request, timeout=WAIT) as answer:
            elsewhere = json.load(answer)["run_id"]
        self.assertEqual(station.post_serial("PB20000012"), 409)
        deadline = time.monotonic() + WAIT
        while urllib.request.urlopen(station.url + "api/runs/" + elsewhere, timeout=WAIT).status != 200:
            self.assertLess(time.monotonic(), deadline, "the run started elsewhere did not end")
            time.sleep(0.05)
        self.open(station)
        self.assertEqual(self.verdict(), "FAIL")
        self.assertEqual(self.text("banner-serial"), "PB20000011")
        self.scan("PB20000013")
        self.until(lambda: self.text("banner-serial") == "PB20000013", "the scanned unit in the banner")
        self.assertEqual(self.verdict(), "FAIL")
        # The last verdict is on the page after every reload.
        for _ in range(5):
            self.browser.refresh()
            self.assertEqual(self.verdict(), "FAIL")
            self.assertEqual(self.text("banner-serial"), "PB20000013")

    def test_a_stream_broken_mid_run_still_brings_the_verdict(self):
        station = self.realtime_station()
        port = int(re.search(r":(\d+)/$", station.url).group(1))
        for mode in ("cut", "hold"):
            with self.subTest(mode=mode):
                breaker = StreamBreaker(port, mode, '"index":3')
                try:
                    self.open(station, breaker.url)
                    self.scan("PB2000002" + str(len(mode)))
                    self.assertEqual(self.verdict(), "PASS")
                    self.assertTrue(breaker.broken.is_set(), "the stream was not broken mid-run")
                    self.assertEqual(self.text("banner-serial"), "PB2000002" + str(len(mode)))
                finally:
                    breaker.close()


class StationStop(unittest.TestCase):
    def test_sigterm_during_a_run_finishes_and_records_it_then_exits_0(self):
        with tempfile.TemporaryDirectory() as workdir:
            analyzer = Process([ANALYZER_SIM, "--port", "0", "--realtime"], workdir)
            try:
                port = analyzer.wait_for(r"listening on 127\.0\.0\.1:(\d+)").group(1)
                station = Station("tcp://127.0.0.1:" + port, workdir)
                try:
                    self.assertEqual(station.post_serial("PB20000009"), 202)
                    station.process.send_signal(signal.SIGTERM)
                    self.assertEqual(station.process.wait(timeout=WAIT), 0)
                finally:
                    station.stop()
                with open(station.out, encoding="utf-8") as out:
                    self.assertRegex(out.read(), r"(?m)^PASS PB20000009$")
            finally:
                analyzer.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

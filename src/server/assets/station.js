// The station page. Every text from the server goes into the page as text
// (textContent), never as markup.
//
// The page follows the station through its event stream, and every status
// answer is a snapshot taken at one event (its event_id): whichever of the two
// arrives last, the page shows the newest state and never goes back in time.
// A stream that broke is resumed from the last event seen, and a run that
// has not advanced for longer than a step takes is asked for by its id.
"use strict";

const $ = (id) => document.getElementById(id);
let shownRun = null;      // the run the banner shows
let keepsRecords = false; // the station keeps each run's record (serve --record)
let shownRunning = false; // ... as still running
let seenEvent = 0;        // the newest event the page has applied
let lastAdvance = 0;      // when the running run last showed progress (ms)
let statusAsked = 0;      // status requests made ...
let statusShown = 0;      // ... and the newest one applied
let checking = false;     // a request for a stalled run is on its way
let events = null;        // the event stream
let streamBroken = false; // ... broke since it last opened
let noticeCause = null;   // the run whose end ends the notice
// A run that shows no progress for this long is asked for by its id: no step
// of a run waits this long for the analyzer without the server saying so.
const STALLED_MS = 5000;
// The figures in the order of the results table on the analyzer.
const FIGURE_ORDER = ["total_level", "reference_level", "distortion", "crosstalk_100hz",
                      "crosstalk_10khz", "noise", "signal_to_noise"];
// The banner names this many failing measurements; the table lists them all.
const BANNER_ITEMS = 6;

// "a; b; c; ..." cut to its first few items.
function shortList(text) {
  const items = text.split("; ");
  if (items.length <= BANNER_ITEMS) return text;
  return items.slice(0, BANNER_ITEMS).join("; ") + "; and " + (items.length - BANNER_ITEMS) + " more";
}

function setBanner(kind, verdict, serial, detail) {
  $("record-link").hidden = true;
  const banner = $("banner");
  banner.className = "banner " + kind;
  $("banner-verdict").textContent = verdict;
  $("banner-serial").textContent = serial;
  $("banner-detail").textContent = detail || "";
}

// A notice ends with its cause: `cause` is the run whose verdict ends it.
function notice(text, cause) {
  $("notice").textContent = text || "";
  noticeCause = text ? cause || null : null;
}

// The golden-unit check's state (null: the station has none): due or
// failed stops production serials until a golden unit passes.
function showGolden(golden) {
  const box = $("golden");
  box.hidden = !golden;
  if (!golden) return;
  box.className = "golden-notice golden-" + golden.state;
  box.textContent = golden.message;
}

// A scan that started nothing: the banner no longer shows the previous unit.
function showRefused(serial, why) {
  shownRun = null;
  shownRunning = false;
  hideProgress();
  clearResult();
  setBanner("refused", "NOT TESTED", serial, why);
}

function showProgress(index, count, step) {
  lastAdvance = performance.now();
  const box = $("progress");
  box.hidden = false;
  $("progress-fill").style.width = count ? ((100 * index) / count).toFixed(1) + "%" : "0";
  $("progress-text").textContent = count ? "[" + (index + 1) + "/" + count + "] " + step : "starting";
}

function hideProgress() {
  $("progress").hidden = true;
}

function clearResult() {
  $("figures").tBodies[0].replaceChildren();
  $("response").replaceChildren();
}

function showVerdict(summary) {
  shownRun = summary.run_id;
  shownRunning = false;
  if (noticeCause === summary.run_id) notice("");
  hideProgress();
  const simulated = summary.simulated ? " (SIMULATED)" : "";
  const verdict = summary.verdict + simulated;
  const kinds = { PASS: "pass", MARGINAL: "marginal", FAIL: "fail", ERROR: "error" };
  let detail = "";
  if (summary.verdict === "FAIL") detail = shortList(summary.failing || summary.error || "");
  else if (summary.verdict === "MARGINAL") detail = shortList(summary.marginal || "");
  else if (summary.verdict === "ERROR") detail = summary.error || "";
  if (summary.record_error) detail += (detail ? " · " : "") + "NOT RECORDED: " + summary.record_error;
  setBanner(kinds[summary.verdict] || "error", verdict, summary.serial, detail);
  // A unit that did not pass offers its record, where the station keeps one.
  if (keepsRecords && (summary.verdict === "FAIL" || summary.verdict === "ERROR")) {
    const link = $("record-link");
    link.href = "/api/runs/" + encodeURIComponent(summary.run_id) + "/record.jsonl";
    link.hidden = false;
  }
  loadResult(summary.run_id);
}

function showRunning(run) {
  shownRun = run.run_id;
  shownRunning = true;
  lastAdvance = performance.now();
  clearResult();
  setBanner("running", "TESTING", run.serial, "");
  showProgress(run.index || 0, run.count || 0, run.step || "");
}

function number(value) {
  if (value === null || value === undefined) return "–";
  const magnitude = Math.abs(value);
  if (magnitude !== 0 && (magnitude < 1e-3 || magnitude >= 1e6)) return value.toExponential(3);
  return value.toPrecision(5).replace(/(\.\d*?)0+$/, "$1").replace(/\.$/, "");
}

function cell(row, text, className) {
  const td = document.createElement("td");
  td.textContent = text;
  if (className) td.className = className;
  row.appendChild(td);
}

function addFigureRow(body, figure, channel, item, value) {
  const row = document.createElement("tr");
  if (item.outcome === "FAIL") row.className = "fail";
  else if (item.outcome === "MARGINAL") row.className = "marginal";
  cell(row, figure);
  cell(row, channel);
  const unit = item.unit ? " " + item.unit : "";
  cell(row, item.defined === false ? "not defined" : number(value) + unit, "number");
  cell(row, item.low === null || item.low === undefined ? "" : number(item.low), "number");
  cell(row, item.high === null || item.high === undefined ? "" : number(item.high), "number");
  cell(row, item.outcome || "", item.outcome ? "outcome-" + item.outcome : "");
  body.appendChild(row);
}

function showResult(result) {
  const body = $("figures").tBodies[0];
  body.replaceChildren();
  if (result.pitch_error) addFigureRow(body, "pitch_error", "", result.pitch_error, result.pitch_error.value);
  const channels = result.channels || {};
  const present = Object.keys(channels.left || channels.right || {});
  const names = FIGURE_ORDER.filter((name) => present.includes(name))
    .concat(present.filter((name) => !FIGURE_ORDER.includes(name)));
  for (const name of names) {
    for (const channel of ["left", "right"]) {
      const item = (channels[channel] || {})[name];
      if (item) addFigureRow(body, name, channel, item, item.value);
    }
  }
  // Of the response, the tones that did not pass: the drawing shows the rest.
  const response = result.response || {};
  for (const channel of ["left", "right"]) {
    for (const tone of response[channel] || []) {
      if (tone.outcome === "FAIL" || tone.outcome === "MARGINAL") {
        addFigureRow(body, "response tone " + tone.tone + " (" + number(tone.nominal_hz) + " Hz)",
                     channel, Object.assign({ unit: "dB" }, tone), tone.db);
      }
    }
  }
}

async function loadResult(runId) {
  const answer = await fetch("/api/runs/" + encodeURIComponent(runId));
  if (answer.status !== 200 || shownRun !== runId) return;
  showResult(await answer.json());
  const picture = document.createElement("img");
  picture.alt = "response of both channels with the limit mask";
  picture.src = "/api/runs/" + encodeURIComponent(runId) + "/response.svg";
  $("response").replaceChildren(picture);
}

function showCounts(today) {
  $("count-tested").textContent = today.tested;
  $("count-passed").textContent = today.passed;
  $("count-failed").textContent = today.failed;
  $("count-errors").textContent = today.errors;
  $("count-yield").textContent = today.yield === null ? "–" : (100 * today.yield).toFixed(1) + " %";
}

function showRecent(runs) {
  const body = $("recent").tBodies[0];
  body.replaceChildren();
  for (const run of runs) {
    const row = document.createElement("tr");
    cell(row, new Date(run.ended_at).toLocaleTimeString());
    cell(row, run.serial);
    cell(row, run.verdict, "verdict-" + run.verdict);
    body.appendChild(row);
  }
}

// The open control-chart alarms: a notice beside the banner, each with its
// own acknowledge button. While the station stops on an open alarm
// (stop_on_alarm), Test is disabled and says why.
function showAlarms(alarms, stopped) {
  const list = $("alarm-list");
  list.replaceChildren();
  for (const alarm of alarms || []) {
    const item = document.createElement("li");
    const text = document.createElement("span");
    text.textContent = alarm.summary + " (value " + number(alarm.value) + ", centre " + number(alarm.centre) +
                       ", sigma " + number(alarm.sigma) + ")";
    const button = document.createElement("button");
    button.type = "button";
    button.className = "acknowledge";
    button.textContent = "Acknowledge";
    button.addEventListener("click", () => acknowledge(alarm));
    item.append(text, button);
    list.appendChild(item);
  }
  $("alarms").hidden = !(alarms && alarms.length);
  $("alarms-stopped").hidden = !stopped;
  $("alarms-stopped").textContent = stopped ? "Testing stopped: " + stopped : "";
  $("test").disabled = !!stopped;
  $("test").title = stopped || "";
}

async function acknowledge(alarm) {
  const by = $("ack-by").value.trim();
  if (!by) {
    $("ack-notice").textContent = "Type your name to acknowledge an alarm.";
    $("ack-by").focus();
    return;
  }
  $("ack-notice").textContent = "";
  let answer;
  try {
    answer = await fetch("/api/alarms/ack", {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ run_id: alarm.run_id, figure: alarm.figure, channel: alarm.channel, tone: alarm.tone,
                             rule: alarm.rule, by: by, note: $("ack-note").value.trim() }),
    });
  } catch (error) {
    $("ack-notice").textContent = "The station does not answer: " + error.message;
    return;
  }
  if (answer.status !== 200) {
    const reply = await answer.json().catch(() => ({}));
    $("ack-notice").textContent = reply.error || "Not acknowledged (" + answer.status + ")";
  }
  refreshStatus(false);
}

// Shows the station as a status answer has it. The banner follows the
// answer only when it is newer than every event already shown, or when
// `force` (the shown run has ended and the stream did not say so).
function showStatus(status, force) {
  keepsRecords = status.records === true;
  const newer = status.event_id > seenEvent;
  if (newer) seenEvent = status.event_id;
  if (!newer && !force) return;
  if (status.run) {
    if (shownRun !== status.run.run_id || !shownRunning) showRunning(status.run);
    showProgress(status.run.index || 0, status.run.count || 0, status.run.step || "");
  } else if (status.last && (shownRun !== status.last.run_id || shownRunning)) {
    showVerdict(status.last);
  }
}

async function refreshStatus(force) {
  const asked = ++statusAsked;
  let answer;
  try {
    answer = await fetch("/api/status");
  } catch (error) {
    return null;
  }
  if (answer.status === 401) {
    notice("Not authorised: open this page as /?token=TOKEN");
    return null;
  }
  if (answer.status !== 200) return null;
  const status = await answer.json();
  // Answers can overtake each other: an older one changes nothing.
  if (asked < statusShown) return null;
  statusShown = asked;
  showCounts(status.today);
  showRecent(status.recent);
  $("history-source").textContent = "from " + status.history;
  showAlarms(status.alarms, status.stopped);
  showGolden(status.golden);
  showStatus(status, force);
  return status;
}

// The run the page shows as running has not advanced for a while, or the
// stream was broken (`reopened`): ask for it by its id. Ended: show its
// verdict (and, when the stream stalled, open it afresh from the last event
// seen). Still going: ask again later.
async function checkStalled(reopened) {
  if (!shownRun || !shownRunning || checking) return;
  if (!reopened && performance.now() - lastAdvance < STALLED_MS) return;
  checking = true;
  const runId = shownRun;
  try {
    const answer = await fetch("/api/runs/" + encodeURIComponent(runId));
    if (answer.status === 202) {
      lastAdvance = performance.now();
    } else if (answer.status === 200 && shownRun === runId && shownRunning) {
      await refreshStatus(true);
      if (!reopened) listen();
    }
  } catch (error) {
    // The station does not answer: the next check asks again.
  } finally {
    checking = false;
  }
}

async function startRun(serial) {
  notice("");
  let answer;
  try {
    answer = await fetch("/api/runs", {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ serial: serial }),
    });
  } catch (error) {
    notice("The station does not answer: " + error.message);
    return;
  }
  const reply = await answer.json().catch(() => ({}));
  const field = $("serial");
  if (answer.status === 202) {
    field.value = "";
    if (shownRun !== reply.run_id) showRunning({ run_id: reply.run_id, serial: serial });
  } else if (answer.status === 409) {
    const why = "A run is in progress" + (reply.serial ? " (serial " + reply.serial + ")" : "") +
                ": wait for its verdict, then scan again.";
    // Over the running unit's own banner a line says it; over an older
    // verdict the banner itself says that this scan started nothing.
    if (!(shownRunning && shownRun === reply.run_id)) showRefused(serial, why);
    notice(why, reply.run_id);
    field.select();
  } else if (answer.status === 401) {
    notice("Not authorised: open this page as /?token=TOKEN");
  } else {
    const why = reply.error || "The station refused the serial (" + answer.status + ")";
    showRefused(serial, why);
    // A golden check that is due is said once, in its own notice.
    if (reply.golden) showGolden(reply.golden);
    else notice(why);
    field.select();
  }
}

// Applies an event once, in order: one the page has already seen (in the
// stream or in a status snapshot) changes nothing.
function fresh(event) {
  const id = Number(event.lastEventId);
  if (id && id <= seenEvent) return false;
  if (id) seenEvent = id;
  return true;
}

// Opens the event stream, resuming after the last event seen. The browser
// reconnects by itself (with Last-Event-ID) when the stream breaks; a stream
// it gave up on is opened again.
function listen() {
  if (events) events.close();
  const stream = new EventSource("/api/events" + (seenEvent ? "?after=" + seenEvent : ""));
  events = stream;
  stream.addEventListener("open", () => {
    refreshStatus(false);
    if (streamBroken) checkStalled(true);
    streamBroken = false;
  });
  stream.addEventListener("error", () => {
    streamBroken = true;
    if (stream.readyState === EventSource.CLOSED && events === stream) setTimeout(listen, 1000);
  });
  stream.addEventListener("started", (event) => {
    if (!fresh(event)) return;
    const run = JSON.parse(event.data);
    if (shownRun !== run.run_id || !shownRunning) showRunning(run);
  });
  stream.addEventListener("step", (event) => {
    if (!fresh(event)) return;
    const step = JSON.parse(event.data);
    if (shownRun !== step.run_id || !shownRunning) showRunning(step);
    showProgress(step.index, step.count, step.step);
  });
  stream.addEventListener("alarms", (event) => {
    if (fresh(event)) refreshStatus(false);
  });
  stream.addEventListener("golden", (event) => {
    if (fresh(event)) showGolden(JSON.parse(event.data));
  });
  stream.addEventListener("verdict", (event) => {
    if (!fresh(event)) return;
    showVerdict(JSON.parse(event.data));
    refreshStatus(false);
    $("serial").focus();
  });
}

document.addEventListener("DOMContentLoaded", () => {
  const field = $("serial");
  field.focus();
  $("start").addEventListener("submit", (event) => {
    event.preventDefault();
    const serial = field.value;
    if (serial) startRun(serial);
  });
  refreshStatus(false);
  listen();
  setInterval(() => checkStalled(false), 1000);
  // A golden check falls due with time too.
  setInterval(() => refreshStatus(false), 30000);
});

// The station page. Every text from the server goes into the page as text
// (textContent), never as markup.
"use strict";

const $ = (id) => document.getElementById(id);
let shownRun = null;       // the run whose verdict the banner shows
let statusRequest = null;  // the newest status request, so answers never go back in time
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
  const banner = $("banner");
  banner.className = "banner " + kind;
  $("banner-verdict").textContent = verdict;
  $("banner-serial").textContent = serial;
  $("banner-detail").textContent = detail || "";
}

function notice(text) {
  $("notice").textContent = text || "";
}

function showProgress(index, count, step) {
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
  loadResult(summary.run_id);
}

function showRunning(run) {
  shownRun = run.run_id;
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

async function refreshStatus(showLast) {
  const request = {};
  statusRequest = request;
  const answer = await fetch("/api/status");
  if (answer.status === 401) {
    notice("Not authorised: open this page as /?token=TOKEN");
    return null;
  }
  if (answer.status !== 200 || statusRequest !== request) return null;
  const status = await answer.json();
  showCounts(status.today);
  showRecent(status.recent);
  $("history-source").textContent = "from " + status.history;
  if (showLast) {
    if (status.run) showRunning(status.run);
    else if (status.last) showVerdict(status.last);
  }
  return status;
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
    notice("A run is in progress" + (reply.serial ? " (serial " + reply.serial + ")" : "") +
           ": wait for its verdict, then scan again.");
    field.select();
  } else if (answer.status === 401) {
    notice("Not authorised: open this page as /?token=TOKEN");
  } else {
    notice(reply.error || "The station refused the serial (" + answer.status + ")");
    field.select();
  }
}

function listen() {
  const events = new EventSource("/api/events");
  events.addEventListener("open", () => refreshStatus(false));
  events.addEventListener("started", (event) => {
    const run = JSON.parse(event.data);
    if (shownRun !== run.run_id) showRunning(run);
  });
  events.addEventListener("step", (event) => {
    const step = JSON.parse(event.data);
    if (shownRun !== step.run_id) showRunning(step);
    showProgress(step.index, step.count, step.step);
  });
  events.addEventListener("verdict", (event) => {
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
  refreshStatus(true);
  listen();
});

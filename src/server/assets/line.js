// The line page: every station's yields, the failing figures, the figures'
// Cpk and stations side by side, control charts and alarms. Drawn with
// Chart.js, served by this program (/chart.js): no network beyond it.
"use strict";

const REFRESH_MS = 30000;
const RED = "#c62828", BLUE = "#1f5fa8", GREY = "#777", GREEN = "#2e7d32", ORANGE = "#ef6c00";
const charts = {};
let summary = null;
let chosenFigure = null;  // "figure|channel" shown side by side

const $ = (id) => document.getElementById(id);

function number(value) {
  if (value === null || value === undefined) return "–";
  if (value === 0) return "0";
  const text = Math.abs(value) >= 1e5 || Math.abs(value) < 1e-3 ? value.toExponential(3) : value.toPrecision(4);
  return text.replace(/\.?0+(e|$)/, "$1");
}
function percent(value) { return value === null || value === undefined ? "–" : (value * 100).toFixed(1) + " %"; }
function chartName(figure, channel, tone) {
  return (channel ? channel + " " : "") + figure + (tone ? " tone " + tone : "");
}
function localTime(iso) {
  const d = new Date(iso);
  const pad = (n) => String(n).padStart(2, "0");
  const time = pad(d.getHours()) + ":" + pad(d.getMinutes());
  return d.toDateString() === new Date().toDateString() ? time : pad(d.getMonth() + 1) + "-" + pad(d.getDate()) + " " + time;
}
function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

// Horizontal lines (limits, centre) carry their own label, drawn at their
// right end in their colour.
const lineLabels = {
  id: "lineLabels",
  afterDatasetsDraw(chart) {
    const { ctx, chartArea, scales } = chart;
    ctx.save();
    ctx.font = "12px system-ui, sans-serif";
    ctx.textAlign = "right";
    for (const ds of chart.data.datasets) {
      if (ds.lineLabel === undefined) continue;
      const y = scales.y.getPixelForValue(ds.lineValue);
      if (y < chartArea.top - 1 || y > chartArea.bottom + 1) continue;
      ctx.fillStyle = ds.borderColor;
      // Limits labelled at the right end, control limits at the left: the
      // two never cover each other where they lie close.
      ctx.textAlign = ds.labelLeft ? "left" : "right";
      ctx.fillText(ds.lineLabel, ds.labelLeft ? chartArea.left + 4 : chartArea.right - 4, y - 4);
    }
    ctx.restore();
  },
};

function horizontal(label, value, count, colour, dashed, labelLeft) {
  return {
    type: "line", label, lineLabel: label + " " + number(value), lineValue: value, labelLeft: !!labelLeft,
    data: Array(count).fill(value), borderColor: colour, borderWidth: 1.5,
    borderDash: dashed ? [6, 4] : [], pointRadius: 0, pointHitRadius: 0, fill: false, order: 2,
  };
}

// A value outside the axis is drawn on its edge (a triangle); the tooltip
// tells the value itself.
function onAxis(value, axis) { return Math.min(axis.high, Math.max(axis.low, value)); }
function outside(value, axis) { return value < axis.low || value > axis.high; }

function valueAxis(axis, title) {
  return {
    min: axis.low, max: axis.high,
    afterBuildTicks: (scale) => { scale.ticks = axis.ticks.map((value) => ({ value })); },
    ticks: { callback: (value) => number(value) },
    title: { display: true, text: title },
  };
}

function draw(id, config) {
  if (charts[id]) charts[id].destroy();
  config.options = Object.assign({ responsive: true, maintainAspectRatio: false, animation: false }, config.options);
  config.plugins = [lineLabels];
  charts[id] = new Chart($(id), config);
}

function showStations() {
  const body = $("stations").tBodies[0];
  body.replaceChildren();
  for (const s of summary.stations) {
    const row = body.insertRow();
    cell(row, s.station);
    for (const period of [s.day, s.shift]) {
      cell(row, String(period.runs));
      cell(row, percent(period.yield), period.yield !== null && period.yield < 0.95 ? "low" : "");
      cell(row, percent(period.first_pass_yield),
           period.first_pass_yield !== null && period.first_pass_yield < 0.95 ? "low" : "");
    }
  }
}

function showPareto() {
  const pareto = summary.pareto;
  $("pareto-none").hidden = pareto.length > 0;
  const total = pareto.reduce((sum, f) => sum + f.runs, 0);
  let running = 0;
  const cumulative = pareto.map((f) => { running += f.runs; return (100 * running) / total; });
  draw("pareto", {
    type: "bar",
    data: {
      labels: pareto.map((f) => chartName(f.figure, f.channel, 0)),
      datasets: [
        { type: "bar", label: "runs failed", data: pareto.map((f) => f.runs), backgroundColor: RED, yAxisID: "y", order: 2 },
        { type: "line", label: "cumulative %", data: cumulative, borderColor: GREY, backgroundColor: GREY,
          yAxisID: "share", order: 1 },
      ],
    },
    options: {
      scales: {
        y: { beginAtZero: true, ticks: { precision: 0 }, title: { display: true, text: "runs failed today" } },
        share: { position: "right", min: 0, max: 100, grid: { drawOnChartArea: false },
                 title: { display: true, text: "cumulative / %" } },
        x: { title: { display: true, text: "figure" } },
      },
    },
  });
}

function showAlarms() {
  const body = $("alarms").tBodies[0];
  body.replaceChildren();
  $("alarms-none").hidden = summary.alarms.length > 0;
  for (const a of summary.alarms) {
    const row = body.insertRow();
    row.className = "clickable" + (a.acknowledged_at ? "" : " unacknowledged");
    cell(row, localTime(a.raised_at));
    cell(row, a.station);
    cell(row, chartName(a.figure, a.channel, a.tone));
    cell(row, a.rule);
    cell(row, number(a.value));
    cell(row, a.acknowledged_at ? a.acknowledged_by + ", " + localTime(a.acknowledged_at) : "no");
    row.addEventListener("click", () => chooseChart(a.station, a.figure, a.channel, a.tone));
  }
}

function figureKey(f) { return f.figure + "|" + f.channel; }

function showFigures() {
  const body = $("figures").tBodies[0];
  body.replaceChildren();
  if (!summary.figures.some((f) => figureKey(f) === chosenFigure)) {
    const apart = summary.figures.find((f) => f.stations.some((s) => s.stands_out));
    chosenFigure = summary.figures.length ? figureKey(apart || summary.figures[0]) : null;
  }
  for (const f of summary.figures) {
    const row = body.insertRow();
    row.className = "clickable" + (figureKey(f) === chosenFigure ? " chosen" : "");
    row.dataset.figure = figureKey(f);
    cell(row, chartName(f.figure, f.channel, 0));
    cell(row, f.unit);
    cell(row, (f.low === null ? "" : "min " + number(f.low)) + (f.low !== null && f.high !== null ? ", " : "") +
              (f.high === null ? "" : "max " + number(f.high)));
    cell(row, String(f.n));
    cell(row, number(f.mean));
    cell(row, number(f.stddev));
    cell(row, number(f.cpk), f.cpk !== null && f.cpk < 1.33 ? "low" : "");
    cell(row, f.cpk === null ? "–" : number(f.cpk_low) + " … " + number(f.cpk_high));
    cell(row, f.stations.filter((s) => s.stands_out).map((s) => s.station).join(", "), "stands-out");
    row.addEventListener("click", () => { chosenFigure = figureKey(f); showFigures(); });
  }
  showSideBySide();
}

function showSideBySide() {
  const f = summary.figures.find((x) => figureKey(x) === chosenFigure);
  if (!f) return;
  $("side-title").textContent = "Stations side by side: " + chartName(f.figure, f.channel, 0) +
      " (mean and ± 1 standard deviation per station)";
  const names = f.stations.map((s) => s.station);
  const colour = (s) => (s.stands_out ? RED : BLUE);
  const datasets = [
    { type: "bar", label: "± 1 std dev", order: 3,
      data: f.stations.map((s) => [onAxis(s.mean - s.stddev, f.axis), onAxis(s.mean + s.stddev, f.axis)]),
      backgroundColor: f.stations.map((s) => (s.stands_out ? "rgba(198,40,40,0.25)" : "rgba(31,95,168,0.2)")),
      barPercentage: 0.5 },
    { type: "line", label: "mean", order: 1, showLine: false,
      data: f.stations.map((s) => onAxis(s.mean, f.axis)),
      pointStyle: f.stations.map((s) => (outside(s.mean, f.axis) ? "triangle" : "circle")),
      pointRadius: f.stations.map((s) => (s.stands_out ? 7 : 4)),
      pointBackgroundColor: f.stations.map(colour), pointBorderColor: f.stations.map(colour) },
  ];
  if (f.low !== null) datasets.push(horizontal("min", f.low, names.length, ORANGE, false));
  if (f.high !== null) datasets.push(horizontal("max", f.high, names.length, ORANGE, false));
  draw("side", {
    data: { labels: names, datasets },
    options: {
      plugins: {
        legend: { labels: { usePointStyle: true,
                            filter: (item, data) => data.datasets[item.datasetIndex].lineLabel === undefined } },
        tooltip: { callbacks: { label: (ctx) => {
          const s = f.stations[ctx.dataIndex];
          return s.station + ": mean " + number(s.mean) + " " + f.unit + ", std dev " + number(s.stddev) +
                 ", " + s.n + " runs" + (s.stands_out ? " (stands apart)" : "");
        } } },
      },
      scales: {
        y: valueAxis(f.axis, chartName(f.figure, f.channel, 0) + " / " + f.unit),
        x: { title: { display: true, text: "station" },
             ticks: { color: (ctx) => (f.stations[ctx.index] && f.stations[ctx.index].stands_out ? RED : "#333") } },
      },
    },
  });
  $("side").dataset.standingOut = f.stations.filter((s) => s.stands_out).map((s) => s.station).join(",");
}

function fillChoices() {
  const stationSelect = $("chart-station"), figureSelect = $("chart-figure");
  const keepStation = stationSelect.value, keepFigure = figureSelect.value;
  stationSelect.replaceChildren(...summary.stations.map((s) => new Option(s.station, s.station)));
  const figures = summary.figures.map((f) => new Option(chartName(f.figure, f.channel, 0), figureKey(f)));
  for (const channel of ["left", "right"]) figures.push(new Option(channel + " response", "response|" + channel));
  figureSelect.replaceChildren(...figures);
  if (keepStation) stationSelect.value = keepStation;
  if (keepFigure) figureSelect.value = keepFigure;
}

async function chooseChart(station, figure, channel, tone) {
  if (![...$("chart-station").options].some((o) => o.value === station)) {
    $("chart-station").add(new Option(station, station));
  }
  $("chart-station").value = station;
  $("chart-figure").value = figure + "|" + channel;
  if (tone) $("chart-tone").value = tone;
  await loadChart();
}

async function loadChart() {
  const station = $("chart-station").value;
  const [figure, channel] = ($("chart-figure").value || "|").split("|");
  const response = figure === "response";
  $("tone-label").hidden = !response;
  if (!station || !figure) return;
  const tone = response ? $("chart-tone").value : "0";
  const query = new URLSearchParams({ station, figure, channel, tone });
  const answer = await fetch("/api/line/chart?" + query, { cache: "no-store" });
  const body = await answer.json();
  if (!answer.ok) {
    $("chart-note").textContent = body.error || "no chart";
    if (charts.control) { charts.control.destroy(); delete charts.control; }
    return;
  }
  showControlChart(body);
}

function showControlChart(c) {
  const alarmsByRun = {};
  for (const a of c.alarms) (alarmsByRun[a.run_id] = alarmsByRun[a.run_id] || []).push(a.rule);
  const labels = c.points.map((p) => localTime(p.started_at));
  const marked = c.points.map((p) => alarmsByRun[p.run_id] !== undefined);
  const datasets = [{
    type: "line", label: chartName(c.figure, c.channel, c.tone), order: 1,
    data: c.points.map((p) => onAxis(p.value, c.axis)),
    borderColor: BLUE, borderWidth: 1, backgroundColor: BLUE,
    pointStyle: c.points.map((p, i) => (marked[i] ? "rectRot" : outside(p.value, c.axis) ? "triangle" : "circle")),
    pointRadius: c.points.map((p, i) => (marked[i] ? 7 : outside(p.value, c.axis) ? 7 : 2)),
    pointBackgroundColor: c.points.map((p, i) => (marked[i] ? RED : outside(p.value, c.axis) ? ORANGE : BLUE)),
    pointBorderColor: c.points.map((p, i) => (marked[i] ? RED : outside(p.value, c.axis) ? ORANGE : BLUE)),
  }];
  const beyond = c.points.filter((p) => outside(p.value, c.axis)).length;
  const n = labels.length;
  if (c.centre !== null) {
    datasets.push(horizontal("centre", c.centre, n, GREEN, false, true));
    datasets.push(horizontal("UCL", c.centre + 3 * c.sigma, n, GREEN, true, true));
    datasets.push(horizontal("LCL", c.centre - 3 * c.sigma, n, GREEN, true, true));
  }
  if (c.low !== null) datasets.push(horizontal("min", c.low, n, ORANGE, false));
  if (c.high !== null) datasets.push(horizontal("max", c.high, n, ORANGE, false));
  const alarmCount = marked.filter(Boolean).length;
  $("chart-note").textContent = c.station + ", " + chartName(c.figure, c.channel, c.tone) + ": newest " + n +
      " production runs; " + (c.centre === null ? "no control limits yet" :
      "control limits " + ({ stated: "stated in the limits file", alarm: "of the station's newest alarm" }[c.limits_from] ||
        "from the first " + c.baseline_runs + " runs judged against the newest limits file")) +
      "; " + alarmCount + (alarmCount === 1 ? " run" : " runs") + " with alarms (red diamonds)" +
      (beyond ? "; " + beyond + (beyond === 1 ? " value" : " values") + " off the scale, drawn on its edge (orange triangles)" : "");
  draw("control", {
    data: { labels, datasets },
    options: {
      plugins: {
        legend: { labels: { usePointStyle: true,
                            filter: (item, data) => data.datasets[item.datasetIndex].lineLabel === undefined } },
        tooltip: { callbacks: { label: (ctx) => {
          if (ctx.datasetIndex !== 0) return ctx.dataset.lineLabel;
          const p = c.points[ctx.dataIndex];
          const rules = alarmsByRun[p.run_id];
          return number(p.value) + " " + c.unit + "  run " + p.run_id + (rules ? "  ALARM: " + rules.join(", ") : "");
        } } },
      },
      scales: {
        y: valueAxis(c.axis, chartName(c.figure, c.channel, c.tone) + " / " + c.unit),
        x: { title: { display: true, text: "run start (local time), oldest to newest" },
             ticks: { maxTicksLimit: 12, maxRotation: 0 } },
      },
    },
  });
  $("control").dataset.alarmMarks = String(alarmCount);
  $("control").dataset.station = c.station;
}

async function refresh() {
  try {
    const answer = await fetch("/api/line", { cache: "no-store" });
    const body = await answer.json();
    if (!answer.ok) throw new Error(body.error || answer.statusText);
    summary = body;
    $("periods").textContent = "today since " + localTime(summary.day_start) + " · shift since " +
        localTime(summary.shift_start);
    $("state").textContent = "updated " + localTime(new Date().toISOString());
    $("state").className = "state";
    showStations();
    showPareto();
    showAlarms();
    showFigures();
    const first = !$("chart-station").value;
    fillChoices();
    if (first && summary.alarms.length) {
      const a = summary.alarms[0];
      await chooseChart(a.station, a.figure, a.channel, a.tone);
    } else {
      await loadChart();
    }
    document.body.dataset.loaded = "yes";
  } catch (error) {
    $("state").textContent = "cannot read the line: " + error.message;
    $("state").className = "state failed";
  }
}

document.addEventListener("DOMContentLoaded", () => {
  Chart.defaults.font.size = 13;
  for (const id of ["chart-station", "chart-figure", "chart-tone"]) $(id).addEventListener("change", loadChart);
  refresh();
  setInterval(refresh, REFRESH_MS);
});

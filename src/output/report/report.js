// The report's charts, drawn with uPlot from the data the page carries: the charts' definitions
// in the script element #korvex-charts, each flight's records in #fN-data (see chart_data.h).
// A flight's charts are made when its section comes near the window (or the page is printed);
// they share one cursor, and a legend beside each chart gives every line's value at the
// cursor's second. Dragging across a chart zooms all the flight's charts to that stretch, a
// double click returns to the whole flight, and a click on a finding in the findings table zooms
// them to its stretch.
(function () {
  "use strict";
  // The charts' definitions: their lines, units, limits, the clock and the phases' colours.
  const defs = JSON.parse(document.getElementById("korvex-charts").textContent);
  const COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2",
    "#7f7f7f", "#bcbd22", "#17becf", "#393b79", "#637939"];
  const HEIGHT = 230;
  const AXIS = 64;  // the width of a value axis's labels, its title beside them
  // For tests and for the curious: each flight's uPlot charts, by flight number.
  const flights = new Map();
  window.korvexReport = { flights: flights, build: build };

  function two(n) {
    return (n < 10 ? "0" : "") + n;
  }
  // A time as the report's clock shows it: HH:MM:SS, or minutes and seconds from the flight's
  // start for an instrument without a clock.
  function timeText(t, start) {
    if (!defs.dated) {
      const s = Math.max(0, Math.floor(t - start));
      return Math.floor(s / 60) + ":" + two(s % 60) + " from the start";
    }
    const d = new Date(Math.floor(t) * 1000);
    return two(d.getUTCHours()) + ":" + two(d.getUTCMinutes()) + ":" + two(d.getUTCSeconds()) +
      (defs.utc ? " UTC" : "");
  }

  function decode(raw) {
    const x = new Array(raw.x.length);
    let t = raw.x0;
    for (let i = 0; i < raw.x.length; i++) {
      t += raw.x[i];
      x[i] = t;
    }
    const y = raw.y.map(function (line) {
      if (line === null) return null;
      const decimals = line[0], scale = Math.pow(10, decimals);
      const values = new Array(x.length);
      let v = 0, started = false;
      for (let i = 1; i < line.length; i++) {
        const e = line[i];
        if (e === null) {
          values[i - 1] = null;
          continue;
        }
        v = started ? v + e : e;
        started = true;
        values[i - 1] = v / scale;
      }
      let low = Infinity, high = -Infinity;
      for (const value of values) {
        if (value === null) continue;
        if (value < low) low = value;
        if (value > high) high = value;
      }
      return { values: values, decimals: decimals, low: low, high: high };
    });
    return { x: x, y: y };
  }

  // The stretches of time shaded on a chart, below its lines: the cruise segments lightly, the
  // findings of its lines in red, and the phases as a band of colour at the foot of the plot.
  function shading(raw, chartIndex) {
    return function (u) {
      const ctx = u.ctx, box = u.bbox;
      const band = Math.round(7 * devicePixelRatio);
      ctx.save();
      ctx.beginPath();
      ctx.rect(box.left, box.top, box.width, box.height);
      ctx.clip();
      const fill = function (first, last, top, height, colour) {
        const a = u.valToPos(first, "x", true), b = u.valToPos(last + 1, "x", true);
        ctx.fillStyle = colour;
        ctx.fillRect(a, top, Math.max(b - a, 1), height);
      };
      for (const c of raw.cruise) fill(c[0], c[1], box.top, box.height, "rgba(67,160,71,0.10)");
      for (const f of raw.findings) {
        if (f[2] === chartIndex) fill(f[0], f[1], box.top, box.height, "rgba(214,39,40,0.16)");
      }
      for (const p of raw.phases) {
        fill(p[0], p[1], box.top + box.height - band, band, defs.phaseColours[p[2]]);
      }
      ctx.restore();
    };
  }

  // The limits of a chart's lines, dashed across the plot and labelled.
  function limits(lines) {
    return function (u) {
      const ctx = u.ctx, box = u.bbox;
      ctx.save();
      ctx.setLineDash([7 * devicePixelRatio, 4 * devicePixelRatio]);
      ctx.lineWidth = devicePixelRatio;
      ctx.font = Math.round(11 * devicePixelRatio) + "px system-ui, sans-serif";
      lines.forEach(function (line, k) {
        for (const which of ["min", "max"]) {
          const limit = line.def[which];
          if (limit === null || limit === undefined) continue;
          const y = u.valToPos(limit, line.def.axis === 1 ? "y2" : "y", true);
          if (y < box.top || y > box.top + box.height) continue;
          ctx.strokeStyle = ctx.fillStyle = COLOURS[k % COLOURS.length];
          ctx.beginPath();
          ctx.moveTo(box.left, y);
          ctx.lineTo(box.left + box.width, y);
          ctx.stroke();
          ctx.fillText(which + " " + line.def.name + " " + limit, box.left + 4 * devicePixelRatio,
            y - 3 * devicePixelRatio);
        }
      });
      ctx.restore();
    };
  }

  // The range of a scale: its lines' values and their limits, a little beyond.
  function padded(low, high) {
    if (!(high > low)) {
      const half = Math.abs(low) > 0 ? Math.abs(low) * 0.1 : 1;
      return [low - half, high + half];
    }
    const margin = (high - low) * 0.05;
    return [low - margin, high + margin];
  }
  function rangeOf(lines, axis) {
    let low = Infinity, high = -Infinity;
    for (const line of lines) {
      if (line.def.axis !== axis) continue;
      low = Math.min(low, line.data.low);
      high = Math.max(high, line.data.high);
      for (const limit of [line.def.min, line.def.max]) {
        if (limit === null || limit === undefined) continue;
        low = Math.min(low, limit);
        high = Math.max(high, limit);
      }
    }
    return low <= high ? [low, high] : null;
  }

  function axisTitle(lines) {
    if (lines.length === 0) return "";
    const unit = lines[0].def.unit;
    const oneUnit = lines.every(function (l) { return l.def.unit === unit; });
    const named = lines.length > 3 ? [lines[0].def.name + " to " + lines[lines.length - 1].def.name]
      : lines.map(function (l) {
        return oneUnit || !l.def.unit ? l.def.name : l.def.name + " (" + l.def.unit + ")";
      });
    const title = named.join(", ");
    return oneUnit && unit ? title + " (" + unit + ")" : title;
  }

  function build(section) {
    const n = section.dataset.flight;
    if (flights.has(n)) return flights.get(n);
    const raw = JSON.parse(document.getElementById("f" + n + "-data").textContent);
    const data = decode(raw);
    const charts = [];
    flights.set(n, charts);
    // Charts of one kind (the EGTs of both engines, their CHTs) share one scale.
    const shared = {};
    defs.charts.forEach(function (chart) {
      if (chart.scale === 0) return;
      for (const i of chart.lines) {
        const line = data.y[i];
        if (!line) continue;
        const r = shared[chart.scale] || [Infinity, -Infinity];
        shared[chart.scale] = [Math.min(r[0], line.low), Math.max(r[1], line.high)];
      }
    });
    let syncing = false;
    const zoomAll = function (u) {
      if (syncing) return;
      syncing = true;
      const min = u.scales.x.min, max = u.scales.x.max;
      for (const other of charts) if (other !== u) other.setScale("x", { min: min, max: max });
      syncing = false;
    };
    for (const figure of section.querySelectorAll("figure.chart")) {
      const chartIndex = Number(figure.dataset.chart);
      const chart = defs.charts[chartIndex];
      const lines = chart.lines.filter(function (i) { return data.y[i]; }).map(function (i) {
        return { def: defs.lines[i], data: data.y[i] };
      });
      const plot = figure.querySelector(".plot"), legend = figure.querySelector(".legend");
      const series = [{
        label: defs.dated ? (defs.utc ? "time (UTC)" : "time") : "time",
        value: function (u, v) { return v === null || v === undefined ? "" : timeText(v, raw.x0); },
      }];
      lines.forEach(function (line, k) {
        const decimals = line.data.decimals, unit = line.def.unit;
        series.push({
          label: line.def.name,
          scale: line.def.axis === 1 ? "y2" : "y",
          stroke: COLOURS[k % COLOURS.length],
          width: 1.6,
          value: function (u, v) {
            return v === null || v === undefined ? "–" : v.toFixed(decimals) + (unit ? " " + unit : "");
          },
        });
      });
      const left = lines.filter(function (l) { return l.def.axis === 0; });
      const right = lines.filter(function (l) { return l.def.axis === 1; });
      // The whole flight shows the limits, and the range the charts of its kind share; a zoomed
      // stretch its own values.
      const whole = function (u) {
        return u.scales.x.min <= data.x[0] && u.scales.x.max >= data.x[data.x.length - 1];
      };
      const leftRange = chart.scale !== 0 ? shared[chart.scale] : rangeOf(lines, 0);
      const rangeFrom = function (fixed) {
        return function (u, min, max) {
          return padded.apply(null, fixed && whole(u) ? fixed : [min, max]);
        };
      };
      const scales = { x: { time: defs.dated }, y: { range: rangeFrom(leftRange) } };
      const font = "12px system-ui, sans-serif";
      const axes = [{
        // Times of day as HH:MM (HH:MM:SS where the ticks are closer than a minute), or minutes
        // from the start.
        // Whole seconds and round clock steps; a record has no finer time.
        incrs: [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200,
          86400],
        values: function (u, splits, axisIdx, space, step) {
          return splits.map(function (v) {
            if (!defs.dated) {
              const s = Math.round(v - raw.x0);
              return step < 60 ? Math.floor(s / 60) + ":" + two(((s % 60) + 60) % 60) : String(Math.round(s / 60));
            }
            const d = new Date(v * 1000);
            return two(d.getUTCHours()) + ":" + two(d.getUTCMinutes()) +
              (step < 60 ? ":" + two(d.getUTCSeconds()) : "");
          });
        },
        label: defs.dated ? (defs.utc ? "UTC" : "") : "minutes from the start",
        font: font, labelFont: font, labelSize: defs.dated && !defs.utc ? 8 : 20,
      }, { scale: "y", label: axisTitle(left), size: AXIS, font: font, labelFont: font, labelSize: 20 }];
      if (right.length > 0) {
        scales.y2 = { range: rangeFrom(rangeOf(lines, 1)) };
        axes.push({ scale: "y2", side: 1, label: axisTitle(right), size: AXIS, grid: { show: false },
          font: font, labelFont: font, labelSize: 20 });
      }
      const options = {
        width: Math.max(plot.clientWidth, 300),
        height: HEIGHT,
        // A chart without a right axis leaves its room blank, so that the plots of a flight
        // line up and the cursor stands at the same place on each.
        padding: [10, right.length > 0 ? 8 : 8 + AXIS + 20, 0, 0],
        series: series,
        scales: scales,
        axes: axes,
        tzDate: function (ts) { return uPlot.tzDate(new Date(ts * 1000), "UTC"); },
        cursor: { y: false, sync: { key: "flight-" + n, setSeries: false }, drag: { x: true, y: false } },
        legend: { mount: function (u, el) { legend.appendChild(el); } },
        hooks: {
          drawClear: [shading(raw, chartIndex)],
          draw: [limits(lines)],
          setScale: [function (u, key) { if (key === "x") zoomAll(u); }],
        },
      };
      const u = new uPlot(options, [data.x].concat(lines.map(function (l) { return l.data.values; })), plot);
      charts.push(u);
      new ResizeObserver(function () {
        const width = Math.max(plot.clientWidth, 300);
        if (Math.abs(width - u.width) > 1) u.setSize({ width: width, height: HEIGHT });
      }).observe(plot);
    }
    return charts;
  }

  // Zooms a flight's charts to a stretch, with a margin around it.
  function zoom(section, first, last) {
    const charts = build(section);
    if (charts.length === 0) return;
    const margin = Math.max(30, (last - first) * 0.25);
    charts[0].setScale("x", { min: first - margin, max: last + 1 + margin });
  }

  const sections = document.querySelectorAll("section.flight[data-flight]");
  const observer = new IntersectionObserver(function (entries) {
    for (const e of entries) {
      if (!e.isIntersecting) continue;
      observer.unobserve(e.target);
      build(e.target);
    }
  }, { rootMargin: "1200px 0px" });
  sections.forEach(function (s) { observer.observe(s); });
  // A printed report shows every flight's charts.
  window.addEventListener("beforeprint", function () { sections.forEach(build); });

  document.addEventListener("click", function (event) {
    const link = event.target.closest("a[data-first]");
    if (!link) return;
    const section = link.closest("section.flight");
    zoom(section, Number(link.dataset.first), Number(link.dataset.last));
  });
})();

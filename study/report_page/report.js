// The report's plots: reads the data block, draws four dygraphs charts and marks
// on <body> how many were drawn (data-plots-drawn) and any script error (data-errors).
// Numbers and dates are written as the report's language writes them; the time axes
// run on UTC and show the first folder's local time, by the offsets its zone had.
// Series are keyed by identifiers of the page's own ("s0", "e1"); folder names and
// event labels are only shown, escaped. The charts are kept in window.reportGraphs.
(function () {
  'use strict';
  var body = document.body;
  var drawn = 0;
  var errors = [];
  window.addEventListener('error', function (event) {
    errors.push(String(event.message));
    body.setAttribute('data-errors', errors.join(' | '));
  });

  var data = JSON.parse(document.getElementById('report-data').textContent);
  var texts = data.texts;
  var baseMs = data.base * 1000;
  var graphs = [];
  window.reportGraphs = graphs;

  var MINUS = '\u2212';
  var MIN_LINE_GAP = 20;   // pixels between cycle-end lines drawn across the plot
  var MIN_TICK_GAP = 3;    // pixels between cycle-end ticks on the axis

  function escapeHtml(text) {
    return String(text).replace(/[&<>"']/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
    });
  }

  // --- Numbers ---------------------------------------------------------------

  // Digits grouped by threes (in Spanish only from five digits on), the decimal mark, a true minus.
  function localized(plain) {
    var sign = '';
    if (plain.charAt(0) === '-') {
      sign = MINUS;
      plain = plain.slice(1);
    }
    var parts = plain.split('.');
    var whole = parts[0];
    var shortest = texts.lang === 'es' ? 5 : 4;
    if (whole.length >= shortest) whole = whole.replace(/\B(?=(\d{3})+(?!\d))/g, texts.group_mark);
    return sign + whole + (parts.length > 1 ? texts.decimal_mark + parts[1] : '');
  }

  // A number with at most `decimals` places, trailing zeros dropped.
  function plainNumber(value, decimals) {
    var text = value.toFixed(decimals);
    if (text.indexOf('.') >= 0) text = text.replace(/0+$/, '').replace(/\.$/, '');
    if (text === '-0') text = '0';
    return localized(text);
  }

  // An axis label that never grows past eight characters: 950, 12,5 k, 100 k, 1,5 M.
  function compactNumber(value) {
    var size = Math.abs(value);
    if (size >= 1e6) return plainNumber(value / 1e6, size >= 1e8 ? 0 : 2) + '\u00A0M';
    if (size >= 1e4) return plainNumber(value / 1e3, size >= 1e5 ? 0 : 1) + '\u00A0k';
    if (size >= 100) return plainNumber(value, 0);
    return plainNumber(value, 3);
  }

  // --- Times -----------------------------------------------------------------

  var offsets = data.zone.offsets;  // [seconds from base, minutes east of UTC], increasing

  function offsetMs(ms) {
    var at = (ms - baseMs) / 1000;
    var minutes = offsets[0][1];
    for (var i = 1; i < offsets.length && offsets[i][0] <= at; i++) minutes = offsets[i][1];
    return minutes * 60000;
  }

  // The local calendar fields of a moment, read through a Date on local-as-UTC time.
  function localDate(ms) { return new Date(ms + offsetMs(ms)); }

  function two(n) { return (n < 10 ? '0' : '') + n; }

  function dayText(d, withYear) {
    var day = d.getUTCDate(), month = texts.months_short[d.getUTCMonth()];
    var text = texts.lang === 'es' ? day + '\u00A0' + month : month + '\u00A0' + day;
    return withYear ? text + (texts.lang === 'es' ? '\u00A0' : ', ') + d.getUTCFullYear() : text;
  }

  function clockText(d, withSeconds) {
    return two(d.getUTCHours()) + ':' + two(d.getUTCMinutes()) + (withSeconds ? ':' + two(d.getUTCSeconds()) : '');
  }

  function fullTimeText(ms) {
    var d = localDate(ms);
    return dayText(d, true) + ', ' + clockText(d, true);
  }

  // The ticks of a time axis: dygraphs picks round local times; each label is the local time of
  // its own moment (after a clock change too).
  var tickShift = 0;
  function timeTicker(a, b, pixels, opts, dygraph, vals) {
    tickShift = offsetMs(a);
    return Dygraph.dateTicker(a + tickShift, b + tickShift, pixels, opts, dygraph, vals).map(function (tick) {
      return { v: tick.v - tickShift, label: tick.label };
    });
  }

  function timeLabel(shifted, granularity) {
    var d = localDate(shifted.getTime() - tickShift);
    var G = Dygraph.Granularity;
    if (granularity >= G.ANNUAL) return String(d.getUTCFullYear());
    if (granularity >= G.MONTHLY) return texts.months_long[d.getUTCMonth()] + '\u00A0' + d.getUTCFullYear();
    if (granularity >= G.DAILY) return dayText(d, false);
    if (d.getUTCHours() === 0 && d.getUTCMinutes() === 0 && d.getUTCSeconds() === 0) return dayText(d, false);
    return clockText(d, granularity < G.MINUTELY);
  }

  // --- Series ----------------------------------------------------------------

  function markDrawn(graph, initial) {
    if (!initial) return;
    drawn += 1;
    body.setAttribute('data-plots-drawn', String(drawn));
  }

  // Merge curves of (x, y[, n]) points into dygraphs rows; the reference curve also
  // gets its envelope columns, computed from n by `envelope`.
  function mergeRows(curves, reference, envelope, envelopeCount, toX) {
    var points = [];
    curves.forEach(function (curve, c) {
      for (var i = 0; i < curve.x.length; i++) points.push([curve.x[i], c, i]);
    });
    points.sort(function (a, b) { return a[0] - b[0] || a[1] - b[1]; });
    var width = 1 + curves.length + envelopeCount;
    return points.map(function (point) {
      var curve = curves[point[1]];
      var row = new Array(width).fill(null);
      row[0] = toX(point[0]);
      row[1 + point[1]] = curve.y[point[2]];
      if (point[1] === reference && envelope) {
        var bands = envelope(curve.n[point[2]]);
        for (var b = 0; b < envelopeCount; b++) row[1 + curves.length + b] = bands[b];
      }
      return row;
    });
  }

  function timeX(seconds) { return new Date(baseMs + seconds * 1000); }

  // A legend that shows the names, never the identifiers.
  function legendFormatter(names, xText) {
    return function (legend) {
      var parts = [];
      if (legend.x !== undefined && legend.x !== null) parts.push('<b>' + escapeHtml(xText(legend.x)) + '</b>');
      legend.series.forEach(function (series) {
        if (!series.isVisible) return;
        if (legend.x !== undefined && legend.x !== null && (series.y === undefined || series.y === null)) return;
        var shown = series.dashHTML + '\u00A0' + escapeHtml(names[series.label]);
        if (legend.x !== undefined && legend.x !== null) shown += ': ' + escapeHtml(plainNumber(series.y, 3));
        parts.push('<span class="entry">' + shown + '</span>');
      });
      return parts.join(' ');
    };
  }

  var events = (data.marks.events || []).map(function (event) {
    return { start: baseMs + event[0] * 1000, end: baseMs + event[1] * 1000, label: event[2] };
  });
  var cycles = (data.marks.cycles || []).map(function (x) { return baseMs + x * 1000; });
  var repeats = (data.marks.repeats || []).map(function (x) { return baseMs + x * 1000; });

  // Shade the events (with their labels where they fit), mark where an orbit repeats, and mark
  // the cycle ends: lines across the plot while they are far enough apart to be seen, else short
  // ticks under the plot area, so that no mark ever covers the data.
  function underlay(lines) {
    return function (canvas, area, graph) {
      canvas.save();
      canvas.font = '11px sans-serif';
      events.forEach(function (event) {
        var left = Math.max(area.x, graph.toDomXCoord(event.start));
        var right = Math.min(area.x + area.w, graph.toDomXCoord(event.end));
        if (right < area.x || left > area.x + area.w) return;
        canvas.fillStyle = 'rgba(255, 190, 60, 0.25)';
        canvas.fillRect(left, area.y, Math.max(1, right - left), area.h);
        if (right - left >= 24) {
          canvas.save();
          canvas.beginPath();
          canvas.rect(left, area.y, right - left, area.h);
          canvas.clip();
          canvas.fillStyle = '#8a5a00';
          canvas.fillText(event.label, left + 3, area.y + 12);
          canvas.restore();
        }
      });
      var seen = cycles.map(function (x) { return graph.toDomXCoord(x); })
        .filter(function (at) { return at >= area.x && at <= area.x + area.w; });
      var closest = Infinity;
      for (var i = 1; i < seen.length; i++) closest = Math.min(closest, seen[i] - seen[i - 1]);
      canvas.strokeStyle = 'rgba(90, 90, 90, 0.7)';
      if (closest >= MIN_LINE_GAP) {
        canvas.setLineDash([4, 4]);
        seen.forEach(function (at) {
          canvas.beginPath();
          canvas.moveTo(at, area.y);
          canvas.lineTo(at, area.y + area.h);
          canvas.stroke();
        });
        canvas.setLineDash([]);
      }
      cycleTicks(graph, area, closest >= MIN_LINE_GAP ? [] : seen);
      canvas.strokeStyle = 'rgba(40, 40, 160, 0.8)';
      repeats.forEach(function (x) {
        var at = graph.toDomXCoord(x);
        canvas.beginPath();
        canvas.moveTo(at, area.y);
        canvas.lineTo(at, area.y + area.h);
        canvas.stroke();
        canvas.fillStyle = 'rgba(40, 40, 160, 0.9)';
        canvas.fillText(texts.repeat_mark, at + 3, area.y + area.h - 4);
      });
      canvas.strokeStyle = 'rgba(200, 40, 40, 0.6)';
      (lines || []).forEach(function (y) {
        var at = graph.toDomYCoord(y);
        canvas.beginPath();
        canvas.moveTo(area.x, at);
        canvas.lineTo(area.x + area.w, at);
        canvas.stroke();
      });
      canvas.restore();
    };
  }

  // Draw the cycle ends as short ticks just under the plot area, on a strip of their own (the chart's
  // own canvas is cut at the plot area); none when `positions` is empty.
  function cycleTicks(graph, area, positions) {
    var strip = graph.cycleStrip;
    if (!strip) {
      if (!positions.length) return;
      strip = graph.cycleStrip = document.createElement('canvas');
      strip.className = 'cycle-ticks';
      graph.graphDiv.appendChild(strip);
    }
    strip.width = Math.max(1, Math.round(area.w));
    strip.height = 6;
    strip.style.left = area.x + 'px';
    strip.style.top = (area.y + area.h + 1) + 'px';
    var context = strip.getContext('2d');
    context.clearRect(0, 0, strip.width, strip.height);
    context.strokeStyle = 'rgba(90, 90, 90, 0.8)';
    var last = -Infinity;
    positions.forEach(function (at) {
      if (at - last < MIN_TICK_GAP) return;
      last = at;
      context.beginPath();
      context.moveTo(at - area.x + 0.5, 0);
      context.lineTo(at - area.x + 0.5, strip.height);
      context.stroke();
    });
  }

  // Under a time plot: the events with their labels and times (also as hover texts).
  function addEventsKey(id) {
    if (!events.length) return;
    var key = document.createElement('div');
    key.className = 'events-key';
    var html = escapeHtml(texts.events_legend) + ':';
    events.forEach(function (event) {
      var span = fullTimeText(event.start) + ' \u2013 ' + fullTimeText(event.end - 1000);
      html += ' <span class="event" title="' + escapeHtml(event.label + ': ' + span) + '"><span class="swatch"></span>' +
        escapeHtml(event.label) + ' (' + escapeHtml(span) + ')</span>';
    });
    key.innerHTML = html;
    var legend = document.getElementById(id + '-legend');
    legend.parentNode.insertBefore(key, legend.nextSibling);
  }

  // The plot's own hover text names the event under the pointer.
  function eventHover(id) {
    var element = document.getElementById(id);
    return {
      highlightCallback: function (event, x) {
        var hit = events.filter(function (e) { return x >= e.start && x < e.end; })[0];
        element.title = hit ? hit.label : '';
      },
      unhighlightCallback: function () { element.title = ''; }
    };
  }

  var axisFont = 13;
  var timeAxis = {
    ticker: timeTicker,
    axisLabelFormatter: timeLabel,
    axisLabelWidth: 110,
    pixelsPerLabel: 120
  };
  var valueAxis = { axisLabelFormatter: compactNumber, axisLabelWidth: 64, valueFormatter: function (y) { return plainNumber(y, 3); } };

  function timeChart(id, rows, names, series, extra) {
    var ids = Object.keys(names);
    var options = {
      labels: ['x'].concat(ids),
      labelsUTC: true,
      connectSeparatedPoints: true,
      legend: 'always',
      labelsDiv: document.getElementById(id + '-legend'),
      legendFormatter: legendFormatter(names, fullTimeText),
      series: series,
      drawCallback: markDrawn,
      animatedZooms: false,
      axisLabelFontSize: axisFont,
      axes: { x: timeAxis, y: valueAxis }
    };
    var hover = eventHover(id);
    Object.keys(hover).forEach(function (key) { options[key] = hover[key]; });
    Object.keys(extra || {}).forEach(function (key) { options[key] = extra[key]; });
    var graph = new Dygraph(document.getElementById(id), rows, options);
    graphs.push(graph);
    // The time axis's title under the chart, where it may wrap on a narrow screen.
    var title = document.createElement('div');
    title.className = 'axis-title';
    title.textContent = texts.time_axis.replace('{zone}', data.zone.name).replace('{start}', fullTimeText(baseMs));
    var plot = document.getElementById(id);
    plot.parentNode.insertBefore(title, plot.nextSibling);
    addEventsKey(id);
    return graph;
  }

  // Names of the curves ("s0", "s1", …) and of the envelopes ("e0", …), in column order.
  function curveNames(curves, envelopeNames) {
    var names = {};
    curves.forEach(function (curve, i) { names['s' + i] = curve.label; });
    envelopeNames.forEach(function (name, i) { names['e' + i] = name; });
    return names;
  }

  var envelopeStyle = { strokeWidth: 1, strokePattern: [6, 3], color: '#888888' };
  var outerStyle = { strokeWidth: 1, strokePattern: [2, 3], color: '#bb4444' };

  // 1. Cumulative deviation with its 1.96 and 3.09 sigma envelopes.
  (function () {
    var plot = data.cumulative_deviation;
    var envelopes = [texts.envelope_196_up, texts.envelope_196_down, texts.envelope_309_up, texts.envelope_309_down];
    var rows = mergeRows(plot.curves, plot.reference, function (n) {
      var sigma = Math.sqrt(50 * n);
      return [1.96 * sigma, -1.96 * sigma, 3.09 * sigma, -3.09 * sigma];
    }, 4, timeX);
    var series = {};
    [envelopeStyle, envelopeStyle, outerStyle, outerStyle].forEach(function (style, i) { series['e' + i] = style; });
    timeChart('plot-cumulative-deviation', rows, curveNames(plot.curves, envelopes), series,
      { underlayCallback: underlay(), ylabel: escapeHtml(texts.cumulative_deviation_axis) });
  })();

  // 2. Window z-scores with the 1.96 lines and the windows significant after Benjamini-Hochberg.
  (function () {
    var plot = data.window_z;
    if (!plot.curves.length) {
      var element = document.getElementById('plot-window-z');
      element.className = 'plot empty';
      element.textContent = texts.no_complete_window;
      return;
    }
    var curves = plot.curves.concat([plot.significant]);
    var rows = mergeRows(curves, -1, null, 0, timeX);
    var series = {};
    plot.curves.forEach(function (curve, i) { series['s' + i] = { strokeWidth: 1, drawPoints: true, pointSize: 1 }; });
    series['s' + plot.curves.length] = { strokeWidth: 0, drawPoints: true, pointSize: 5, color: '#d62728' };
    timeChart('plot-window-z', rows, curveNames(curves, []), series,
      { underlayCallback: underlay([1.96, -1.96]), ylabel: 'z' });
  })();

  // 3. Histogram of ones per second against Binomial(200, 1/2).
  (function () {
    var plot = data.histogram;
    var rows = plot.k.map(function (k, i) {
      return [k].concat(plot.observed.map(function (o) { return o.counts[i]; }), [plot.expected[i]]);
    });
    var names = {};
    plot.observed.forEach(function (o, i) { names['s' + i] = o.label; });
    names.e0 = texts.expected;
    var series = { e0: { strokeWidth: 2, color: '#222222', strokePattern: [6, 3] } };
    var graph = new Dygraph(document.getElementById('plot-histogram'), rows, {
      labels: ['x'].concat(Object.keys(names)), legend: 'always',
      labelsDiv: document.getElementById('plot-histogram-legend'),
      legendFormatter: legendFormatter(names, function (k) { return texts.ones_per_second + ': ' + k; }),
      stepPlot: true, fillGraph: false, series: series, axisLabelFontSize: axisFont,
      xlabel: escapeHtml(texts.ones_per_second), ylabel: escapeHtml(texts.seconds_axis), drawCallback: markDrawn,
      axes: { x: { axisLabelFormatter: function (k) { return plainNumber(k, 0); } }, y: valueAxis }
    });
    graphs.push(graph);
  })();

  // 4. Cumulative sum of (z^2 - 1) with its 1.96 sqrt(2n) envelope.
  (function () {
    var plot = data.cumulative_variance;
    var envelopes = [texts.envelope_196_up, texts.envelope_196_down];
    var rows = mergeRows(plot.curves, plot.reference, function (n) {
      var sigma = Math.sqrt(2 * n);
      return [1.96 * sigma, -1.96 * sigma];
    }, 2, timeX);
    var series = { e0: envelopeStyle, e1: envelopeStyle };
    timeChart('plot-cumulative-variance', rows, curveNames(plot.curves, envelopes), series,
      { underlayCallback: underlay(), ylabel: escapeHtml(texts.cumulative_variance_axis) });
  })();

  // Printing: each chart, as drawn for the screen, is scaled down to the paper's column (the style
  // sheet's --paper-column) through --print-scale; drawing it again while the page is printed
  // would leave it blank.
  function paperColumn() {
    var probe = document.createElement('div');
    probe.style.width = 'var(--paper-column)';
    document.body.appendChild(probe);
    var width = probe.getBoundingClientRect().width;
    document.body.removeChild(probe);
    return width;
  }
  window.addEventListener('beforeprint', function () {
    var width = paperColumn();
    graphs.forEach(function (graph) {
      var element = graph.maindiv_;
      element.style.setProperty('--print-scale', String(Math.min(1, width / element.clientWidth)));
    });
  });
  window.addEventListener('afterprint', function () {
    graphs.forEach(function (graph) { graph.maindiv_.style.removeProperty('--print-scale'); });
  });
})();

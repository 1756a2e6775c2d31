// The report's plots: reads the data block, draws four dygraphs charts and marks
// on <body> how many were drawn (data-plots-drawn) and any script error (data-errors).
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

  function markDrawn(graph, initial) {
    if (!initial) return;
    drawn += 1;
    body.setAttribute('data-plots-drawn', String(drawn));
  }

  // Merge curves of (x, y[, n]) points into dygraphs rows; the reference curve also
  // gets its envelope columns, computed from n by `envelope`.
  function mergeRows(curves, reference, envelope, envelopeCount) {
    var points = [];
    curves.forEach(function (curve, c) {
      for (var i = 0; i < curve.x.length; i++) points.push([curve.x[i], c, i]);
    });
    points.sort(function (a, b) { return a[0] - b[0] || a[1] - b[1]; });
    var width = 1 + curves.length + envelopeCount;
    return points.map(function (point) {
      var curve = curves[point[1]];
      var row = new Array(width).fill(null);
      row[0] = point[0];
      row[1 + point[1]] = curve.y[point[2]];
      if (point[1] === reference && envelope) {
        var bands = envelope(curve.n[point[2]]);
        for (var b = 0; b < envelopeCount; b++) row[1 + curves.length + b] = bands[b];
      }
      return row;
    });
  }

  function toDates(rows) {
    rows.forEach(function (row) { row[0] = new Date(row[0]); });
    return rows;
  }

  // Shade the events and mark the cycle ends on a chart whose x axis is time.
  function underlay(marks, lines) {
    return function (canvas, area, graph) {
      canvas.save();
      canvas.fillStyle = 'rgba(255, 190, 60, 0.25)';
      (marks.events || []).forEach(function (event) {
        var left = graph.toDomXCoord(event[0]);
        var right = graph.toDomXCoord(event[1]);
        canvas.fillRect(left, area.y, Math.max(1, right - left), area.h);
      });
      canvas.strokeStyle = 'rgba(90, 90, 90, 0.7)';
      canvas.setLineDash([4, 4]);
      (marks.cycles || []).forEach(function (x) {
        var at = graph.toDomXCoord(x);
        canvas.beginPath();
        canvas.moveTo(at, area.y);
        canvas.lineTo(at, area.y + area.h);
        canvas.stroke();
      });
      canvas.setLineDash([]);
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

  var envelopeStyle = { strokeWidth: 1, strokePattern: [6, 3], color: '#888888' };
  var outerStyle = { strokeWidth: 1, strokePattern: [2, 3], color: '#bb4444' };

  function timeChart(id, rows, labels, series, extra) {
    var options = {
      labels: labels,
      labelsUTC: true,
      connectSeparatedPoints: true,
      legend: 'always',
      labelsDiv: document.getElementById(id + '-legend'),
      labelsSeparateLines: false,
      series: series,
      drawCallback: markDrawn,
      animatedZooms: false
    };
    Object.keys(extra || {}).forEach(function (key) { options[key] = extra[key]; });
    return new Dygraph(document.getElementById(id), toDates(rows), options);
  }

  function envelopeSeries(names, styles) {
    var series = {};
    names.forEach(function (name, i) { series[name] = styles[i]; });
    return series;
  }

  // 1. Cumulative deviation with its 1.96 and 3.09 sigma envelopes.
  (function () {
    var plot = data.cumulative_deviation;
    var names = [texts.envelope_196_up, texts.envelope_196_down, texts.envelope_309_up, texts.envelope_309_down];
    var rows = mergeRows(plot.curves, plot.reference, function (n) {
      var sigma = Math.sqrt(50 * n);
      return [1.96 * sigma, -1.96 * sigma, 3.09 * sigma, -3.09 * sigma];
    }, 4);
    var labels = [texts.time].concat(plot.curves.map(function (c) { return c.label; }), names);
    timeChart('plot-cumulative-deviation', rows, labels,
      envelopeSeries(names, [envelopeStyle, envelopeStyle, outerStyle, outerStyle]),
      { underlayCallback: underlay(data.marks), ylabel: texts.cumulative_deviation_axis });
  })();

  // 2. Window z-scores with the 1.96 lines and the windows significant after Benjamini-Hochberg.
  (function () {
    var plot = data.window_z;
    var curves = plot.curves.concat([plot.significant]);
    var rows = mergeRows(curves, -1, null, 0);
    var labels = [texts.time].concat(curves.map(function (c) { return c.label; }));
    var series = {};
    series[plot.significant.label] = { strokeWidth: 0, drawPoints: true, pointSize: 5, color: '#d62728' };
    plot.curves.forEach(function (curve) { series[curve.label] = { strokeWidth: 1, drawPoints: true, pointSize: 1 }; });
    timeChart('plot-window-z', rows, labels, series,
      { underlayCallback: underlay(data.marks, [1.96, -1.96]), ylabel: 'z' });
  })();

  // 3. Histogram of ones per second against Binomial(200, 1/2).
  (function () {
    var plot = data.histogram;
    var rows = plot.k.map(function (k, i) {
      return [k].concat(plot.observed.map(function (o) { return o.counts[i]; }), [plot.expected[i]]);
    });
    var labels = [texts.ones_per_second].concat(plot.observed.map(function (o) { return o.label; }), [texts.expected]);
    var series = {};
    series[texts.expected] = { strokeWidth: 2, color: '#222222', strokePattern: [6, 3] };
    new Dygraph(document.getElementById('plot-histogram'), rows, {
      labels: labels, legend: 'always', labelsDiv: document.getElementById('plot-histogram-legend'), stepPlot: true, fillGraph: false, series: series,
      xlabel: texts.ones_per_second, ylabel: texts.seconds_axis, drawCallback: markDrawn
    });
  })();

  // 4. Cumulative sum of (z^2 - 1) with its 1.96 sqrt(2n) envelope.
  (function () {
    var plot = data.cumulative_variance;
    var names = [texts.envelope_196_up, texts.envelope_196_down];
    var rows = mergeRows(plot.curves, plot.reference, function (n) {
      var sigma = Math.sqrt(2 * n);
      return [1.96 * sigma, -1.96 * sigma];
    }, 2);
    var labels = [texts.time].concat(plot.curves.map(function (c) { return c.label; }), names);
    timeChart('plot-cumulative-variance', rows, labels,
      envelopeSeries(names, [envelopeStyle, envelopeStyle]),
      { underlayCallback: underlay(data.marks), ylabel: texts.cumulative_variance_axis });
  })();
})();

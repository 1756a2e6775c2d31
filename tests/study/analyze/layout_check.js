// Checks a report page from inside it, once its plots are drawn, and posts what it found
// as JSON to the page that holds it in a frame of the width under test: elements wider
// than the viewport outside a box that scrolls, axis labels cut or standing for another
// value than the one at their place, the plots drawn and any script error.
(function () {
  'use strict';
  var problems = [];
  var width = document.documentElement.clientWidth;
  var lang = document.documentElement.lang;
  var MONTHS = {
    es: [['ene', 'enero'], ['feb', 'febrero'], ['mar', 'marzo'], ['abr', 'abril'], ['may', 'mayo'], ['jun', 'junio'],
      ['jul', 'julio'], ['ago', 'agosto'], ['sept', 'septiembre'], ['oct', 'octubre'], ['nov', 'noviembre'],
      ['dic', 'diciembre']],
    en: [['Jan', 'January'], ['Feb', 'February'], ['Mar', 'March'], ['Apr', 'April'], ['May', 'May'], ['Jun', 'June'],
      ['Jul', 'July'], ['Aug', 'August'], ['Sep', 'September'], ['Oct', 'October'], ['Nov', 'November'],
      ['Dec', 'December']]
  }[lang];

  function scrolls(element) {
    for (var p = element.parentElement; p && p !== document.body; p = p.parentElement) {
      if (/auto|scroll/.test(getComputedStyle(p).overflowX)) return p.getBoundingClientRect().right <= width + 0.5;
    }
    return false;
  }

  // 1. Nothing wider than the viewport, but inside a box that scrolls.
  if (document.documentElement.scrollWidth > width) {
    problems.push('the page scrolls sideways: ' + document.documentElement.scrollWidth + ' > ' + width);
  }
  Array.prototype.forEach.call(document.body.querySelectorAll('*'), function (element) {
    if (element.tagName === 'SCRIPT' || element.tagName === 'STYLE') return;
    var box = element.getBoundingClientRect();
    if (box.width === 0 && box.height === 0) return;
    if ((box.right > width + 0.5 || box.left < -0.5) && !scrolls(element)) {
      problems.push('wider than the page: <' + element.tagName.toLowerCase() + ' class="' + element.className + '"> ' +
        Math.round(box.left) + '..' + Math.round(box.right));
    }
  });

  // The number an axis label stands for ("−1,5 M", "100 k", "12 500", "0,25").
  function labelNumber(text) {
    var t = text.replace(/\u2212/g, '-').replace(/[\s\u00A0\u202F]/g, '');
    var scale = 1;
    if (/M$/.test(t)) { scale = 1e6; t = t.slice(0, -1); }
    if (/k$/.test(t)) { scale = 1e3; t = t.slice(0, -1); }
    t = lang === 'es' ? t.replace(/\./g, '').replace(',', '.') : t.replace(/,/g, '');
    return /^-?\d+(\.\d+)?$/.test(t) ? Number(t) * scale : NaN;
  }

  // The local time span a time label stands for, as [start, end) in local-as-UTC ms, or null.
  function labelSpan(text, near) {
    var t = text.replace(/[\u00A0]/g, ' ').trim();
    var year = near.getUTCFullYear(), m;
    function month(name) {
      for (var i = 0; i < 12; i++) if (MONTHS[i][0] === name || MONTHS[i][1] === name) return i;
      return -1;
    }
    if ((m = /^(\d{4})$/.exec(t))) return [Date.UTC(+m[1], 0, 1), Date.UTC(+m[1] + 1, 0, 1)];
    if ((m = /^(\S+) (\d{4})$/.exec(t)) && month(m[1]) >= 0) {
      return [Date.UTC(+m[2], month(m[1]), 1), Date.UTC(+m[2], month(m[1]) + 1, 1)];
    }
    if ((m = lang === 'es' ? /^(\d{1,2}) (\S+)$/.exec(t) : /^(\S+) (\d{1,2})$/.exec(t))) {
      var day = lang === 'es' ? +m[1] : +m[2], mon = month(lang === 'es' ? m[2] : m[1]);
      if (mon < 0) return null;
      for (var y = year - 1; y <= year + 1; y++) {
        var start = Date.UTC(y, mon, day);
        if (Math.abs(start - near.getTime()) < 2 * 86400000) return [start, start + 86400000];
      }
      return [0, 0];
    }
    if ((m = /^(\d\d):(\d\d)(?::(\d\d))?$/.exec(t))) {
      var dayStart = Date.UTC(near.getUTCFullYear(), near.getUTCMonth(), near.getUTCDate());
      var at = dayStart + ((+m[1] * 60 + +m[2]) * 60 + (m[3] ? +m[3] : 0)) * 1000;
      if (at - near.getTime() > 43200000) at -= 86400000;
      if (near.getTime() - at > 43200000) at += 86400000;
      return [at, at + (m[3] ? 1000 : 60000)];
    }
    return null;
  }

  var data = JSON.parse(document.getElementById('report-data').textContent);
  function localMs(ms) {
    var at = (ms - data.base * 1000) / 1000, minutes = data.zone.offsets[0][1];
    data.zone.offsets.forEach(function (o) { if (o[0] <= at) minutes = o[1]; });
    return ms + minutes * 60000;
  }

  // 2. Every axis label whole, inside its chart, and standing for the value at its place.
  var labels = 0;
  (window.reportGraphs || []).forEach(function (graph, g) {
    var chart = graph.graphDiv.getBoundingClientRect();
    var timeAxis = graph.getOption('labelsUTC');
    Array.prototype.forEach.call(graph.graphDiv.querySelectorAll('.dygraph-axis-label'), function (label) {
      var text = label.textContent;
      var box = label.getBoundingClientRect();
      var outer = label.parentElement.getBoundingClientRect();
      labels += 1;
      if (label.scrollWidth > label.clientWidth + 1 || label.parentElement.scrollWidth > label.parentElement.clientWidth + 1 ||
          box.left < outer.left - 1 || box.right > outer.right + 1) {
        problems.push('chart ' + g + ': label "' + text + '" is cut');
      }
      if (box.left < chart.left - 1 || box.right > chart.right + 1) problems.push('chart ' + g + ': label "' + text + '" leaves the chart');
      // Where the text itself stands (a label at a chart's edge is moved inward, but still covers its value).
      var range = document.createRange();
      range.selectNodeContents(label);
      var ink = range.getBoundingClientRect();
      var isY = /dygraph-axis-label-y/.test(label.className);
      // dygraphs moves a label that would leave the chart inward, aligned with the chart's edge.
      var slack = ink.width / 2 + 1;
      if (isY) {
        var value = labelNumber(text);
        var y = chart.top + graph.toDomYCoord(value);
        if (isNaN(value) || y < ink.top - ink.height / 2 || y > ink.bottom + ink.height / 2) {
          problems.push('chart ' + g + ': y label "' + text + '" stands at ' + Math.round(ink.top) + ', its value at ' + Math.round(y));
        }
      } else if (timeAxis) {
        var from = localMs(graph.toDataXCoord(ink.left - slack - chart.left));
        var to = localMs(graph.toDataXCoord(ink.right + slack - chart.left));
        var span = labelSpan(text, new Date((from + to) / 2));
        if (!span || to < span[0] || from >= span[1]) {
          problems.push('chart ' + g + ': time label "' + text + '" stands at ' + new Date(from).toISOString() + ' to ' +
            new Date(to).toISOString());
        }
      } else {
        var k = labelNumber(text);
        var x = graph.toDomXCoord(k) + chart.left;
        if (isNaN(k) || x < ink.left - slack || x > ink.right + slack) {
          problems.push('chart ' + g + ': x label "' + text + '" is not at its value');
        }
      }
    });
  });

  parent.postMessage(JSON.stringify({ width: width, labels: labels, graphs: (window.reportGraphs || []).length,
    drawn: document.body.getAttribute('data-plots-drawn'), errors: document.body.getAttribute('data-errors'),
    shown: Array.prototype.map.call(document.querySelectorAll('.plot.empty, .legend, .events-key'), function (e) {
      return e.textContent;
    }),
    problems: problems }), '*');
})();

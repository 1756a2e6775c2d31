// Checks a report page from inside it, once its plots are drawn, and writes what it found
// as JSON into <pre id="layout-check">: elements wider than the viewport outside a box
// that scrolls, axis labels cut or standing for another value than the one at their place.
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
      var isY = /dygraph-axis-label-y/.test(label.className);
      if (isY) {
        var value = labelNumber(text);
        var y = chart.top + graph.toDomYCoord(value);
        var middle = (box.top + box.bottom) / 2;
        if (isNaN(value) || Math.abs(y - middle) > box.height) {
          problems.push('chart ' + g + ': y label "' + text + '" stands at ' + Math.round(middle) + ', its value at ' + Math.round(y));
        }
      } else if (timeAxis) {
        var center = (box.left + box.right) / 2 - chart.left;
        var pixel = (graph.toDataXCoord(center + 1) - graph.toDataXCoord(center - 1)) / 2;
        var at = localMs(graph.toDataXCoord(center));
        var span = labelSpan(text, new Date(at));
        var slack = 3 * pixel;
        if (!span || at + slack < span[0] || at - slack >= span[1]) {
          problems.push('chart ' + g + ': time label "' + text + '" stands at ' + new Date(at).toISOString());
        }
      } else {
        var k = labelNumber(text);
        if (isNaN(k) || Math.abs(graph.toDomXCoord(k) + chart.left - (box.left + box.right) / 2) > 3) {
          problems.push('chart ' + g + ': x label "' + text + '" is not at its value');
        }
      }
    });
  });

  var out = document.createElement('pre');
  out.id = 'layout-check';
  out.textContent = JSON.stringify({ width: width, labels: labels, graphs: (window.reportGraphs || []).length,
    problems: problems });
  document.body.appendChild(out);
})();

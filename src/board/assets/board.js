// The line board's page. Every text that comes from a station is put on the
// page with textContent, never as markup: a script or customer name that
// holds "<script>" shows as those characters.
'use strict';

const cards = new Map();  // "station\u0000port" -> {data, el}
let version = 0;
let yieldVersion = 0;
let storeOk = true;
let boardReachable = true;
let storeReason = '';

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined && text !== null) e.textContent = String(text);
  return e;
}

function clockTime(iso) {
  if (!iso) return '';
  const d = new Date(iso);
  return d.toLocaleTimeString([], {hour: '2-digit', minute: '2-digit', second: '2-digit', hourCycle: 'h23'});
}

function elapsed(iso) {
  const s = Math.max(0, Math.floor((Date.now() - new Date(iso).getTime()) / 1000));
  const h = Math.floor(s / 3600), m = Math.floor((s % 3600) / 60), r = s % 60;
  const two = (n) => String(n).padStart(2, '0');
  return h > 0 ? `${h}:${two(m)}:${two(r)}` : `${m}:${two(r)}`;
}

// What the card's big block shows: the run under way, else the last outcome.
function stateOf(c) {
  if (c.state === 'running') return 'running';
  return c.last_outcome || 'idle';
}

function renderCard(card) {
  const c = card.data;
  const e = card.el;
  const state = stateOf(c);
  e.className = 'card' + (c.fixture_alarm ? ' alarm' : '') + (storeOk ? '' : ' stale');
  e.dataset.state = state;
  // The states this card has shown since the page opened, for whoever
  // checks the page from outside (the browser test reads it).
  const history = e.dataset.history ? e.dataset.history.split(' ') : [];
  if (history[history.length - 1] !== state) {
    history.push(state);
    e.dataset.history = history.slice(-20).join(' ');
  }

  const head = el('div', 'head');
  head.append(el('span', 'station', c.station), el('span', 'port', 'port ' + c.port));

  const block = el('div', 'state ' + state);
  const body = el('div', 'body');
  if (c.state === 'running') {
    block.append(el('span', 'word', 'RUNNING '), el('span', 'elapsed', elapsed(c.started_at)));
    block.querySelector('.elapsed').dataset.since = c.started_at;
    body.append(el('div', 'line', 'since ' + clockTime(c.started_at)));
    body.append(el('div', 'line customer', 'customer ' + (c.customer || '(script)') +
                    (c.script ? ' · ' + c.script : '')));
    if (c.unit_serial) body.append(el('div', 'line unit', 'unit ' + c.unit_serial));
    if (c.operator) body.append(el('div', 'line operator', 'operator ' + c.operator));
    if (c.last_outcome) {
      body.append(el('div', 'line muted', 'before: ' + c.last_outcome + ' ' +
                      clockTime(c.last_ended_at)));
    }
  } else {
    block.textContent = state === 'idle' ? 'IDLE' : state.toUpperCase();
    if (c.last_outcome) {
      body.append(el('div', 'line', 'idle · ended ' + clockTime(c.last_ended_at)));
      body.append(el('div', 'line customer', 'customer ' + (c.last_customer || '(script)') +
                      (c.last_script ? ' · ' + c.last_script : '')));
    } else {
      body.append(el('div', 'line muted', 'no run yet'));
    }
    if (c.last_outcome === 'red') {
      const where = c.failed_line === null ? '' : 'line ' + c.failed_line + ': ';
      body.append(el('div', 'failed', 'failed at ' + where + (c.failed_text || '')));
    }
    if (c.last_outcome === 'interrupted' && c.imei_pending) {
      body.append(el('span', 'badge pending', 'IMEI PENDING'));
    }
  }
  if (c.fixture_alarm) body.append(el('div', 'badge alarm-badge', 'CHECK THE FIXTURE'));
  const fpy = c.first_pass_yield_today === null ? '–' : c.first_pass_yield_today.toFixed(1) + '%';
  body.append(el('div', 'today', 'today ' + c.runs_today + (c.runs_today === 1 ? ' run' : ' runs') +
                  ' · first pass ' + fpy));
  e.replaceChildren(head, block, body);
}

function keyOf(c) { return c.station + '\u0000' + c.port; }

function placeCards() {
  const box = document.getElementById('ports');
  const sorted = [...cards.values()].sort((a, b) =>
    a.data.station < b.data.station ? -1 : a.data.station > b.data.station ? 1 :
    a.data.port - b.data.port);
  box.replaceChildren(...sorted.map((c) => c.el));
  if (sorted.length === 0) box.append(el('p', 'muted', 'No runs recorded yet.'));
}

function updateCards(list, full) {
  let added = full;
  const seen = new Set();
  for (const data of list) {
    const key = keyOf(data);
    seen.add(key);
    let card = cards.get(key);
    if (!card) {
      const article = el('article', 'card');
      article.dataset.station = data.station;
      article.dataset.port = String(data.port);
      card = {el: article, data};
      cards.set(key, card);
      added = true;
    }
    card.data = data;
    renderCard(card);
  }
  if (full) {
    for (const key of [...cards.keys()]) if (!seen.has(key)) cards.delete(key);
  }
  if (added) placeCards();
}

function fillList(id, items, render, none) {
  const list = document.getElementById(id);
  if (items.length === 0) {
    list.replaceChildren(el('li', 'none', none));
    return;
  }
  list.replaceChildren(...items.map(render));
}

function updateLists(lists) {
  fillList('alarms', lists.alarms, (a) => {
    const li = el('li', null, `check the fixture on ${a.station} port ${a.port}: ` +
                  `${a.red_runs} red runs in a row`);
    for (const line of a.failing_lines) li.append(el('div', 'muted', line));
    return li;
  }, 'none');
  fillList('pending', lists.pending_imeis, (p) =>
    el('li', null, `${p.station} port ${p.port}, started ${new Date(p.started_at).toLocaleString([], {hourCycle: 'h23'})}` +
       `, customer ${p.customer || '(script)'}` + (p.unit_serial ? `, unit ${p.unit_serial}` : '') +
       (p.imei ? `, IMEI ${p.imei}` : '')), 'none');
  fillList('failing', lists.failing_lines, (f) =>
    el('li', null, `${f.count}× customer ${f.customer || '(script)'} ${f.script} line ${f.line}: ${f.text}`),
    'no red run today');
}

function showBanner() {
  const banner = document.getElementById('banner');
  let text = '';
  if (!boardReachable) text = 'The board cannot be reached; trying again…';
  else if (!storeOk) text = 'The records cannot be read: ' + storeReason + ' (shown: the last known state)';
  banner.textContent = text;
  banner.hidden = text === '';
  for (const card of cards.values()) card.el.classList.toggle('stale', !storeOk || !boardReachable);
}

function onBoard(message) {
  document.getElementById('location').textContent = message.store.location;
  storeOk = message.store.ok;
  storeReason = message.store.reason || '';
  if (storeOk) {
    updateCards(message.cards, message.full);
    updateLists(message.lists);
  }
  const waiting = document.getElementById('waiting');
  if (waiting && storeOk) waiting.remove();
  version = message.version;
  document.body.dataset.version = String(version);
  showBanner();
  if (storeOk && message.yield_version !== yieldVersion) {
    yieldVersion = message.yield_version;
    loadYield();
  }
}

const palette = ['#4cc9f0', '#f72585', '#ffd166', '#06d6a0', '#f4a261', '#b8c0ff', '#ef476f', '#90be6d'];
const SVG = 'http://www.w3.org/2000/svg';

function svg(tag, attrs, text) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, String(v));
  if (text !== undefined) e.textContent = String(text);
  return e;
}

function drawYield(answer) {
  const width = 900, height = 280, left = 48, right = 16, top = 12, bottom = 34;
  const days = [];
  const first = new Date(answer.first_day + 'T00:00:00Z');
  for (let i = 0; i < answer.days; ++i) {
    days.push(new Date(first.getTime() + i * 86400000).toISOString().slice(0, 10));
  }
  const x = (i) => left + (days.length === 1 ? 0 : i * (width - left - right) / (days.length - 1));
  const y = (p) => top + (100 - p) * (height - top - bottom) / 100;
  const chart = svg('svg', {viewBox: `0 0 ${width} ${height}`, role: 'img',
                            'aria-label': 'first-pass and final yield per customer'});
  for (const p of [0, 25, 50, 75, 100]) {
    chart.append(svg('line', {class: 'axis', x1: left, x2: width - right, y1: y(p), y2: y(p)}));
    chart.append(svg('text', {x: left - 6, y: y(p) + 4, 'text-anchor': 'end'}, p + '%'));
  }
  days.forEach((d, i) => {
    if (days.length <= 16 || i % 2 === 0) {
      chart.append(svg('text', {x: x(i), y: height - 12, 'text-anchor': 'middle'}, d.slice(5)));
    }
  });
  const customers = [...new Set(answer.rows.map((r) => r.customer))].sort();
  const legend = document.getElementById('legend');
  legend.replaceChildren();
  customers.forEach((customer, n) => {
    const colour = palette[n % palette.length];
    for (const [field, cls] of [['first_pass_yield', 'first'], ['final_yield', 'final']]) {
      const points = [];
      for (const r of answer.rows) {
        if (r.customer !== customer || r[field] === null || r[field] === undefined) continue;
        const i = days.indexOf(r.day);
        if (i >= 0) points.push([x(i), y(r[field]), r]);
      }
      if (points.length === 0) continue;
      chart.append(svg('polyline', {class: cls, stroke: colour,
                                    points: points.map((p) => p[0] + ',' + p[1]).join(' ')}));
      for (const [px, py, r] of points) {
        const dot = svg('circle', {cx: px, cy: py, r: cls === 'first' ? 4 : 3, fill: colour});
        dot.append(svg('title', {}, `${customer} ${r.day}: ${cls === 'first' ? 'first pass' : 'final'} ` +
                       `${r[field].toFixed(1)}% of ${r.units} units`));
        chart.append(dot);
      }
    }
    const item = el('span', 'legend-item');
    const swatch = el('span', 'swatch');
    swatch.style.background = colour;
    item.append(swatch, document.createTextNode('customer ' + (customer || '(script)')));
    legend.append(item);
  });
  if (customers.length === 0) legend.append(el('span', 'muted', 'no units in these days'));
  document.getElementById('chart').replaceChildren(chart);
}

async function loadYield() {
  try {
    const answer = await fetch('/api/yield?days=14', {cache: 'no-store'});
    if (answer.ok) drawYield(await answer.json());
  } catch (e) {
    // The next change tries again.
  }
}

// The factory network's side: the station's queue of CFX messages, shown
// only where the station has one.
async function loadCfx() {
  const span = document.getElementById('cfx');
  try {
    const answer = await fetch('/api/cfx', {cache: 'no-store'});
    if (!answer.ok) return;
    const q = await answer.json();
    if (!q.queue) { span.hidden = true; return; }
    let text = `CFX: ${q.waiting} waiting`;
    if (q.oldest_waiting) text += ` (oldest ${clockTime(q.oldest_waiting)})`;
    text += `, ${q.set_aside} set aside`;
    text += q.last_delivered ? `, last delivered ${clockTime(q.last_delivered)}` : ', none delivered yet';
    span.textContent = text;
    span.className = q.set_aside > 0 ? 'cfx-alarm' : (q.waiting > 0 ? 'cfx-waiting' : 'muted');
    span.hidden = false;
  } catch (e) {
    // Tried again at the next poll.
  }
}

function tick() {
  document.getElementById('clock').textContent =
    new Date().toLocaleTimeString([], {hourCycle: 'h23'});
  for (const span of document.querySelectorAll('.elapsed')) {
    span.textContent = elapsed(span.dataset.since);
  }
}

function connect() {
  const source = new EventSource('/api/events');
  source.addEventListener('board', (e) => onBoard(JSON.parse(e.data)));
  source.onopen = () => { boardReachable = true; showBanner(); };
  source.onerror = () => { boardReachable = false; showBanner(); };
}

tick();
setInterval(tick, 1000);
loadCfx();
setInterval(loadCfx, 5000);
connect();

// SPDX-License-Identifier: MIT
// The live scoreboard: follows the program's feed and writes every text with textContent, so
// a player's name is always shown as typed and never read as markup.
'use strict';

const byId = (id) => document.getElementById(id);

function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) {
        e.className = className;
    }
    if (text !== undefined) {
        e.textContent = String(text);
    }
    return e;
}

const playerRows = [];

function playerRow(seat) {
    if (!playerRows[seat]) {
        const row = element('div', 'player');
        row.id = 'player' + seat;
        const head = element('div', 'head');
        const star = element('span', 'star', '★');
        const name = element('span', 'name');
        head.append(star, name);
        const live = element('div', 'live');
        const value = element('span', 'value');
        const unit = element('span', 'unit');
        live.append(value, unit);
        const best = element('div', 'best');
        const track = element('div', 'track');
        const bar = element('div', 'bar');
        track.append(bar);
        row.append(head, live, best, track);
        byId('players').append(row);
        playerRows[seat] = { row, star, name, value, unit, best, bar };
    }
    return playerRows[seat];
}

function showPlayers(feed) {
    for (const p of feed.players) {
        const r = playerRow(p.seat);
        r.row.classList.toggle('leader', p.leader);
        const seated = p.seated !== false;
        r.star.style.visibility = p.leader ? 'visible' : 'hidden';
        r.name.textContent = p.name;
        // As on the display: an empty seat shows a dash; revolutions are grouped, speeds not.
        r.value.textContent = !seated ? '—'
            : p.unit === 'rev' ? p.live.toLocaleString('en-US') : String(p.live);
        r.unit.textContent = p.unit === 'rev' ? ' rev' : ' rpm';
        r.best.textContent = seated ? 'Best ' + p.best + ' rpm' : '';
        r.bar.style.width = (100 * p.bar).toFixed(1) + '%';
        r.bar.style.backgroundColor = p.colour;
    }
}

function table(head, rows) {
    const t = element('table');
    const tr = element('tr');
    for (const h of head) {
        tr.append(element('th', '', h));
    }
    t.append(tr);
    for (const row of rows) {
        const line = element('tr');
        for (const cell of row) {
            line.append(element('td', '', cell));
        }
        t.append(line);
    }
    return t;
}

function showResult(feed) {
    const section = byId('result');
    section.hidden = !feed.result;
    if (!feed.result) {
        return;
    }
    section.replaceChildren(element('h2', '', 'Result'),
        table(['', 'Name', 'rev', 'mean rpm', 'best rpm'],
            feed.result.map((e) => [e.rank, e.name, e.revolutions, e.meanRpm, e.bestRpm])));
}

// The standings' rule in the words the display uses.
function ruleText(rule, gameKind) {
    const strength = gameKind === 'strength';
    if (rule === 'mean') {
        return strength ? 'mean revolutions per heat played' : 'mean best rpm per heat played';
    }
    if (rule === 'best') {
        return strength ? 'revolutions of the best heat' : 'best rpm of any heat';
    }
    return 'total revolutions';
}

// "1,234 rev" (grouped) or "7500 rpm" (not), as the display writes a score.
function scoreText(score, unit) {
    return unit === 'rev' ? score.toLocaleString('en-US') + ' rev' : String(score) + ' rpm';
}

function standingNote(s) {
    return s.retired ? 'retired' : s.missed > 0 ? 'missed ' + s.missed : '';
}

function showCompetition(c) {
    const section = byId('competition');
    section.hidden = !c;
    if (!c) {
        return;
    }
    const title = c.heat === null ? 'Final standings' : 'Heat ' + c.heat + ' of ' + c.heats;
    const parts = [element('h2', 'title', title), element('p', 'event', c.name)];
    if (c.seats.length) {
        const seats = element('ol', 'seats');
        c.seats.forEach((s) => seats.append(
            s.seated ? element('li', '', s.name) : element('li', 'free', '—')));
        parts.push(seats);
    }
    if (c.next) {
        parts.push(element('p', 'next', 'Next: ' + c.next.names.join(', ')));
    }
    parts.push(element('p', 'rule', 'Standings: ' + ruleText(c.rule, c.gameKind)));
    parts.push(table(['', 'Name', c.gameKind === 'strength' ? 'revolutions' : 'rpm', 'rounds', ''],
        c.standings.map((s) => [s.rank === null ? '' : s.rank, s.name,
            s.rounds > 0 ? scoreText(s.score, s.unit) : '', s.rounds, standingNote(s)])));
    section.replaceChildren(...parts);
}

function show(feed) {
    const between = !!feed.competition;
    document.body.dataset.mode = feed.mode;
    byId('mode').textContent = between ? 'Competition'
        : feed.mode === 'strength' ? 'Strength' : feed.mode === 'speed' ? 'Speed' : '';
    // A count-in (3, 2, 1 before a start) shows where the countdown does, in either game.
    byId('countdown').textContent = feed.countIn > 0 ? feed.countIn
        : feed.mode === 'strength' && !between ? feed.countdown : '';
    byId('top').textContent = between ? '' : 'Top ' + feed.topRpm + ' rpm';
    showPlayers(feed);
    byId('players').hidden = between || !!feed.result;
    showResult(between ? { result: null } : feed);
    showCompetition(feed.competition);
}

function connect() {
    const socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://')
        + location.host + '/feed');
    socket.onopen = () => { byId('status').textContent = ''; };
    socket.onmessage = (event) => {
        const feed = JSON.parse(event.data);
        if (feed.version === 2) {
            show(feed);
        }
    };
    socket.onclose = () => {
        byId('status').textContent = 'Connection lost, trying again…';
        setTimeout(connect, 2000);
    };
}

connect();

// The report page: everything is built from window.BORNE_REPORT (data.js) as elements and text nodes.
// Nothing from the data is ever parsed as markup; the state diagram is the SVG Graphviz drew of the
// table, parsed as SVG.
"use strict";

(function () {
  const R = window.BORNE_REPORT;
  const SVG = "http://www.w3.org/2000/svg";
  const RANK = { FAIL: 0, ERROR: 1, MISSING: 2, PASS: 3 };
  const SYMBOL = { PASS: "\u2713", FAIL: "\u2717", ERROR: "!", MISSING: "\u2205" };
  const $ = (id) => document.getElementById(id);

  // A text from a run as it can be read: control characters become their visible pictures (line breaks
  // and tabs stay, in a block that lays them out).
  function shown(text, layout) {
    const controls = layout ? /[\u0000-\u0008\u000b-\u001f\u007f]/g : /[\u0000-\u001f\u007f]/g;
    return String(text).replace(controls, (c) =>
      c === "\u007f" ? "\u2421" : String.fromCharCode(0x2400 + c.charCodeAt(0)));
  }

  // An element with attributes and children; strings become text nodes.
  function el(tag, attributes, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    for (const c of children) e.append(typeof c === "string" ? document.createTextNode(c) : c);
    return e;
  }
  function svg(tag, attributes, text) {
    const e = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, String(v));
    if (text !== undefined) e.textContent = text;
    return e;
  }

  const rows = R.rows, columns = R.columns, nc = columns.length;
  // Lines and values come as numbers into a table of texts: the grid's, or the column's of a pair's page.
  let strings = R.strings;
  const text = (i) => strings[i];
  const texts = (list) => list === null ? null : list.map(text);
  const cell = (r, c) => R.cells[r * nc + c];
  const rowName = (r) => rows[r] === "" ? "the terminal's own" : shown(rows[r]);
  const passedIn = (r) => { let n = 0; for (let c = 0; c < nc; ++c) if (cell(r, c)[0] === "PASS") ++n; return n; };

  function header() {
    const what = { suite: "suite", grade: "lab's grades", controllers: "class's controllers", compare: "comparison" };
    $("title").textContent = "borne: the " + (what[R.kind] || R.kind) + " report";
    document.title = $("title").textContent;
    $("facts").textContent = R.date + " \u00b7 borne " + R.version + " \u00b7 sandboxed: " +
      (R.sandboxed === null ? "not known" : R.sandboxed ? "yes" : "no") + " \u00b7 " +
      rows.length + " " + R.rowsAre + (rows.length === 1 ? "" : "s") + " by " + nc + " " + R.columnsAre +
      (nc === 1 ? "" : "s");
    for (const [name, value] of R.settings)
      $("settings").append(el("tr", {}, el("th", {}, shown(name)), el("td", { class: "mono" }, shown(value))));
    if (R.note) { $("note").textContent = R.note; $("note").hidden = false; }
  }

  // The grid: one row per student or controller, built once; sorting moves the rows, the filter hides them.
  const gridRows = [];
  let sortKey = null, sortUp = true;

  function grid() {
    const head = el("tr", {}, el("th", { class: "name", "data-key": "name" }, R.rowsAre));
    columns.forEach((c, i) => head.append(el("th", { "data-key": String(i), title: shown(c) }, shown(c))));
    head.append(el("th", { "data-key": "total" }, "passed"));
    const body = el("tbody");
    for (let r = 0; r < rows.length; ++r) {
      const tr = el("tr", { "data-row": String(r) }, el("td", { class: "name" }, rowName(r)));
      for (let c = 0; c < nc; ++c) {
        const [verdict, summaryIndex, detail] = cell(r, c);
        const summary = summaryIndex < 0 ? "" : R.strings[summaryIndex];
        const mark = detail >= 0
          ? el("a", { class: "v " + verdict, href: "#pair/" + c + "/" + detail, title: shown(summary) }, SYMBOL[verdict])
          : el("span", { class: "v " + verdict, title: verdict }, SYMBOL[verdict] || "?");
        tr.append(el("td", { "data-verdict": verdict }, mark));
      }
      tr.append(el("td", { class: "total" }, passedIn(r) + " of " + nc));
      body.append(tr);
      gridRows.push(tr);
    }
    const foot = el("tr", {}, el("td", { class: "name" }, "passed"));
    for (let c = 0; c < nc; ++c) {
      let n = 0;
      for (let r = 0; r < rows.length; ++r) if (cell(r, c)[0] === "PASS") ++n;
      foot.append(el("td", { "data-column": String(c) }, n + " of " + rows.length));
    }
    let all = 0;
    for (let r = 0; r < rows.length; ++r) all += passedIn(r);
    foot.append(el("td", {}, all + " of " + rows.length * nc));
    $("grid").append(el("thead", {}, head), body, el("tfoot", {}, foot));
    head.addEventListener("click", (e) => {
      const th = e.target.closest("th");
      if (th) sortBy(th.getAttribute("data-key"));
    });
    $("filter-name").addEventListener("input", filter);
    $("filter-verdict").addEventListener("change", filter);
    filter();
  }

  function sortBy(key) {
    sortUp = key === sortKey ? !sortUp : true;
    sortKey = key;
    const value = key === "name" ? (r) => rows[r]
      : key === "total" ? (r) => passedIn(r)
      : (r) => RANK[cell(r, Number(key))[0]];
    const order = gridRows.map((tr) => Number(tr.getAttribute("data-row")));
    order.sort((a, b) => {
      const x = value(a), y = value(b);
      const d = typeof x === "string" ? (x < y ? -1 : x > y ? 1 : 0) : x - y;
      return (sortUp ? d : -d) || a - b;
    });
    const body = $("grid").tBodies[0];
    for (const r of order) body.append(gridRows[r]);
    for (const th of $("grid").tHead.rows[0].cells) {
      th.classList.toggle("sorted-up", th.getAttribute("data-key") === key && sortUp);
      th.classList.toggle("sorted-down", th.getAttribute("data-key") === key && !sortUp);
    }
  }

  function filter() {
    const name = $("filter-name").value.toLowerCase(), verdict = $("filter-verdict").value;
    let n = 0;
    for (const tr of gridRows) {
      const r = Number(tr.getAttribute("data-row"));
      let keep = rowName(r).toLowerCase().includes(name);
      if (keep && verdict) {
        keep = false;
        for (let c = 0; c < nc && !keep; ++c)
          keep = verdict === "NOTPASS" ? cell(r, c)[0] !== "PASS" : cell(r, c)[0] === verdict;
      }
      tr.hidden = !keep;
      if (keep) ++n;
    }
    $("shown-count").textContent = n + " of " + rows.length + " shown";
  }

  function tally() {
    let passed = 0, worst = -1, worstFailed = -1;
    for (let c = 0; c < nc; ++c) {
      let failed = 0;
      for (let r = 0; r < rows.length; ++r) if (cell(r, c)[0] === "PASS") ++passed; else ++failed;
      if (failed > worstFailed) { worst = c; worstFailed = failed; }
    }
    let text = passed + " of " + rows.length * nc + " pairs passed.";
    if (worstFailed > 0)
      text += " Most often not passed: " + shown(columns[worst]) + " (" + worstFailed + " of " + rows.length + ").";
    $("tally").textContent = text;
  }

  // The state diagram: each state and transition green when the chosen run took it, grey otherwise.
  function diagram() {
    if (!window.BORNE_DIAGRAM) {
      $("diagram").textContent = "No diagram: " + (window.BORNE_DIAGRAM_MISSING || "not drawn") + ".";
      return;
    }
    const parsed = new DOMParser().parseFromString(window.BORNE_DIAGRAM, "image/svg+xml");
    const picture = document.importNode(parsed.documentElement, true);
    for (const s of picture.querySelectorAll("script, foreignObject")) s.remove();
    $("diagram").append(picture);
    const choose = $("diagram-of");
    if (!R.classCoverage) {
      $("diagram-tally").textContent = "coverage was not counted for this run";
    }
    choose.append(el("option", { value: "" }, "the whole " + (R.kind === "grade" ? "class" : "run")));
    rows.forEach((name, r) => choose.append(el("option", { value: String(r) }, rowName(r))));
    choose.addEventListener("change", colour);
    colour();
  }

  function colour() {
    const v = $("diagram-of").value;
    const cov = v === "" ? R.classCoverage : R.rowCoverage[Number(v)];
    const told = new Set(cov && cov.rows ? cov.rows : []);
    $("table-rows").replaceChildren(...R.table.rows.map((id) =>
      el("span", { class: told.has(id) ? "taken" : "untaken", "data-row-id": id }, id + " ")));
    const states = cov ? cov.states : [];
    const taken = new Set((cov ? cov.transitions : []).map(([a, b]) => a + "->" + b));
    const paint = (g, on) => {
      for (const shape of g.querySelectorAll("path, polygon, ellipse"))
        shape.setAttribute("stroke", on ? "#0a7a0a" : "#bbbbbb");
      for (const p of g.querySelectorAll("polygon")) if (p.getAttribute("fill") !== "none")
        p.setAttribute("fill", on ? "#0a7a0a" : "#bbbbbb");
      for (const t of g.querySelectorAll("text")) t.setAttribute("fill", on ? "#0a5a0a" : "#999999");
      g.setAttribute("data-taken", on ? "1" : "0");
    };
    for (const g of $("diagram").querySelectorAll("g.node")) {
      const s = Number(g.querySelector("title").textContent.slice(1));
      paint(g, (states[s] || 0) > 0);
    }
    for (const g of $("diagram").querySelectorAll("g.edge")) {
      const [a, b] = g.querySelector("title").textContent.split("->").map((x) => Number(x.slice(1)));
      paint(g, taken.has(a + "->" + b));
    }
    if (cov) {
      const reached = states.filter((n) => n > 0).length;
      $("diagram-tally").textContent = "states " + reached + " of " + R.table.states.length + ", transitions " +
        [...taken].filter((t) => R.table.allowed.some(([a, b]) => a + "->" + b === t)).length + " of " +
        R.table.allowed.length + ", rows " + (cov.rows === null ? "not told by this controller"
          : cov.rows.length + " of " + R.table.rows.length);
    }
  }

  // A pair's page.
  // Numbered lines, one marked; with a header, tab-separated values in columns.
  function listing(excerpt, marked, header) {
    const t = el("table", { class: "listing" });
    const split = (line) => header ? line.split("\t") : [line];
    if (header) t.append(el("tr", {}, el("th", {}, ""), ...split(header).map((h) => el("th", {}, shown(h)))));
    excerpt.lines.map(text).forEach((line, i) => {
      const n = excerpt.first + i;
      t.append(el("tr", n === marked ? { class: "marked" } : {}, el("td", { class: "n" }, String(n)),
        ...split(line).map((v) => el("td", {}, shown(v)))));
    });
    return t;
  }

  function journals(d) {
    const a = texts(d.expected) || [], b = texts(d.actual) || [];
    const t = el("table", { class: "listing journals" },
      el("tr", {}, el("th", {}, ""), el("th", {}, shown(d.expectedName) + " journal"),
        el("th", {}, ""), el("th", {}, shown(d.actualName) + " journal")));
    for (let i = 0; i < Math.max(a.length, b.length); ++i) {
      const differs = a[i] !== b[i];
      t.append(el("tr", differs ? { class: "differs" } : {},
        el("td", { class: "n" }, i < a.length ? String(i + 1) : ""), el("td", {}, i < a.length ? shown(a[i]) : ""),
        el("td", { class: "n" }, i < b.length ? String(i + 1) : ""), el("td", {}, i < b.length ? shown(b[i]) : "")));
    }
    if (d.expected === null) t.append(el("tr", {}, el("td", {}, ""), el("td", {}, "(no journal expected)")));
    return t;
  }

  // 0xBBGGRR as the panel holds a colour, to a CSS colour.
  function cssColour(value) {
    if (!/^0x[0-9A-Fa-f]{6}$/.test(value)) return null;
    const n = parseInt(value.slice(2), 16);
    const hex = (x) => x.toString(16).padStart(2, "0");
    return "#" + hex(n & 255) + hex((n >> 8) & 255) + hex((n >> 16) & 255);
  }

  // One run's main controls in time, on a scale shared with the other run.
  function timeline(title, [, list], end, at) {
    const t = { signals: list.map(([name, ...flat]) => {
      const changes = [];
      for (let k = 0; k < flat.length; k += 2) changes.push([flat[k], flat[k + 1]]);
      return { name: text(name), changes };
    }) };
    const left = 150, width = 1100, lane = 20, top = 22;
    const x = (ms) => left + (ms / end) * (width - left - 10);
    const height = top + t.signals.length * lane + 24;
    const s = svg("svg", { class: "timeline", width, height, viewBox: "0 0 " + width + " " + height });
    s.append(svg("text", { x: 0, y: 14, class: "run-title" }, title));
    t.signals.forEach((signal, i) => {
      const y = top + i * lane;
      s.append(svg("text", { x: 0, y: y + 14, class: "label" }, signal.name));
      const changes = signal.changes;
      changes.forEach(([from, index], k) => {
        const value = text(index);
        const to = k + 1 < changes.length ? changes[k + 1][0] : end;
        const x0 = x(from), x1 = Math.max(x(to), x0 + 1);
        const colour = cssColour(value);
        if (value === "0" || value === "1") {
          const yy = value === "1" ? y + 3 : y + 15;
          s.append(svg("line", { x1: x0, x2: x1, y1: yy, y2: yy, stroke: "#246", "stroke-width": 2 }));
          s.append(svg("line", { x1: x0, x2: x0, y1: y + 3, y2: y + 15, stroke: "#246" }));
        } else if (colour) {
          s.append(svg("rect", { x: x0, y: y + 3, width: x1 - x0, height: 12, fill: colour, stroke: "#888" }));
        } else {
          s.append(svg("rect", { x: x0, y: y + 2, width: x1 - x0, height: 15, fill: "#f4f4ff", stroke: "#99a" }));
          const room = Math.floor((x1 - x0 - 6) / 6);
          if (room >= 3) {
            const text = shown(value);
            const label = svg("text", { x: x0 + 3, y: y + 14 },
              text.length <= room ? text : text.slice(0, room - 1) + "\u2026");
            const clip = svg("title", {}, shown(value));
            label.append(clip);
            s.append(label);
          }
        }
      });
    });
    const axis = top + t.signals.length * lane + 14;
    const step = [500, 1000, 2000, 5000, 10000, 20000, 60000].find((n) => end / n <= 12) || 120000;
    for (let ms = 0; ms <= end; ms += step) {
      s.append(svg("line", { x1: x(ms), x2: x(ms), y1: top, y2: axis - 10, stroke: "#eee" }));
      s.append(svg("text", { x: x(ms), y: axis }, ms + " ms"));
    }
    if (at !== null && at !== undefined) {
      s.append(svg("line", { class: "difference", x1: x(at), x2: x(at), y1: top - 4, y2: axis - 8 }));
      const near = x(at) > width - 200;
      s.append(svg("text", { x: near ? x(at) - 4 : x(at) + 4, y: top - 8, fill: "#d00",
        "text-anchor": near ? "end" : "start" }, "first difference, " + at + " ms"));
    }
    return s;
  }

  // A pair's page: its column's file is read first, once (a script beside the page, as data.js).
  function pair(column, k) {
    const view = $("pair-view");
    const loaded = window.BORNE_PAIRS && window.BORNE_PAIRS[column];
    if (!loaded) {
      if (!(column < nc)) return missing(view);
      view.replaceChildren(el("p", {}, "Reading the pair\u2026"));
      const script = el("script", { src: "pairs/" + column + ".js" });
      script.addEventListener("load", () => {
        if (window.BORNE_PAIRS && window.BORNE_PAIRS[column]) route(); else missing(view);
      });
      script.addEventListener("error", () => missing(view));
      document.head.append(script);
      return;
    }
    strings = loaded.strings;
    const d = loaded.details[k];
    view.replaceChildren();
    if (!d) return missing(view);
    view.append(el("p", {}, el("a", { href: "#" }, "\u2190 the whole report")));
    view.append(el("h2", {}, rowName(d.row) + " / " + shown(columns[d.column]) + ": ",
      el("span", { class: "v " + d.verdict }, SYMBOL[d.verdict] + " " + d.verdict)));
    view.append(el("p", { class: "first-difference", id: "first-difference" }, shown(text(d.summary))));
    if (d.details) view.append(el("pre", {}, shown(d.details, true)));
    if (d.script.lines.length) {
      view.append(el("h3", {}, "The script" + (d.script.marked ? ", around line " + d.script.marked : "") +
        (d.script.marked && d.differenceAt !== null ? " (the turn where the runs parted)" : "")));
      view.append(listing(d.script, d.script.marked));
    }
    if (d.turns.lines.length) {
      view.append(el("h3", {}, "The turn log" + (d.turns.marked ? ", around turn " + d.turns.marked : "")));
      view.append(listing(d.turns, d.turns.marked, d.turnsHeader));
    }
    if (d.expected || d.actual) {
      view.append(el("h3", {}, "The journals, side by side (differing lines marked)"));
      view.append(el("div", { class: "wide" }, journals(d)));
    }
    if (d.run) {
      const end = Math.max(d.run[0], d.reference ? d.reference[0] : 0) + 500;
      view.append(el("h3", {}, "The panel's main controls in time"));
      const box = el("div", { id: "timelines" });
      if (d.reference) box.append(timeline("the terminal's own", d.reference, end, d.differenceAt));
      box.append(timeline(d.reference ? "the controller" : "this run", d.run, end, d.differenceAt));
      view.append(box);
    }
  }

  function missing(view) {
    view.replaceChildren(el("p", {}, "No such pair in this report."), el("a", { href: "#" }, "Back"));
  }

  function route() {
    const m = /^#pair\/(\d+)\/(\d+)$/.exec(location.hash);
    $("class-view").hidden = !!m;
    $("pair-view").hidden = !m;
    if (m) { pair(Number(m[1]), Number(m[2])); window.scrollTo(0, 0); }
  }

  header();
  tally();
  grid();
  diagram();
  window.addEventListener("hashchange", route);
  route();
  document.body.setAttribute("data-ready", "1");
})();

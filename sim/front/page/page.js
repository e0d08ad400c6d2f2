// quorvane-sim serve's page: shows the device's front screen, turns clicks into taps and keys
// into typing, and sends the home row, the clock and files as steps of the scenario language.
"use strict";

const $ = (id) => document.getElementById(id);
const APP_TITLES = { Camera: "Camera", MobileSlideShow: "Photos", Settings: "Settings" };
// A click inside a double-tap area waits this long for a second one, as UIKit waits.
const DOUBLE_TAP_WAIT_MS = 300;

const page = {
  name: "",
  version: -1,
  traceEnd: 0,
  screenVersion: -1,
  view: null,
  width: 0,
  height: 0,
  typed: null, // the text of the field that keys go to, while one does
  pendingTap: null,
};

// What the browser test reads: milliseconds from a click to the screen it changed.
window.quorvane = { latencies: [], clickedAt: null };

function headers(extra) {
  return Object.assign({ "X-Quorvane-Page": page.name }, extra || {});
}

function say(text, problem) {
  $("message").textContent = text;
  $("message").classList.toggle("problem", Boolean(problem));
}

// Requests that change the device go one at a time, in the order the person made them: sent
// at once, a busy server may take "type: 240" before "type: 24" and leave the field at "24".
let lastChange = Promise.resolve();

function post(path, body, contentType) {
  const change = lastChange.then(() => send(path, body, contentType));
  lastChange = change.catch(() => false);
  return change;
}

async function send(path, body, contentType) {
  if (!page.view || !page.view.driver) return false; // a watching page changes nothing
  const response = await fetch(path, {
    method: "POST",
    headers: headers({ "Content-Type": contentType || "text/plain; charset=utf-8" }),
    body,
  });
  if (!response.ok) {
    say((await response.text()).trim(), true);
    return false;
  }
  say("");
  await refresh();
  return true;
}

function step(line) {
  return post("/api/step", line);
}

// Steps write text as YAML's double-quoted scalars, which JSON's strings are.
const quoted = (text) => JSON.stringify(text);

// Updates.

async function fetchView(wait) {
  const after = wait ? page.version : -1;
  const response = await fetch(`/api/updates?after=${after}&trace=${page.traceEnd}`, {
    headers: headers(),
  });
  if (!response.ok) throw new Error((await response.text()).trim());
  apply(await response.json());
}

async function refresh() {
  try {
    await fetchView(false);
  } catch (error) {
    say(`The server did not answer: ${error.message}`, true);
  }
}

async function poll() {
  for (;;) {
    try {
      await fetchView(true);
    } catch (error) {
      say("The server is gone; the page tries again.", true);
      await new Promise((resolve) => setTimeout(resolve, 2000));
    }
  }
}

function apply(view) {
  appendTrace(view.trace, view.trace_end);
  if (view.version <= page.version && page.view) return;
  page.version = view.version;
  page.view = view;
  document.body.classList.toggle("watching", !view.driver);
  $("watching").hidden = view.driver;
  $("role").textContent = view.driver ? "this page drives the device" : "watching";
  for (const control of document.querySelectorAll("button, input")) control.disabled = !view.driver;
  $("clock").textContent = `${view.clock.toFixed(3)} s`;
  $("realtime").checked = view.realtime;
  showApps(view);
  showScreen(view);
  showState(view);
  showTyping(view);
}

function showApps(view) {
  for (const row of document.querySelectorAll("#home-row tr")) {
    const app = row.dataset.app;
    const state =
      app === "Settings" ? (view.settings_pane !== null ? "open" : "closed") : view.apps[app];
    const cell = row.querySelector(".app-state");
    cell.textContent = state;
    cell.title = state;
    cell.classList.toggle("crashed", state.startsWith("crashed"));
  }
}

function showScreen(view) {
  const front = view.front;
  $("home").hidden = front !== null;
  $("crashed").hidden = view.crashed === null;
  $("crashed").textContent = view.crashed === null ? "" : `${APP_TITLES[front]} ${view.crashed}`;
  const showsPicture = front !== null && view.crashed === null && view.problem === null;
  $("screen").hidden = !showsPicture;
  if (view.problem !== null) say(view.problem, true);
  if (!showsPicture) {
    window.quorvane.clickedAt = null;
    return;
  }
  if (view.screen_version === page.screenVersion) {
    window.quorvane.clickedAt = null; // the click changed nothing on screen
    return;
  }
  page.screenVersion = view.screen_version;
  const clickedAt = window.quorvane.clickedAt;
  window.quorvane.clickedAt = null;
  const next = new Image();
  next.onload = () => {
    if (page.screenVersion !== view.screen_version) return; // a newer one is on its way
    $("screen").src = next.src;
    if (clickedAt !== null) window.quorvane.latencies.push(performance.now() - clickedAt);
  };
  next.src = `/api/screen.png?v=${view.screen_version}`;
}

function showState(view) {
  $("state-of").textContent =
    view.front === null || view.front === "Settings" ? "the device" : APP_TITLES[view.front];
  const table = $("state");
  table.replaceChildren();
  for (const [key, value] of view.state) {
    const row = table.insertRow();
    const name = document.createElement("th");
    name.textContent = key;
    row.appendChild(name);
    row.insertCell().textContent = value;
  }
}

function appendTrace(lines, end) {
  if (lines.length === 0 || end <= page.traceEnd) return;
  const box = $("trace");
  const atBottom = box.scrollTop + box.clientHeight >= box.scrollHeight - 4;
  const skip = lines.length - (end - page.traceEnd); // lines a parallel answer already brought
  for (const line of lines.slice(Math.max(0, skip))) {
    const span = document.createElement("span");
    span.textContent = `${line.text}\n`;
    if (line.failed) span.className = "failed";
    box.appendChild(span);
  }
  page.traceEnd = end;
  if (atBottom) box.scrollTop = box.scrollHeight;
}

// Typing: keys go to the text field that is first responder (the chooser's alert, as the app
// draws it), or to the Settings row being edited, which takes the text when Return is pressed.

function typingTarget(view) {
  if (view.front === "Settings") {
    const pane = view.settings_pane;
    return pane && pane.editing ? { pane: pane.editing, text: String(pane[pane.editing] ?? "") } : null;
  }
  const responder = view.first_responder;
  return responder ? { pane: null, text: responder.text ?? "" } : null;
}

function showTyping(view) {
  const target = typingTarget(view);
  if (target === null) {
    page.typed = null;
  } else if (page.typed === null || page.typed.pane !== target.pane) {
    page.typed = target;
  }
  $("typing").hidden = page.typed === null;
  $("typed").textContent = page.typed ? page.typed.text : "";
}

function sendTyped() {
  const typed = page.typed;
  if (typed.pane === null) return step(`type: ${quoted(typed.text)}`);
  return step(`settings_pane: {type: {${typed.pane}: ${quoted(typed.text)}}}`);
}

document.addEventListener("keydown", (event) => {
  if (page.typed === null || !page.view.driver) return;
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  const typed = page.typed;
  if (event.key === "Enter") {
    if (typed.pane !== null) sendTyped();
  } else if (event.key === "Backspace") {
    typed.text = [...typed.text].slice(0, -1).join("");
  } else if ([...event.key].length === 1) {
    typed.text += event.key;
  } else {
    return;
  }
  event.preventDefault();
  $("typed").textContent = typed.text;
  if (typed.pane === null && event.key !== "Enter") sendTyped();
});

// Touches: a click is a tap at its point of the screen, a double click a double tap. Only
// inside a double-tap area does a click wait to learn whether a second one follows.

function screenPoint(event) {
  const box = $("screen").getBoundingClientRect();
  const x = ((event.clientX - box.left) * page.width) / box.width;
  const y = ((event.clientY - box.top) * page.height) / box.height;
  return { x: Math.round(x * 10) / 10, y: Math.round(y * 10) / 10 };
}

function inDoubleTapArea(point) {
  const areas = (page.view && page.view.double_tap_areas) || [];
  return areas.some(
    ([x, y, w, h]) => point.x >= x && point.x < x + w && point.y >= y && point.y < y + h,
  );
}

function touch(kind, point) {
  window.quorvane.clickedAt = performance.now();
  const app = page.view.front === "Settings" ? ", app: Settings" : `, app: ${page.view.front}`;
  return step(`${kind}: {x: ${point.x}, y: ${point.y}${app}}`);
}

$("screen").addEventListener("click", (event) => {
  if (!page.view || !page.view.driver) return;
  const point = screenPoint(event);
  if (!inDoubleTapArea(point)) {
    touch("tap", point);
    return;
  }
  if (event.detail >= 2 && page.pendingTap !== null) {
    clearTimeout(page.pendingTap);
    page.pendingTap = null;
    touch("double_tap", point);
    return;
  }
  page.pendingTap = setTimeout(() => {
    page.pendingTap = null;
    touch("tap", point);
  }, DOUBLE_TAP_WAIT_MS);
});

// The home row, the clock and the files.

// The camera screen kicks off its preview as it first appears.
async function launch(app) {
  if (app === "Settings") return step("settings_pane: open");
  const starting = page.view.apps[app] !== "running";
  if ((await step(`launch: ${app}`)) && app === "Camera" && starting) await step("start_preview");
}

for (const row of document.querySelectorAll("#home-row tr")) {
  const app = row.dataset.app;
  row.querySelector(".launch").addEventListener("click", () => launch(app));
  row
    .querySelector(".quit")
    .addEventListener("click", () =>
      app === "Settings" ? step("settings_pane: close") : step(`quit: ${app}`),
    );
}
for (const icon of document.querySelectorAll("[data-launch]")) {
  icon.addEventListener("click", () => launch(icon.dataset.launch));
}
$("plus1").addEventListener("click", () => step("wait: 1"));
$("plus10").addEventListener("click", () => step("wait: 10"));
$("realtime").addEventListener("change", (event) =>
  post("/api/realtime", event.target.checked ? "on" : "off"),
);

async function download(path, fallbackName) {
  const response = await fetch(path, { headers: headers() });
  if (!response.ok) {
    say((await response.text()).trim(), true);
    return;
  }
  const link = document.createElement("a");
  link.href = URL.createObjectURL(await response.blob());
  link.download = fallbackName;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  say(`Downloaded ${fallbackName}.`);
}

$("save").addEventListener("click", () => download("/api/scenario", "quorvane-scenario.yaml"));
$("snapshot").addEventListener("click", () =>
  download("/api/screen.png?download=1", "quorvane-screen.png"),
);

function sendFile(input, path, what) {
  input.addEventListener("change", async () => {
    const file = input.files[0];
    input.value = "";
    if (!file) return;
    say(`Sending ${what} ${file.name}…`);
    if (await post(`${path}?name=${encodeURIComponent(file.name)}`, file, "application/octet-stream")) {
      say(`Sent ${what} ${file.name}.`);
    }
  });
}
sendFile($("clip-file"), "/api/clip", "the clip");
sendFile($("settings-file"), "/api/settings", "the settings file");

async function start() {
  const hello = await (await fetch("/api/hello")).json();
  page.name = hello.page;
  page.width = hello.width;
  page.height = hello.height;
  $("device").textContent = `${hello.device}, iOS ${hello.system}`;
  $("screen-area").style.width = `${hello.width}px`;
  $("screen-area").style.height = `${hello.height}px`;
  await refresh();
  poll();
}

start();

// The station directory: favourites, the online directory (or its offline
// copy) and the user's stations; search, favourites, playing.
// Every text from the directory goes into the page as text, never as markup.
"use strict";
(function () {
  const listEl = document.getElementById("list");
  const searchEl = document.getElementById("search");
  const filterEl = document.getElementById("filter");
  const byEl = document.getElementById("by");
  const statusEl = document.getElementById("status");
  const playerEl = document.getElementById("player");
  const nowEl = document.getElementById("now");
  const titleEl = document.getElementById("title");
  const toggleEl = document.getElementById("toggle");
  const muteEl = document.getElementById("mute");
  const volumeEl = document.getElementById("volume");
  const streamEl = document.getElementById("stream");
  const stateEl = document.getElementById("state");
  const footEl = document.getElementById("foot");
  const PAGE = 100;

  let data = null;          // the last listing
  let current = null;       // the station playing
  let player = null;        // the program's player as last heard
  let pageError = null;     // a play the program refused, shown until its player changes
  let pollTimer = 0;
  let pollRound = 0;
  let playerVersion = "";
  let request = 0;          // newest list request (older answers are dropped)
  let searchTimer = 0;

  function text(tag, className, value) {
    const el = document.createElement(tag);
    if (className) el.className = className;
    el.textContent = value;
    return el;
  }

  function setState(message, isError) {
    stateEl.textContent = message;
    stateEl.className = isError ? "error" : "";
  }

  function showStatus(lines) {
    statusEl.textContent = "";
    for (const line of lines) statusEl.appendChild(text("div", "", line));
    statusEl.hidden = !lines.length;
  }

  function favouriteKeys() { return new Set((data && data.favourites || []).map(s => s.key)); }

  function meta(s) {
    const parts = [];
    if (s.country) parts.push(s.country);
    if (s.codec) parts.push(s.codec);
    if (s.bitrate) parts.push(s.bitrate + " kbps");
    if (!parts.length && s.category) parts.push(s.category);
    return parts.join(" · ");
  }

  function row(s, favourites) {
    const li = document.createElement("li");
    li.dataset.key = s.key;
    if (current && current.key === s.key) li.className = "playing";
    if (s.favicon && /^https?:\/\//i.test(s.favicon)) {
      const img = document.createElement("img");
      img.alt = "";
      img.loading = "lazy";
      img.referrerPolicy = "no-referrer";
      img.addEventListener("error", () => { img.style.visibility = "hidden"; });
      img.src = s.favicon;
      li.appendChild(img);
    }
    const b = document.createElement("button");
    b.className = "play";
    b.title = s.urlResolved || s.url;
    b.appendChild(text("span", "name", s.name));
    const m = meta(s);
    if (m) b.appendChild(text("span", "meta", m));
    b.addEventListener("click", () => play(s));
    li.appendChild(b);
    const on = favourites.has(s.key);
    const star = text("button", on ? "star on" : "star", on ? "★" : "☆");
    star.title = on ? "取消收藏" : "收藏";
    star.addEventListener("click", () => toggleFavourite(s, on));
    li.appendChild(star);
    const later = text("button", "schedule", "预约");
    later.title = "预约录音";
    later.addEventListener("click", () => schedule(s));
    li.appendChild(later);
    return li;
  }

  function section(title, stations, favourites, id) {
    if (!stations.length) return null;
    listEl.appendChild(text("h2", "", title));
    const ul = document.createElement("ul");
    if (id) ul.id = id;
    for (const s of stations) ul.appendChild(row(s, favourites));
    listEl.appendChild(ul);
    return ul;
  }

  function directoryTitle() {
    const searching = filterEl.value.trim() !== "";
    if (data.cachedAt) return (searching ? "搜索结果" : "热门中文电台") + "（离线缓存）";
    return searching ? "搜索结果" : "热门中文电台";
  }

  function render() {
    listEl.textContent = "";
    const favourites = favouriteKeys();
    section("我的收藏", data.favourites, favourites, "favourites");
    section(directoryTitle(), data.directory, favourites, "directory");
    if (data.directory.length >= PAGE && (data.state === "online")) {
      const more = text("button", "more", "更多电台…");
      more.addEventListener("click", () => load(data.directory.length));
      listEl.appendChild(more);
    }
    section("我的电台", data.user, favourites, "user");
    if (!listEl.childNodes.length) {
      if (filterEl.value.trim()) listEl.appendChild(text("div", "empty", "没有找到匹配的电台。"));
      else listEl.appendChild(emptyHelp(data.userListPath));
    }
  }

  // Nothing to list: how the user adds a station of their own.
  function emptyHelp(path) {
    const box = text("div", "empty", "还没有电台。");
    if (path) {
      box.appendChild(text("p", "", "把电台写进这个文件，每行一个（写好后按刷新）："));
      box.appendChild(text("p", "path", path));
      box.appendChild(text("p", "example", "电台名称 | http://电台地址"));
    }
    return box;
  }

  function describe(d) {
    const lines = [];
    if (d.state === "cache") lines.push("离线：无法连接在线电台目录，显示的是 " + (d.cachedAt || "") + " 保存的电台。");
    else if (d.state === "offline") lines.push("离线：无法连接在线电台目录，也没有可用的缓存。");
    else if (d.state === "off") lines.push("在线电台目录已关闭" + (d.cachedAt ? "，显示的是 " + d.cachedAt + " 保存的电台。" : "。"));
    for (const m of d.messages || []) lines.push(m);
    return lines;
  }

  // Each note its own line: a label kept whole, then its value (a path wraps anywhere).
  function foot(d) {
    footEl.textContent = "";
    const note = (label, value) => {
      const line = text("div", "", "");
      line.appendChild(text("span", "label", label));
      if (value) line.appendChild(text("span", "path", value));
      footEl.appendChild(line);
    };
    if (d.userFile) note("自定义电台：", d.userFile);
    if (d.skippedLines && d.skippedLines.length) note("自定义列表中无法识别的行：", d.skippedLines.join("、"));
    if (d.skippedEntries) note("已略过 " + d.skippedEntries + " 个地址无效的电台");
  }

  function list(params) {
    return fetch("api/list?" + params.toString())
      .then(r => { if (!r.ok) throw new Error("HTTP " + r.status); return r.json(); })
      .then(d => { for (const k of ["favourites", "directory", "user"]) d[k] = d[k] || []; return d; });
  }

  function load(offset) {
    const mine = ++request;
    const params = new URLSearchParams({ q: filterEl.value.trim(), by: byEl.value, offset: String(offset || 0), limit: String(PAGE) });
    let answered = false;
    if (!offset) {
      document.body.dataset.ready = "loading";
      // What is on this machine shows at once; the directory's answer follows.
      const local = new URLSearchParams(params);
      local.set("online", "0");
      list(local).then(d => {
        if (mine !== request || answered) return;
        data = d;
        showStatus(d.state === "pending" ? ["正在连接在线电台目录…"] : describe(d));
        foot(d);
        render();
      }).catch(() => {});
    }
    return list(params)
      .then(d => {
        if (mine !== request) return;
        answered = true;
        if (offset && data) {
          const seen = new Set(data.directory.map(s => s.key));
          data.directory = data.directory.concat(d.directory.filter(s => !seen.has(s.key)));
          data.state = d.state;
        } else {
          data = d;
        }
        showStatus(describe(d));
        foot(d);
        render();
        document.body.dataset.state = d.state;
        document.body.dataset.ready = "1";
      })
      .catch(e => {
        if (mine !== request) return;
        showStatus(["电台列表加载失败（" + e.message + "）。"]);
        if (!data) listEl.textContent = "";
        document.body.dataset.ready = "error";
      });
  }

  function post(path, body) {
    return fetch(path, { method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(body) })
      .then(r => { if (!r.ok) throw new Error("HTTP " + r.status); return r.json(); });
  }

  function toggleFavourite(s, on) {
    post("api/favourite", on ? { remove: s.key } : { add: s })
      .then(d => {
        data.favourites = d.favourites || [];
        if (!d.ok) showStatus([d.error]);
        render();
      })
      .catch(e => showStatus(["收藏未能保存（" + e.message + "）。"]));
  }

  // The program's schedule window opens with the station filled in.
  function schedule(s) {
    post("api/schedule", { station: s })
      .then(d => { if (d.error) showStatus([d.error]); })
      .catch(e => showStatus(["无法预约录音（" + e.message + "）。"]));
  }

  // The program plays; the page shows its player and sends the buttons' clicks.
  function playerKey(p) { return p.state + "|" + (p.station ? p.station.key : ""); }

  function showPlayer(p) {
    player = p;
    if (pageError && pageError.key !== playerKey(p)) pageError = null;
    if (!p.station && !pageError) { playerEl.hidden = true; return; }
    playerEl.hidden = false;
    if (p.station && !pageError) {
      nowEl.textContent = p.station.name;
      if (!current || current.key !== p.station.key) {
        current = p.station;
        if (data) render();
      }
    }
    titleEl.textContent = pageError ? "" : p.title || "";
    streamEl.textContent = [p.codec, p.bitrate ? p.bitrate + " kbps" : ""].filter(x => x).join(" · ");
    const active = p.state === "connecting" || p.state === "buffering" || p.state === "playing";
    toggleEl.textContent = active ? "停止" : "播放";
    toggleEl.disabled = !p.station;
    muteEl.textContent = p.muted ? "取消静音" : "静音";
    muteEl.setAttribute("aria-pressed", String(p.muted));
    if (document.activeElement !== volumeEl) volumeEl.value = String(p.volume);
    if (pageError) return setState(pageError.message, true);
    switch (p.state) {
      case "connecting": setState(p.message || "正在连接…"); break;
      case "buffering": setState("正在缓冲… " + p.percent + "%"); break;
      case "playing": setState("正在播放"); break;
      case "failed": setState("无法播放该电台：" + p.message, true); break;
      default: setState("已停止");
    }
  }

  // The program holds each request until the player's state moves on, so the
  // page hears of a change at once and asks nothing while nothing happens.
  // A newer call takes over from an older one still waiting.
  function poll() {
    const round = ++pollRound;
    clearTimeout(pollTimer);
    // Past the browser's cache: it would hold a second request for the same
    // address until the first is answered.
    fetch("api/player" + (playerVersion ? "?after=" + playerVersion : ""), { cache: "no-store" })
      .then(r => { if (!r.ok) throw new Error("HTTP " + r.status); return r.json(); })
      .then(p => { if (round === pollRound) { playerVersion = p.version || ""; showPlayer(p); } return 0; })
      .catch(() => 1000)
      .then(wait => { if (round === pollRound) pollTimer = setTimeout(poll, wait); });
  }

  function control(body) {
    return post("api/player", body).then(p => { if (p.error) showStatus([p.error]); else showPlayer(p); })
      .catch(e => showStatus(["无法控制播放（" + e.message + "）。"]));
  }

  function play(station) {
    current = station;
    pageError = null;
    playerEl.hidden = false;
    nowEl.textContent = station.name;
    titleEl.textContent = "";
    setState("正在连接…");
    if (data) render();
    post("api/play", { station: station })
      .then(a => {
        if (current !== station) return;
        if (a.error) {
          pageError = { message: a.error, key: player ? playerKey(player) : "" };
          setState(a.error, true);
          return;
        }
        showPlayer(a);
        if (a.note && a.state === "connecting") setState(a.note + "，正在连接…");
        poll();
      })
      .catch(e => { if (current === station) setState("无法播放该电台（" + e.message + "）。", true); });
  }

  toggleEl.addEventListener("click", () => {
    const active = player && (player.state === "connecting" || player.state === "buffering" || player.state === "playing");
    control({ action: active ? "stop" : "resume" });
  });
  muteEl.addEventListener("click", () => control({ muted: !(player && player.muted) }));
  volumeEl.addEventListener("input", () => control({ volume: Number(volumeEl.value) }));
  document.addEventListener("visibilitychange", () => { if (!document.hidden) poll(); });

  searchEl.addEventListener("submit", e => { e.preventDefault(); clearTimeout(searchTimer); load(0); });
  filterEl.addEventListener("input", () => { clearTimeout(searchTimer); searchTimer = setTimeout(() => load(0), 400); });
  byEl.addEventListener("change", () => { if (filterEl.value.trim()) load(0); });

  // Lets the host (and tests) play a station by its address.
  window.velmoraPlay = url => {
    const all = data ? [].concat(data.favourites, data.directory, data.user) : [];
    play(all.find(x => x.url === url || x.urlResolved === url) || { name: url, url: url, key: url });
  };

  load(0);
  poll();
})();

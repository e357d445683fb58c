// The station directory: favourites, the online directory (or its offline
// copy), the bundled and the user's stations; search, favourites, playing.
// Every text from the directory goes into the page as text, never as markup.
"use strict";
(function () {
  const listEl = document.getElementById("list");
  const searchEl = document.getElementById("search");
  const filterEl = document.getElementById("filter");
  const byEl = document.getElementById("by");
  const statusEl = document.getElementById("status");
  const audio = document.getElementById("audio");
  const playerEl = document.getElementById("player");
  const nowEl = document.getElementById("now");
  const stateEl = document.getElementById("state");
  const footEl = document.getElementById("foot");
  const PAGE = 100;

  let data = null;          // the last listing
  let current = null;       // the station playing
  let failed = false;       // the current station failed: no later event hides that
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
    if (data.state === "cache") return (searching ? "搜索结果" : "热门中文电台") + "（离线缓存）";
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
    section("推荐电台", data.bundled, favourites, "bundled");
    section("我的电台", data.user, favourites, "user");
    if (!listEl.childNodes.length)
      listEl.appendChild(text("div", "empty", filterEl.value.trim() ? "没有找到匹配的电台。" : "电台列表为空。"));
  }

  function describe(d) {
    const lines = [];
    if (d.state === "cache") lines.push("离线：无法连接在线电台目录，显示的是 " + (d.cachedAt || "") + " 保存的电台。");
    else if (d.state === "offline") lines.push("离线：无法连接在线电台目录，也没有可用的缓存。");
    else if (d.state === "off") lines.push("在线电台目录已关闭。");
    for (const m of d.messages || []) lines.push(m);
    return lines;
  }

  function foot(d) {
    const notes = [];
    if (d.userFile) notes.push("自定义电台：" + d.userFile);
    if (d.skippedLines && d.skippedLines.length) notes.push("自定义列表中无法识别的行：" + d.skippedLines.join("、"));
    if (d.skippedEntries) notes.push("已略过 " + d.skippedEntries + " 个地址无效的电台");
    footEl.textContent = notes.join("　");
  }

  function list(params) {
    return fetch("api/list?" + params.toString())
      .then(r => { if (!r.ok) throw new Error("HTTP " + r.status); return r.json(); })
      .then(d => { for (const k of ["favourites", "directory", "bundled", "user"]) d[k] = d[k] || []; return d; });
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

  const mediaErrors = {
    1: "播放被中止",
    2: "网络错误，无法连接到电台",
    3: "电台的音频无法解码",
    4: "无法连接到电台，或其格式不受支持",
  };

  function fail(message) {
    failed = true;
    setState(message, true);
  }

  function play(station) {
    current = station;
    failed = false;
    playerEl.hidden = false;
    nowEl.textContent = station.name;
    setState("正在连接…");
    if (data) render();
    post("api/play", { station: station })
      .then(a => {
        if (current !== station) return;
        if (a.error) { audio.removeAttribute("src"); audio.load(); fail(a.error); return; }
        if (a.note) setState(a.note + "，正在连接…");
        audio.src = a.url;
        const started = audio.play();
        if (started && started.catch) started.catch(() => {});
      })
      .catch(e => { if (current === station) fail("无法播放该电台（" + e.message + "）。"); });
  }

  audio.addEventListener("playing", () => { failed = false; setState("正在播放"); });
  audio.addEventListener("waiting", () => { if (!failed) setState("正在缓冲…"); });
  audio.addEventListener("pause", () => { if (!failed && !audio.error && !audio.ended) setState("已暂停"); });
  audio.addEventListener("error", () => {
    if (!audio.getAttribute("src")) return;
    const code = audio.error ? audio.error.code : 0;
    fail("无法播放该电台：" + (mediaErrors[code] || "未知错误") + "。请稍后再试或选择其他电台。");
  });

  searchEl.addEventListener("submit", e => { e.preventDefault(); clearTimeout(searchTimer); load(0); });
  filterEl.addEventListener("input", () => { clearTimeout(searchTimer); searchTimer = setTimeout(() => load(0), 400); });
  byEl.addEventListener("change", () => { if (filterEl.value.trim()) load(0); });

  // Lets the host (and tests) play a station by its address.
  window.velmoraPlay = url => {
    const all = data ? [].concat(data.favourites, data.directory, data.bundled, data.user) : [];
    play(all.find(x => x.url === url || x.urlResolved === url) || { name: url, url: url, key: url });
  };

  load(0);
})();

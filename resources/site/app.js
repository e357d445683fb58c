// The station directory: loads the list, filters it by name, plays a station.
"use strict";
(function () {
  const listEl = document.getElementById("list");
  const filterEl = document.getElementById("filter");
  const audio = document.getElementById("audio");
  const playerEl = document.getElementById("player");
  const nowEl = document.getElementById("now");
  const stateEl = document.getElementById("state");
  const footEl = document.getElementById("foot");
  let stations = [];
  let current = null;

  function render() {
    const needle = filterEl.value.trim().toLowerCase();
    const shown = stations.filter(s => !needle || s.name.toLowerCase().includes(needle));
    listEl.textContent = "";
    if (!shown.length) {
      const p = document.createElement("div");
      p.className = "empty";
      p.textContent = stations.length ? "没有找到匹配的电台。" : "电台列表为空。";
      listEl.appendChild(p);
      return;
    }
    const groups = new Map();
    for (const s of shown) {
      const key = s.category || "其他";
      if (!groups.has(key)) groups.set(key, []);
      groups.get(key).push(s);
    }
    for (const [category, items] of groups) {
      const h = document.createElement("h2");
      h.textContent = category;
      listEl.appendChild(h);
      const ul = document.createElement("ul");
      for (const s of items) {
        const li = document.createElement("li");
        const b = document.createElement("button");
        b.textContent = s.name;
        b.title = s.url;
        b.dataset.url = s.url;
        if (current && current.url === s.url) b.className = "playing";
        b.addEventListener("click", () => play(s));
        li.appendChild(b);
        ul.appendChild(li);
      }
      listEl.appendChild(ul);
    }
  }

  function setState(text) { stateEl.textContent = text; }

  function play(station) {
    current = station;
    playerEl.hidden = false;
    nowEl.textContent = station.name;
    setState("正在连接…");
    audio.src = station.url;
    const started = audio.play();
    if (started && started.catch) started.catch(() => {});
    render();
  }

  audio.addEventListener("playing", () => setState("正在播放"));
  audio.addEventListener("waiting", () => setState("正在缓冲…"));
  audio.addEventListener("pause", () => { if (!audio.ended) setState("已暂停"); });
  audio.addEventListener("error", () => setState("无法播放该电台，请稍后再试或选择其他电台。"));

  filterEl.addEventListener("input", render);

  // Lets the host (and tests) play a station by its address.
  window.velmoraPlay = url => {
    const s = stations.find(x => x.url === url) || { name: url, url: url };
    play(s);
  };

  fetch("stations.json")
    .then(r => { if (!r.ok) throw new Error(r.status); return r.json(); })
    .then(data => {
      stations = data.stations || [];
      const notes = [];
      if (data.userFile) notes.push("自定义电台：" + data.userFile);
      if (data.skippedLines && data.skippedLines.length)
        notes.push("自定义列表中无法识别的行：" + data.skippedLines.join("、"));
      footEl.textContent = notes.join("　");
      document.body.dataset.ready = "1";
      render();
    })
    .catch(() => {
      listEl.innerHTML = '<div class="empty">电台列表加载失败。</div>';
      document.body.dataset.ready = "error";
    });
})();

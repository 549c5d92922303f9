// 星辰远征: fly the ship through the star field, collect stars, avoid meteors. The side panel
// gives the client its commands through window.external.JsCallClient and lists the keys the
// page receives.
(function () {
  "use strict";

  const params = new URLSearchParams(location.search);
  const ZONES = { "1": "一区 · 银河港", "2": "二区 · 猎户臂", "3": "三区 · 仙女座" };
  const pilot = (params.get("user") || "舰长").slice(0, 20);
  const zone = ZONES[params.get("zone")] || ZONES["1"];
  document.getElementById("pilot").textContent = "驾驶员 " + pilot;
  document.getElementById("zone").textContent = zone;

  // What the operator's statistics would count: the page loaded, a pause, a new flight.
  function report(event) {
    fetch("/beacon?event=" + encodeURIComponent(event)).catch(function () {});
  }
  window.addEventListener("load", function () {
    report("game");
    // The zone goes into the window's title, as operators do once the player is in.
    if (window.external && typeof window.external.JsCallClient === "function") {
      callClient("6", pilot + " · " + zone.split(" ")[0]);
    }
  });

  // ------------------------------------------------------------------ client commands ---

  const statusLine = document.getElementById("status");
  const linkField = document.getElementById("link");
  const suffixField = document.getElementById("suffix");
  linkField.value = location.origin + "/news.html";
  suffixField.value = pilot + " · " + zone.split(" ")[0];

  function showStatus(text, kind) {
    statusLine.textContent = text;
    statusLine.className = "status " + kind;
  }

  // The client reads the command only from text and takes the value only as text.
  function callClient(command, value) {
    const external = window.external;
    const shown = 'JsCallClient("' + command + '"' + (value === undefined ? "" : ', "' + value + '"') + ")";
    if (!external || typeof external.JsCallClient !== "function") {
      showStatus("不在游戏客户端中：window.external.JsCallClient 不可用，未发送 " + shown, "note");
      return;
    }
    try {
      if (value === undefined) {
        external.JsCallClient(String(command));
      } else {
        external.JsCallClient(String(command), String(value));
      }
      showStatus("已发送 " + shown, "sent");
    } catch (error) {
      showStatus("客户端拒绝了 " + shown + "：" + error.message, "note");
    }
  }

  document.querySelectorAll("button[data-command]").forEach(function (button) {
    button.addEventListener("click", function () {
      const field = button.dataset.value ? document.getElementById(button.dataset.value) : null;
      callClient(button.dataset.command, field ? field.value : undefined);
      button.blur();
    });
  });
  [linkField, suffixField].forEach(function (field) {
    field.addEventListener("keydown", function (event) {
      if (event.key === "Enter") field.nextElementSibling.click();
      if (event.key === "Escape") field.blur();
    });
  });

  // -------------------------------------------------------------------------- key log ---

  const keyList = document.getElementById("keys");
  const MAX_KEYS = 40;

  function logKey(event) {
    const empty = keyList.querySelector(".empty");
    if (empty) empty.remove();
    // A held key repeats: counted on its line instead of pushing every other key out of sight.
    const top = keyList.firstElementChild;
    if (event.repeat && top && top.dataset.code === event.code) {
      const count = Number(top.dataset.count) + 1;
      top.dataset.count = String(count);
      top.querySelector(".num").textContent = event.keyCode + " ×" + count;
      return;
    }
    const item = document.createElement("li");
    const name = document.createElement("kbd");
    name.textContent = event.key === " " ? "Space" : event.key || "?";
    const code = document.createElement("span");
    code.className = "code";
    code.textContent = event.code || "—";
    const number = document.createElement("span");
    number.className = "num";
    number.textContent = String(event.keyCode);
    item.dataset.code = event.code;
    item.dataset.count = "1";
    item.append(name, code, number);
    keyList.prepend(item);
    while (keyList.children.length > MAX_KEYS) keyList.lastElementChild.remove();
  }

  // ----------------------------------------------------------------------------- game ---

  const canvas = document.getElementById("sky");
  const ctx = canvas.getContext("2d");
  const panel = document.getElementById("panel");

  let W = 0, H = 0, dpr = 1, scale = 1;
  let field = { left: 0, top: 0, right: 0, bottom: 0 };
  let nebula = null;
  let layers = [];
  let starSprite = null;

  const ship = { x: 0, y: 0, vx: 0, vy: 0, shield: 3, hurt: 0, flame: 0 };
  let pickups = [], meteors = [], sparks = [], floaters = [];
  let score = 0, combo = 1, comboTimer = 0, elapsed = 0, spawnStar = 0.5, spawnRock = 1.2;
  let state = "play";  // play, paused, over
  let shake = 0;
  let best = 0;
  try { best = Number(localStorage.getItem("xingchen-best")) || 0; } catch (e) { best = 0; }

  const held = new Set();
  const pointer = { x: 0, y: 0, active: false, at: 0 };

  function random(a, b) { return a + Math.random() * (b - a); }

  function makeCanvas(w, h) {
    const c = document.createElement("canvas");
    c.width = Math.max(1, Math.round(w));
    c.height = Math.max(1, Math.round(h));
    return c;
  }

  function starPath(g, x, y, outer, inner) {
    g.beginPath();
    for (let i = 0; i < 10; i++) {
      const a = -Math.PI / 2 + i * Math.PI / 5;
      const r = i % 2 ? inner : outer;
      g.lineTo(x + r * Math.cos(a), y + r * Math.sin(a));
    }
    g.closePath();
  }

  function buildStarSprite() {
    const size = Math.round(64 * scale * dpr);
    const c = makeCanvas(size, size);
    const g = c.getContext("2d");
    const m = size / 2;
    const glow = g.createRadialGradient(m, m, 0, m, m, m);
    glow.addColorStop(0, "rgba(255, 214, 120, 0.55)");
    glow.addColorStop(0.45, "rgba(255, 170, 60, 0.18)");
    glow.addColorStop(1, "rgba(255, 170, 60, 0)");
    g.fillStyle = glow;
    g.fillRect(0, 0, size, size);
    const body = g.createLinearGradient(0, m - size * 0.22, 0, m + size * 0.22);
    body.addColorStop(0, "#fff0b8");
    body.addColorStop(1, "#e0902c");
    starPath(g, m, m, size * 0.22, size * 0.095);
    g.fillStyle = body;
    g.fill();
    g.lineWidth = size / 64;
    g.strokeStyle = "rgba(255, 250, 220, 0.8)";
    g.stroke();
    return c;
  }

  function buildNebula() {
    // Half resolution: it is soft anyway, and a quarter of the memory.
    const c = makeCanvas(W / 2, H / 2);
    const g = c.getContext("2d");
    const w = c.width, h = c.height;
    const base = g.createLinearGradient(0, 0, w * 0.3, h);
    base.addColorStop(0, "#0a0b20");
    base.addColorStop(0.55, "#13123a");
    base.addColorStop(1, "#0b0c24");
    g.fillStyle = base;
    g.fillRect(0, 0, w, h);
    const clouds = [
      [0.22, 0.3, 0.45, "rgba(90, 70, 200, 0.30)"],
      [0.55, 0.72, 0.5, "rgba(60, 90, 200, 0.22)"],
      [0.78, 0.25, 0.35, "rgba(160, 90, 220, 0.20)"],
      [0.38, 0.62, 0.25, "rgba(240, 150, 90, 0.10)"],
      [0.9, 0.85, 0.4, "rgba(80, 60, 170, 0.25)"],
    ];
    for (const [cx, cy, r, colour] of clouds) {
      const radius = r * Math.max(w, h);
      const cloud = g.createRadialGradient(cx * w, cy * h, 0, cx * w, cy * h, radius);
      cloud.addColorStop(0, colour);
      cloud.addColorStop(1, "rgba(0, 0, 0, 0)");
      g.fillStyle = cloud;
      g.fillRect(0, 0, w, h);
    }
    // A faint band of distant stars across the sky.
    g.save();
    g.translate(w / 2, h / 2);
    g.rotate(-0.35);
    const band = g.createLinearGradient(0, -h * 0.18, 0, h * 0.18);
    band.addColorStop(0, "rgba(200, 190, 255, 0)");
    band.addColorStop(0.5, "rgba(200, 190, 255, 0.07)");
    band.addColorStop(1, "rgba(200, 190, 255, 0)");
    g.fillStyle = band;
    g.fillRect(-w, -h * 0.18, 2 * w, h * 0.36);
    g.restore();
    return c;
  }

  function buildLayers() {
    const area = W * H;
    layers = [
      { speed: 8, size: 1, alpha: 0.5, stars: [] },
      { speed: 22, size: 1.5, alpha: 0.75, stars: [] },
      { speed: 55, size: 2.2, alpha: 1, stars: [] },
    ];
    layers.forEach(function (layer, i) {
      const count = Math.round(area / (6000 + i * 9000));
      for (let n = 0; n < count; n++) {
        layer.stars.push({ x: Math.random() * W, y: Math.random() * H, phase: Math.random() * 6.3,
          tint: Math.random() < 0.15 ? "#ffd9a0" : Math.random() < 0.3 ? "#b8c4ff" : "#ffffff" });
      }
    });
  }

  function resize() {
    dpr = Math.min(window.devicePixelRatio || 1, 2);
    W = window.innerWidth;
    H = window.innerHeight;
    canvas.width = Math.round(W * dpr);
    canvas.height = Math.round(H * dpr);
    scale = Math.max(0.8, Math.min(1.4, Math.min(W, H) / 760));
    const box = panel.getBoundingClientRect();
    // The ship flies left of the panel; on a very narrow window the panel floats over the sky.
    const right = box.left > W * 0.45 ? box.left - 8 : W;
    field = { left: 0, top: 0, right: right, bottom: H };
    nebula = buildNebula();
    starSprite = buildStarSprite();
    buildLayers();
    if (!ship.x) {
      ship.x = field.right * 0.22;
      ship.y = H / 2;
    }
    ship.x = Math.min(ship.x, field.right - 30);
    ship.y = Math.min(ship.y, H - 30);
  }

  function makeRock(r) {
    const pad = 4;
    const size = Math.ceil((r + pad) * 2 * dpr);
    const c = makeCanvas(size, size);
    const g = c.getContext("2d");
    g.scale(dpr, dpr);
    const m = r + pad;
    g.beginPath();
    const corners = 9 + Math.floor(Math.random() * 4);
    for (let i = 0; i < corners; i++) {
      const a = i / corners * Math.PI * 2;
      const rr = r * random(0.78, 1.0);
      g.lineTo(m + rr * Math.cos(a), m + rr * Math.sin(a));
    }
    g.closePath();
    const fill = g.createRadialGradient(m - r * 0.35, m - r * 0.35, r * 0.1, m, m, r);
    fill.addColorStop(0, "#9c8a9e");
    fill.addColorStop(0.6, "#5e4f6a");
    fill.addColorStop(1, "#2e2638");
    g.fillStyle = fill;
    g.fill();
    g.lineWidth = 1.2;
    g.strokeStyle = "rgba(200, 180, 230, 0.35)";
    g.stroke();
    for (let i = 0; i < 3; i++) {
      const a = Math.random() * Math.PI * 2, d = r * random(0.1, 0.5), cr = r * random(0.12, 0.22);
      g.beginPath();
      g.arc(m + d * Math.cos(a), m + d * Math.sin(a), cr, 0, Math.PI * 2);
      g.fillStyle = "rgba(30, 22, 40, 0.45)";
      g.fill();
    }
    return { picture: c, half: m };
  }

  function spawnPickup() {
    pickups.push({ x: field.right + 30, y: random(50, H - 50), vx: -random(90, 150) * scale,
      spin: random(-2, 2), angle: 0, bob: Math.random() * 6.3 });
  }

  function spawnMeteor() {
    const r = random(14, 32) * scale;
    const rock = makeRock(r);
    const pace = 1 + Math.min(elapsed / 90, 1.2);
    meteors.push({ x: field.right + r + 10, y: random(r, H - r), r: r, rock: rock,
      vx: -random(120, 230) * scale * pace, vy: random(-30, 30) * scale,
      angle: Math.random() * 6.3, spin: random(-1.5, 1.5) });
  }

  function burst(x, y, colours, count, speed) {
    for (let i = 0; i < count; i++) {
      const a = Math.random() * Math.PI * 2, v = random(0.3, 1) * speed;
      sparks.push({ x: x, y: y, vx: Math.cos(a) * v, vy: Math.sin(a) * v, life: random(0.4, 0.9),
        age: 0, colour: colours[i % colours.length] });
    }
  }

  // The sky is never empty: a few stars are already on their way when a run starts.
  function seedPickups() {
    for (let i = 0; i < 6; i++) {
      spawnPickup();
      pickups[pickups.length - 1].x = field.left + (field.right - field.left) * (0.38 + i * 0.11);
    }
  }

  function restart() {
    pickups = []; meteors = []; sparks = []; floaters = [];
    score = 0; combo = 1; comboTimer = 0; elapsed = 0; spawnStar = 0.5; spawnRock = 1.2;
    ship.x = field.right * 0.22; ship.y = H / 2; ship.vx = ship.vy = 0;
    ship.shield = 3; ship.hurt = 0;
    state = "play";
    seedPickups();
  }

  function update(dt) {
    for (const layer of layers) {
      for (const s of layer.stars) {
        s.x -= layer.speed * dt * (state === "play" ? 1 : 0.3);
        if (s.x < 0) { s.x += W; s.y = Math.random() * H; }
      }
    }
    for (const p of sparks) { p.age += dt; p.x += p.vx * dt; p.y += p.vy * dt; p.vx *= 0.96; p.vy *= 0.96; }
    sparks = sparks.filter(function (p) { return p.age < p.life; });
    for (const f of floaters) { f.age += dt; f.y -= 40 * dt; }
    floaters = floaters.filter(function (f) { return f.age < 0.9; });
    shake = Math.max(0, shake - dt * 30);
    ship.flame += dt * 30;
    if (state !== "play") return;

    elapsed += dt;
    // Steering: keys push the ship; otherwise it glides towards the pointer.
    const accel = 2200 * scale;
    let ax = 0, ay = 0;
    if (held.has("ArrowLeft") || held.has("KeyA")) ax -= accel;
    if (held.has("ArrowRight") || held.has("KeyD")) ax += accel;
    if (held.has("ArrowUp") || held.has("KeyW")) ay -= accel;
    if (held.has("ArrowDown") || held.has("KeyS")) ay += accel;
    if (!ax && !ay && pointer.active) {
      ax = (pointer.x - ship.x) * 28 - ship.vx * 9;
      ay = (pointer.y - ship.y) * 28 - ship.vy * 9;
    } else {
      ax -= ship.vx * 4;
      ay -= ship.vy * 4;
    }
    ship.vx += ax * dt;
    ship.vy += ay * dt;
    ship.x = Math.max(field.left + 30, Math.min(field.right - 30, ship.x + ship.vx * dt));
    ship.y = Math.max(field.top + 24, Math.min(field.bottom - 24, ship.y + ship.vy * dt));
    ship.hurt = Math.max(0, ship.hurt - dt);

    spawnStar -= dt;
    if (spawnStar <= 0) { spawnPickup(); spawnStar = random(0.45, 0.9); }
    spawnRock -= dt;
    if (spawnRock <= 0) { spawnMeteor(); spawnRock = random(0.7, 1.5) / (1 + Math.min(elapsed / 60, 1.5)); }
    comboTimer -= dt;
    if (comboTimer <= 0) combo = 1;

    const reach = 22 * scale;
    for (const p of pickups) {
      p.x += p.vx * dt;
      p.angle += p.spin * dt;
      p.bob += dt * 3;
      if (Math.hypot(p.x - ship.x, p.y - ship.y) < reach + 12 * scale) {
        p.taken = true;
        const gain = 10 * combo;
        score += gain;
        floaters.push({ x: p.x, y: p.y - 10, age: 0, text: "+" + gain });
        burst(p.x, p.y, ["#ffe3a3", "#ffb347", "#fff6d8"], 14, 220 * scale);
        combo = Math.min(combo + 1, 5);
        comboTimer = 2;
      }
    }
    pickups = pickups.filter(function (p) { return !p.taken && p.x > -40; });

    for (const m of meteors) {
      m.x += m.vx * dt;
      m.y += m.vy * dt;
      m.angle += m.spin * dt;
      if (!ship.hurt && Math.hypot(m.x - ship.x, m.y - ship.y) < m.r + reach * 0.7) {
        m.hit = true;
        ship.shield -= 1;
        ship.hurt = 1.5;
        combo = 1;
        shake = 10;
        burst(m.x, m.y, ["#c9b8e8", "#8e7aa8", "#ff9d5c"], 22, 260 * scale);
        if (ship.shield <= 0) {
          state = "over";
          burst(ship.x, ship.y, ["#ffd27a", "#ff7b4a", "#ffffff"], 50, 360 * scale);
          if (score > best) {
            best = score;
            try { localStorage.setItem("xingchen-best", String(best)); } catch (e) { /* private mode */ }
          }
        }
      }
    }
    meteors = meteors.filter(function (m) { return !m.hit && m.x > -m.r - 20; });
  }

  function drawShip() {
    if (state === "over") return;
    if (ship.hurt && Math.floor(ship.hurt * 12) % 2) return;
    const s = scale;
    ctx.save();
    ctx.translate(ship.x, ship.y);
    ctx.rotate(Math.max(-0.35, Math.min(0.35, ship.vy / 900)));
    ctx.scale(s, s);
    // Engine flame.
    const flicker = 0.75 + 0.25 * Math.sin(ship.flame) + (state === "play" ? 0.15 : 0);
    const flame = ctx.createLinearGradient(-46 * flicker, 0, -14, 0);
    flame.addColorStop(0, "rgba(255, 120, 40, 0)");
    flame.addColorStop(0.5, "rgba(255, 170, 60, 0.8)");
    flame.addColorStop(1, "rgba(255, 245, 200, 1)");
    ctx.fillStyle = flame;
    ctx.beginPath();
    ctx.moveTo(-14, -7);
    ctx.quadraticCurveTo(-46 * flicker, 0, -14, 7);
    ctx.closePath();
    ctx.fill();
    // Wings.
    ctx.fillStyle = "#5a4fd0";
    ctx.beginPath();
    ctx.moveTo(2, -6); ctx.lineTo(-16, -22); ctx.lineTo(-10, -6);
    ctx.moveTo(2, 6); ctx.lineTo(-16, 22); ctx.lineTo(-10, 6);
    ctx.fill();
    ctx.strokeStyle = "#a9a2ff";
    ctx.lineWidth = 1.2;
    ctx.stroke();
    // Hull.
    const hull = ctx.createLinearGradient(0, -10, 0, 10);
    hull.addColorStop(0, "#fff0bf");
    hull.addColorStop(0.5, "#f6b64a");
    hull.addColorStop(1, "#b8701c");
    ctx.fillStyle = hull;
    ctx.beginPath();
    ctx.moveTo(26, 0);
    ctx.quadraticCurveTo(8, -11, -16, -8);
    ctx.lineTo(-12, 0);
    ctx.lineTo(-16, 8);
    ctx.quadraticCurveTo(8, 11, 26, 0);
    ctx.fill();
    // Cockpit.
    ctx.fillStyle = "#7fe0ff";
    ctx.beginPath();
    ctx.ellipse(8, 0, 6, 3.4, 0, 0, Math.PI * 2);
    ctx.fill();
    ctx.fillStyle = "rgba(255, 255, 255, 0.7)";
    ctx.beginPath();
    ctx.ellipse(9.5, -1.2, 2.4, 1.1, 0, 0, Math.PI * 2);
    ctx.fill();
    if (ship.hurt) {
      ctx.strokeStyle = "rgba(140, 200, 255, 0.6)";
      ctx.lineWidth = 2;
      ctx.beginPath();
      ctx.arc(2, 0, 30, 0, Math.PI * 2);
      ctx.stroke();
    }
    ctx.restore();
  }

  function drawHud(now) {
    const x = 24, y = 22;
    ctx.textBaseline = "top";
    ctx.font = "bold " + Math.round(30 * scale) + "px 'WenQuanYi Zen Hei', sans-serif";
    ctx.fillStyle = "#ffd98a";
    ctx.shadowColor = "rgba(255, 180, 80, 0.5)";
    ctx.shadowBlur = 10;
    ctx.fillText("星尘 " + score, x, y);
    ctx.shadowBlur = 0;
    ctx.font = Math.round(14 * scale) + "px 'WenQuanYi Zen Hei', sans-serif";
    ctx.fillStyle = "#a7abd8";
    const line = y + 40 * scale;
    ctx.fillText("护盾", x, line);
    for (let i = 0; i < 3; i++) {
      ctx.fillStyle = i < ship.shield ? "#7fe0ff" : "rgba(127, 224, 255, 0.18)";
      ctx.beginPath();
      const cx = x + (44 + i * 20) * scale, cy = line + 8 * scale;
      ctx.moveTo(cx, cy - 7 * scale);
      ctx.lineTo(cx + 7 * scale, cy);
      ctx.lineTo(cx, cy + 7 * scale);
      ctx.lineTo(cx - 7 * scale, cy);
      ctx.fill();
    }
    ctx.fillStyle = "#7479a8";
    ctx.fillText("最高 " + Math.max(best, score), x + 120 * scale, line);
    if (combo > 1) {
      ctx.font = "bold " + Math.round(18 * scale) + "px 'WenQuanYi Zen Hei', sans-serif";
      ctx.fillStyle = "rgba(255, 179, 71, " + (0.6 + 0.4 * Math.sin(now / 90)) + ")";
      ctx.fillText("连击 ×" + combo, x, line + 26 * scale);
    }
  }

  function drawBanner(title, subtitle) {
    const cx = (field.left + field.right) / 2, cy = H / 2;
    ctx.fillStyle = "rgba(8, 9, 26, 0.55)";
    ctx.fillRect(field.left, cy - 70 * scale, field.right - field.left, 140 * scale);
    ctx.textAlign = "center";
    ctx.textBaseline = "middle";
    ctx.font = "bold " + Math.round(40 * scale) + "px 'WenQuanYi Zen Hei', sans-serif";
    ctx.fillStyle = "#ffd98a";
    ctx.fillText(title, cx, cy - 16 * scale);
    ctx.font = Math.round(16 * scale) + "px 'WenQuanYi Zen Hei', sans-serif";
    ctx.fillStyle = "#c9cdf8";
    ctx.fillText(subtitle, cx, cy + 30 * scale);
    ctx.textAlign = "start";
  }

  function draw(now) {
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    if (shake) ctx.translate(random(-shake, shake), random(-shake, shake));
    ctx.drawImage(nebula, 0, 0, W, H);
    for (const layer of layers) {
      for (const s of layer.stars) {
        ctx.globalAlpha = layer.alpha * (0.65 + 0.35 * Math.sin(now / 500 + s.phase));
        ctx.fillStyle = s.tint;
        ctx.fillRect(s.x, s.y, layer.size, layer.size);
      }
    }
    ctx.globalAlpha = 1;

    const sprite = 64 * scale;
    for (const p of pickups) {
      ctx.save();
      ctx.translate(p.x, p.y + Math.sin(p.bob) * 6 * scale);
      ctx.rotate(p.angle);
      ctx.drawImage(starSprite, -sprite / 2, -sprite / 2, sprite, sprite);
      ctx.restore();
    }
    for (const m of meteors) {
      // A faint trail behind each rock.
      const trail = ctx.createLinearGradient(m.x, m.y, m.x + m.r * 4, m.y);
      trail.addColorStop(0, "rgba(180, 150, 230, 0.25)");
      trail.addColorStop(1, "rgba(180, 150, 230, 0)");
      ctx.fillStyle = trail;
      ctx.beginPath();
      ctx.moveTo(m.x, m.y - m.r * 0.7);
      ctx.lineTo(m.x + m.r * 4, m.y);
      ctx.lineTo(m.x, m.y + m.r * 0.7);
      ctx.fill();
      ctx.save();
      ctx.translate(m.x, m.y);
      ctx.rotate(m.angle);
      ctx.drawImage(m.rock.picture, -m.rock.half, -m.rock.half, m.rock.half * 2, m.rock.half * 2);
      ctx.restore();
    }
    drawShip();
    for (const p of sparks) {
      ctx.globalAlpha = 1 - p.age / p.life;
      ctx.fillStyle = p.colour;
      ctx.fillRect(p.x - 1.5, p.y - 1.5, 3, 3);
    }
    ctx.globalAlpha = 1;
    ctx.textAlign = "center";
    ctx.textBaseline = "middle";
    ctx.font = "bold " + Math.round(16 * scale) + "px sans-serif";
    for (const f of floaters) {
      ctx.globalAlpha = 1 - f.age / 0.9;
      ctx.fillStyle = "#ffe3a3";
      ctx.fillText(f.text, f.x, f.y);
    }
    ctx.globalAlpha = 1;
    ctx.textAlign = "start";
    drawHud(now);
    if (state === "paused") drawBanner("暂停", "按 Esc 继续航行");
    if (state === "over") drawBanner("舰船损毁", "本次获得星尘 " + score + " · 按 Enter 或点击重新出发");
  }

  let last = 0;
  function frame(now) {
    const dt = Math.min((now - last) / 1000, 0.05);
    last = now;
    update(dt);
    draw(now);
    requestAnimationFrame(frame);
  }

  // ---------------------------------------------------------------------------- input ---

  function typing() {
    const active = document.activeElement;
    return active && active.tagName === "INPUT";
  }

  window.addEventListener("keydown", function (event) {
    logKey(event);
    if (typing()) return;
    if (event.code.startsWith("Arrow")) event.preventDefault();
    held.add(event.code);
    pointer.active = false;
    if (event.key === "Escape") {
      if (state === "play") {
        state = "paused";
        report("pause");
      } else if (state === "paused") {
        state = "play";
        report("resume");
      }
    } else if (event.key === "Enter" && state !== "play") {
      restart();
      report("restart");
    }
  }, true);
  window.addEventListener("keyup", function (event) { held.delete(event.code); }, true);
  window.addEventListener("blur", function () { held.clear(); });

  canvas.addEventListener("mousemove", function (event) {
    pointer.x = Math.min(event.clientX, field.right - 30);
    pointer.y = event.clientY;
    pointer.active = true;
  });
  canvas.addEventListener("mouseleave", function () { pointer.active = false; });
  canvas.addEventListener("mousedown", function () {
    if (typing()) document.activeElement.blur();
    if (state === "over") restart();
  });

  window.addEventListener("resize", resize);
  resize();
  seedPickups();
  requestAnimationFrame(function (now) {
    last = now;
    frame(now);
  });
})();

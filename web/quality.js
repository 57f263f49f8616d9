// The canvas's resolution in smooth motion, lowered while the pictures fall behind the display
// and given back once they keep up, as games that hold their frame rate do. A software renderer's cost grows
// with the canvas's pixels (headless Chromium's SwiftShader drew 47, 34 and 27 pictures a
// second at 500, 900 and 1,400 CSS pixels), and a picture at every refresh matters more to
// smooth motion than every pixel of it. Where the renderer keeps up, the canvas keeps the
// screen's own pixels and the picture is exactly as it was. Nothing here touches the game: its
// viewport follows the canvas as after any resize.
'use strict';
(function () {
  var V = window.Velmora;
  // The canvas's pixels a screen pixel, step by step (each about 80% of the one before).
  var SCALES = [1, 0.8, 0.64, 0.5, 0.4, 0.32];
  // Behind: fewer pictures than this share of the display's refreshes, over a second.
  var BEHIND = 0.95;
  // Kept up: this share or more for this long, before a finer step is tried again; a step that
  // fell behind is tried again only after a while, twice as long each time it falls behind.
  var KEPT_UP = 0.985;
  var KEPT_UP_MS = 4000;
  var RETRY_MS = 15000;
  var level = 0;
  var held = false;
  var frames = [];        // animation frames' times, the last few seconds'
  var decidedAt = 0;      // no decision from a window that holds a change
  var keptUpSince = 0;
  var retryAfter = SCALES.map(function () { return 0; });
  var retryMs = SCALES.map(function () { return RETRY_MS; });

  var ratio = function () { return (window.devicePixelRatio || 1) * SCALES[level]; };

  // Sets the canvas to `level`'s pixels for its size on the page (not in full screen, whose size
  // the browser sets).
  var apply = function () {
    var side = V.canvas.getBoundingClientRect().width;
    var pixels = Math.max(1, Math.round(side * ratio()));
    if (V.loaded() && !document.fullscreenElement && side > 0 && V.canvas.width !== pixels) {
      Module.setCanvasSize(pixels, pixels);  // the game's reshape sets its viewport
    }
  };

  var step = function (to, now) {
    level = to;
    frames = [];
    decidedAt = now;
    keptUpSince = now;
    apply();
  };

  // The display's refresh period: the shortest gaps between frames the browser gave lately
  // (60 Hz where none came sooner, so that a page never fast enough does not take its own pace
  // for the display's).
  var period = function () {
    var gaps = [];
    for (var i = 1; i < frames.length; ++i) {
      gaps.push(frames[i] - frames[i - 1]);
    }
    gaps.sort(function (a, b) { return a - b; });
    var low = gaps.length > 10 ? gaps[Math.floor(gaps.length / 10)] : 1000 / 60;
    return Math.max(4, Math.min(1000 / 60, low));
  };

  var decide = function (now) {
    while (frames.length > 0 && frames[0] < now - 3000) {
      frames.shift();
    }
    if (!V.status().smooth) {
      // The designed frames, one a tick, are drawn as designed: at the screen's own pixels.
      if (level > 0) {
        step(0, now);
      }
      return;
    }
    if (held || now - decidedAt < 1000 || document.hidden) {
      return;
    }
    var recent = frames.filter(function (t) { return t > now - 1000; }).length;
    var share = recent / (1000 / period());
    if (share < BEHIND && level + 1 < SCALES.length) {
      retryAfter[level] = now + retryMs[level];
      retryMs[level] *= 2;
      step(level + 1, now);
    } else if (share < KEPT_UP) {
      keptUpSince = now;
    } else if (level > 0 && now - keptUpSince >= KEPT_UP_MS && now >= retryAfter[level - 1]) {
      step(level - 1, now);
    }
  };

  var frame = function (now) {
    frames.push(now);
    decide(now);
    window.requestAnimationFrame(frame);
  };
  window.requestAnimationFrame(frame);

  // Device pixels a CSS pixel of the canvas, as the game draws its lines by them, and the
  // canvas's pixels for a field of `side` CSS pixels.
  V.pixelRatio = ratio;
  V.canvasPixels = function (side) { return Math.max(1, Math.round(side * ratio())); };
  V.quality = {
    // The share of the screen's pixels the canvas has now.
    scale: function () { return SCALES[level]; },
    // Keeps the screen's own pixels, however slow (make bench-page's figure before this).
    hold: function (on) {
      held = on;
      if (on) {
        step(0, performance.now());
      }
    },
  };
})();

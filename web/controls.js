// Ways to play besides the keyboard: on-screen buttons on a touch screen, gamepads, and a pause
// whenever the tab is hidden; and a field that fits the screen. Every control is exactly a key
// of the game's (a, d, w, q, p), sent as the keyboard sends it.
'use strict';
(function () {
  var V = window.Velmora;
  var panel = document.getElementById('touch');
  var main = document.querySelector('main');

  // Held controls act as held keys do: once at once, then 25 times a second after 0.4 s.
  // Several can be held together; a control held by several sources (two fingers, a finger
  // and a gamepad) acts once. Pause acts once a press: repeating, it would undo itself.
  var ACTIONS = ['left', 'right', 'thrust', 'fire', 'pause', 'mute'];
  var act = function (action) {
    if (V.loaded()) {
      Module._velmora_action(ACTIONS.indexOf(action));
    }
  };
  var held = {};
  var press = function (action, source) {
    var h = held[action] || (held[action] = { sources: {}, count: 0, timer: null });
    if (h.sources[source]) {
      return;
    }
    h.sources[source] = true;
    if (++h.count > 1) {
      return;
    }
    act(action);
    if (action === 'pause') {
      return;
    }
    var repeat = function () {
      act(action);
      h.timer = setTimeout(repeat, 40);
    };
    h.timer = setTimeout(repeat, 400);
  };
  var release = function (action, source) {
    var h = held[action];
    if (!h || !h.sources[source]) {
      return;
    }
    delete h.sources[source];
    if (--h.count === 0) {
      clearTimeout(h.timer);
    }
  };
  var releaseAll = function () {
    Object.keys(held).forEach(function (action) {
      Object.keys(held[action].sources).forEach(function (source) { release(action, source); });
    });
  };

  // The sound: off and on, as m does; the button shows which.
  var mute = document.getElementById('mute');
  mute.addEventListener('click', function () {
    act('mute');
    V.canvas.focus();
  });
  V.onStatus(function (status) {
    mute.setAttribute('aria-pressed', status.muted ? 'true' : 'false');
  });

  // Touch screens: the buttons, which never scroll or zoom the page.
  var touch = 'ontouchstart' in window || navigator.maxTouchPoints > 0;
  panel.hidden = !touch;
  main.classList.toggle('touch', touch);
  Array.prototype.forEach.call(panel.querySelectorAll('button'), function (button) {
    var action = button.dataset.action;
    var up = function (event) { release(action, 'pointer' + event.pointerId); };
    button.addEventListener('pointerdown', function (event) {
      event.preventDefault();
      press(action, 'pointer' + event.pointerId);
    });
    button.addEventListener('pointerup', up);
    button.addEventListener('pointercancel', up);
    button.addEventListener('pointerleave', up);
    button.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  });
  ['touchstart', 'touchmove', 'touchend'].forEach(function (type) {
    panel.addEventListener(type, function (event) { event.preventDefault(); }, { passive: false });
  });

  // Gamepads (standard mapping): by default the D-pad or left stick to turn, A or the right
  // trigger to thrust, B or X to fire, Start to pause; the buttons are the player's to choose
  // (settings.js). Read every frame, so one plugged in or pulled out mid-game just works.
  var pads = function () {
    var now = { left: false, right: false, thrust: false, fire: false, pause: false };
    var all = navigator.getGamepads ? navigator.getGamepads() : [];
    for (var i = 0; i < all.length; ++i) {
      var pad = all[i];
      if (!pad) {
        continue;
      }
      var down = function (n) {
        var b = pad.buttons[n];
        return !!b && (b.pressed || b.value > 0.5);
      };
      var x = pad.axes.length > 0 ? pad.axes[0] : 0;
      Object.keys(now).forEach(function (action) {
        now[action] = now[action] || V.padButtons(action).some(down);
      });
      now.left = now.left || x < -0.5;
      now.right = now.right || x > 0.5;
    }
    Object.keys(now).forEach(function (action) {
      (now[action] ? press : release)(action, 'gamepad');
    });
    requestAnimationFrame(pads);
  };
  requestAnimationFrame(pads);

  // A hidden tab pauses the game, as p does, so no game is lost to a switched tab; only p (or
  // Pause) resumes, when the player is ready.
  document.addEventListener('visibilitychange', function () {
    if (!document.hidden) {
      return;
    }
    releaseAll();
    if (V.loaded() && !V.status().paused) {
      act('pause');
    }
  });

  // The field: square, as large as the window allows with the buttons in view, and drawn at
  // the screen's own pixels so that it stays sharp (fewer while the renderer cannot keep up:
  // quality.js). Up to 500 CSS pixels, the designed window's size (at a device pixel ratio of 1
  // the page then draws exactly the desktop's pixels); larger only where that gives it a fifth
  // more with the side panel still beside it and what is under the field in view.
  var aside = document.querySelector('aside');
  var field = document.querySelector('main');
  var larger = function (width, height) {
    var below = field.offsetHeight - V.canvas.offsetHeight;
    return Math.floor(Math.min(width - 16 - aside.offsetWidth - 24, height - 16 - below));
  };
  var fit = function () {
    var width = document.documentElement.clientWidth;
    var height = window.innerHeight;
    var room = [width - 16, height - 16];
    if (!panel.hidden) {
      if (width > height) {
        room[0] -= panel.offsetWidth + 12;
      } else {
        room[1] -= panel.offsetHeight + 12;
      }
    }
    var side = Math.max(120, Math.min(500, Math.floor(Math.min(room[0], room[1]))));
    if (panel.hidden && side === 500 && larger(width, height) >= 600) {
      side = larger(width, height);
    }
    document.documentElement.style.setProperty('--side', side + 'px');
    var pixels = V.canvasPixels(side);
    if (V.loaded() && !document.fullscreenElement && V.canvas.width !== pixels) {
      Module.setCanvasSize(pixels, pixels);  // the game's reshape sets its viewport
    }
  };
  V.fit = fit;
  window.addEventListener('resize', fit);
  if (window.ResizeObserver) {
    new ResizeObserver(function () { fit(); }).observe(aside);  // the panel's lists came
  }
  document.addEventListener('fullscreenchange', function () { setTimeout(fit, 0); });
  fit();
})();

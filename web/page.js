// What the page's scripts share: the game's calls (src/web/main.cpp), once it has loaded, and
// the lines the page writes. Loaded before the other scripts and the game.
'use strict';
window.Velmora = (function () {
  var canvas = document.getElementById('canvas');
  var message = document.getElementById('message');
  var banner = document.getElementById('banner');
  // The runtime is up and the game's main has run.
  var loaded = function () { return !!(window.Module && Module.calledRun); };
  var listeners = [];
  var last = {};

  // Copies text into the game's memory (not its stack: a recording can be megabytes), calls
  // `call` with the addresses, and frees them.
  var withStrings = function (texts, call) {
    var at = texts.map(function (text) {
      var size = Module.lengthBytesUTF8(text) + 1;
      var p = Module._malloc(size);
      Module.stringToUTF8(text, p, size);
      return p;
    });
    try {
      return call.apply(null, at);
    } finally {
      at.forEach(function (p) { Module._free(p); });
    }
  };

  var api = {
    canvas: canvas,
    say: function (text) { message.textContent = text; },
    loaded: loaded,
    // A key as the keyboard gives it ('a', 'p', '\r', ...), from the page's own controls.
    key: function (key) {
      if (loaded()) {
        Module._velmora_key(key.charCodeAt(0));
      }
    },
    // Where the game stands: {paused, muted, over, watching, finished, outcome, matched,
    // divergence, live}.
    status: function () { return last; },
    // Calls `listener(status)` several times a second once the game runs.
    onStatus: function (listener) { listeners.push(listener); },
    recording: function () { return loaded() ? Module.UTF8ToString(Module._velmora_recording()) : ''; },
    // The game in play's recording so far, whole lines only, as a ranked game streams it.
    recorded: function () { return loaded() ? Module.UTF8ToString(Module._velmora_recorded()) : ''; },
    // A new game from `seed` at once (a ranked game dealt by the server).
    play: function (seed) {
      if (loaded()) {
        Module._velmora_play(seed >>> 0);
      }
    },
    // The line over the field: a ranked game's standing.
    banner: function (text) { banner.textContent = text; },
    // Hands the game the player's settings (the settings file's text); false if it cannot
    // read them.
    settings: function (text) {
      return loaded() && withStrings([text], function (t) { return Module._velmora_settings(t); }) === 1;
    },
    // Plays the recording `text`; false (with the game's message on the page) if it cannot.
    watch: function (name, text) {
      api.watchingLive = false;  // a recording, not a game being played (live.js)
      return withStrings([name, text], function (n, t) { return Module._velmora_watch(n, t); }) === 1;
    },
    // Watches a game while it is played: its lines as they come (false if they do not follow
    // what came before), then its end.
    watchLive: function () {
      if (loaded()) {
        Module._velmora_watch_live();
      }
    },
    watchMore: function (lines) {
      return loaded() && withStrings([lines], function (l) { return Module._velmora_watch_more(l); }) === 1;
    },
    liveEnded: function () {
      if (loaded()) {
        Module._velmora_live_ended();
      }
    },
  };
  setInterval(function () {
    if (!loaded()) {
      return;
    }
    last = JSON.parse(Module.UTF8ToString(Module._velmora_status()));
    listeners.forEach(function (listener) { listener(last); });
  }, 100);
  return api;
})();

// The player's settings on the page: the game's own text (docs/settings.md), kept in the
// browser's storage and handed to the game as it starts; changed in the Settings dialog, which
// the Settings button or the game's settings key (F1) opens and the keyboard alone can use.
'use strict';
(function () {
  var V = window.Velmora;
  var STORE = 'velmora-settings';
  // Storage may be off (a private window, a policy): the settings then last for the visit.
  var storage = {
    get: function (k) { try { return localStorage.getItem(k); } catch (e) { return null; } },
    set: function (k, v) { try { localStorage.setItem(k, v); } catch (e) { /* kept for now */ } },
    remove: function (k) { try { localStorage.removeItem(k); } catch (e) { /* nothing kept */ } },
  };
  var ACTIONS = ['left', 'right', 'thrust', 'fire', 'pause', 'mute', 'new-game', 'full-screen',
                 'settings'];
  var LABELS = ['Turn left', 'Turn right', 'Thrust', 'Fire', 'Pause', 'Sound off and on',
                'New game', 'Full screen', 'Settings'];
  // The gamepad buttons each action has unless the player chose others (standard mapping).
  var PAD = { left: [14], right: [15], thrust: [0, 7], fire: [1, 2], pause: [9] };
  var dialog = document.getElementById('settings');
  var message = document.getElementById('set-message');
  var model = null;

  var parse = function (text) {
    var m = { lines: {}, keys: {}, pad: {} };
    text.split('\n').forEach(function (line) {
      var w = line.trim().split(/\s+/);
      if (w[0] === 'key') {
        m.keys[w[1]] = w.slice(2);
      } else if (w[0] === 'pad') {
        m.pad[w[1]] = w.slice(2).map(Number);
      } else if (w.length === 2) {
        m.lines[w[0]] = w[1];
      }
    });
    return m;
  };
  var text = function (m) {
    var out = 'velmora-settings 1\n';
    ['frames', 'palette', 'volume', 'sound'].forEach(function (k) {
      out += k + ' ' + m.lines[k] + '\n';
    });
    ACTIONS.forEach(function (a) { out += 'key ' + a + ' ' + m.keys[a].join(' ') + '\n'; });
    Object.keys(m.pad).forEach(function (a) {
      out += 'pad ' + a + (m.pad[a].length ? ' ' + m.pad[a].join(' ') : '') + '\n';
    });
    return out;
  };
  V.padButtons = function (action) {
    return model && model.pad[action] ? model.pad[action] : PAD[action] || [];
  };

  // Hands `m` to the game; kept if the game takes it.
  var use = function (m) {
    var t = text(m);
    if (!V.settings(t)) {
      return false;
    }
    model = m;
    storage.set(STORE, t);
    show();
    return true;
  };
  // What the game changed itself (m turns the sound off or on).
  V.keepSettings = function (t) {
    storage.set(STORE, t);
    model = parse(t);
    show();
  };

  // The key as the settings name it, from a key event; null for a key that cannot be chosen.
  var keyName = function (e) {
    var names = { ' ': 'Space', ArrowLeft: 'Left', ArrowRight: 'Right', ArrowUp: 'Up',
                  ArrowDown: 'Down', Enter: 'Enter', Tab: 'Tab', Backspace: 'Backspace',
                  Home: 'Home', End: 'End', PageUp: 'PageUp', PageDown: 'PageDown',
                  Insert: 'Insert' };
    if (names[e.key]) {
      return names[e.key];
    }
    if (/^F([1-9]|1[0-2])$/.test(e.key)) {
      return e.key;
    }
    return e.key.length === 1 && e.key > ' ' && e.key < '\x7f' ? e.key.toLowerCase() : null;
  };
  var holder = function (m, key, action) {
    for (var i = 0; i < ACTIONS.length; ++i) {
      if (ACTIONS[i] !== action && m.keys[ACTIONS[i]].indexOf(key) >= 0) {
        return ACTIONS[i];
      }
    }
    return null;
  };
  var copy = function () { return parse(text(model)); };

  // Waits for the next key (Escape leaves it as it was) and makes it the action's first key.
  var waiting = null;
  var chooseKey = function (action, button) {
    waiting = function (e) {
      waiting = null;
      if (e.key === 'Escape') {
        show();
        return;
      }
      var key = keyName(e);
      var taken = key && holder(model, key, action);
      if (!key || taken) {
        message.textContent = key ? key + ' is ' + taken + '\'s key: choose another.'
                                  : 'That key cannot be chosen.';
        show();
        return;
      }
      var m = copy();
      var old = m.keys[action].filter(function (k) { return k !== key; });
      m.keys[action] = [key].concat(old.slice(0, 1));
      message.textContent = use(m) ? '' : 'The game did not take that key.';
    };
    button.textContent = 'press a key…';
    message.textContent = 'Press the key for ' + LABELS[ACTIONS.indexOf(action)].toLowerCase() +
                          ' (Escape keeps it).';
  };
  // While the dialog is open its keys are its own, never the game's (whose listener sits on the
  // window, after this one).
  ['keydown', 'keyup', 'keypress'].forEach(function (type) {
    window.addEventListener(type, function (e) {
      if (!dialog.open) {
        return;
      }
      e.stopImmediatePropagation();
      if (waiting && type === 'keydown') {
        e.preventDefault();
        waiting(e);
      }
    }, true);
  });

  // Waits for a gamepad button, read at each animation frame, likewise.
  var choosePad = function (action, button) {
    var before = null;
    button.textContent = 'press a button…';
    var poll = function () {
      var pads = navigator.getGamepads ? Array.prototype.filter.call(navigator.getGamepads(), Boolean) : [];
      var down = [];
      pads.forEach(function (p) {
        p.buttons.forEach(function (b, i) { if (b.pressed) { down.push(i); } });
      });
      var fresh = before ? down.filter(function (i) { return before.indexOf(i) < 0; }) : [];
      before = before || down;
      if (fresh.length && dialog.open) {
        var m = copy();
        Object.keys(PAD).concat(Object.keys(m.pad)).forEach(function (a) {
          m.pad[a] = V.padButtons(a).filter(function (b) { return b !== fresh[0] || a === action; });
        });
        m.pad[action] = [fresh[0]].concat(V.padButtons(action).filter(function (b) {
          return b !== fresh[0];
        }).slice(0, 1));
        use(m);
      } else if (dialog.open) {
        requestAnimationFrame(poll);
      }
    };
    requestAnimationFrame(poll);
  };

  var rows = document.querySelector('#set-keys tbody');
  var show = function () {
    if (!model) {
      return;
    }
    document.getElementById('set-frames').value = model.lines.frames;
    document.getElementById('set-palette').value = model.lines.palette;
    document.getElementById('set-volume').value = model.lines.volume;
    document.getElementById('set-sound').checked = model.lines.sound === 'on';
    rows.textContent = '';
    ACTIONS.forEach(function (action, i) {
      var tr = document.createElement('tr');
      var name = document.createElement('td');
      name.textContent = LABELS[i];
      var key = document.createElement('button');
      key.type = 'button';
      key.textContent = model.keys[action].join(', ');
      key.setAttribute('aria-label', LABELS[i] + ': ' + key.textContent + '; change');
      key.addEventListener('click', function () { chooseKey(action, key); });
      tr.appendChild(name);
      tr.appendChild(document.createElement('td')).appendChild(key);
      if (i < 5) {
        var pad = document.createElement('button');
        pad.type = 'button';
        pad.textContent = 'pad ' + V.padButtons(action).join(', ');
        pad.setAttribute('aria-label', LABELS[i] + ': gamepad ' + pad.textContent + '; change');
        pad.addEventListener('click', function () { choosePad(action, pad); });
        tr.appendChild(document.createElement('td')).appendChild(pad);
      }
      rows.appendChild(tr);
    });
  };
  var field = function (id, setting, value) {
    document.getElementById(id).addEventListener('change', function (e) {
      var m = copy();
      m.lines[setting] = value(e.target);
      use(m);
    });
  };
  field('set-frames', 'frames', function (t) {
    message.textContent = (t.value === 'smooth') !== V.antialiased
      ? 'The outlines follow from the next visit (the browser smooths them, or not, for good).' : '';
    return t.value;
  });
  field('set-palette', 'palette', function (t) { return t.value; });
  field('set-volume', 'volume', function (t) { return t.value; });
  field('set-sound', 'sound', function (t) { return t.checked ? 'on' : 'off'; });
  document.getElementById('set-defaults').addEventListener('click', function () {
    var m = copy();
    var designed = parse(V.designedSettings);
    m.keys = designed.keys;
    m.pad = {};
    use(m);
  });

  V.openSettings = function () {
    if (!model || dialog.open) {
      return;
    }
    // As it is now, not as last reported: the game's F1 has paused it already.
    if (V.loaded() && !JSON.parse(Module.UTF8ToString(Module._velmora_status())).paused) {
      Module._velmora_action(ACTIONS.indexOf('pause'));
    }
    message.textContent = '';
    show();
    dialog.showModal();
    document.getElementById('set-frames').focus();
  };
  document.getElementById('settings-open').addEventListener('click', V.openSettings);
  dialog.addEventListener('close', function () { waiting = null; V.canvas.focus(); });

  // At the start: the kept settings, or the game's own. A kept text the game cannot read is
  // set aside (velmora-settings.bad) with one line, and the defaults are used.
  V.startSettings = function () {
    V.designedSettings = Module.UTF8ToString(Module._velmora_settings_text());
    var kept = storage.get(STORE);
    if (kept !== null && V.settings(kept)) {
      model = parse(kept);
      return;
    }
    if (kept !== null) {
      storage.set(STORE + '.bad', kept);
      storage.remove(STORE);
      console.warn('velmora: the kept settings could not be read; set aside, the defaults used');
    }
    model = parse(V.designedSettings);
    V.settings(V.designedSettings);
  };
})();

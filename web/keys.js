// The player's key in the page: 32 random bytes made the first time a game is sent and kept in
// the browser's storage, sent with every game so that the name it was first sent under stays
// this player's. "My key" shows it as a code (the desktop's velmora --export-key gives the
// same kind); "Use my key on this device" takes a code from another device or the desktop.
'use strict';
(function () {
  var V = window.Velmora;
  var ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ234567';
  var shown = document.getElementById('key-code');
  var field = document.getElementById('key-input');

  var hex = function (bytes) {
    return Array.prototype.map.call(bytes, function (b) {
      return (b < 16 ? '0' : '') + b.toString(16);
    }).join('');
  };
  var stored = function (key) {
    try {
      return localStorage.getItem(key);
    } catch (e) {
      return null;
    }
  };
  var store = function (key, value) {
    try {
      localStorage.setItem(key, value);
    } catch (e) {
      // storage off: the key lives as long as the page
    }
  };
  var made = null;
  V.playerKey = function () {
    var key = stored('velmora-key') || made;
    if (!/^[0-9a-f]{64}$/.test(key || '')) {
      var bytes = new Uint8Array(32);
      crypto.getRandomValues(bytes);
      key = made = hex(bytes);
      store('velmora-key', key);
    }
    return key;
  };

  // FNV-1a of the bytes, its low 20 bits: the code's check letters.
  var check = function (bytes) {
    var h = 2166136261;
    bytes.forEach(function (b) { h = Math.imul(h ^ b, 16777619) >>> 0; });
    h &= 0xfffff;
    return [15, 10, 5, 0].map(function (s) { return ALPHABET[(h >> s) & 31]; }).join('');
  };
  var bytesOf = function (key, name) {
    var out = [];
    for (var i = 0; i < 64; i += 2) {
      out.push(parseInt(key.substr(i, 2), 16));
    }
    return out.concat(Array.from(new TextEncoder().encode(name)));
  };
  V.keyCode = function (key, name) {
    var bytes = bytesOf(key, name);
    var body = '';
    var bits = 0;
    var have = 0;
    bytes.forEach(function (b) {
      bits = ((bits << 8) | b) & 0xffff;
      have += 8;
      while (have >= 5) {
        body += ALPHABET[(bits >> (have - 5)) & 31];
        have -= 5;
      }
    });
    if (have > 0) {
      body += ALPHABET[(bits << (5 - have)) & 31];
    }
    return 'VK1-' + body.match(/.{1,4}/g).join('-') + '-' + check(bytes);
  };
  // {key, name} of a code, or null if it is not a whole, right one.
  V.readKeyCode = function (code) {
    var letters = code.toUpperCase().replace(/[- ]/g, '');
    if (letters.slice(0, 3) !== 'VK1' || letters.length < 60) {
      return null;
    }
    var body = letters.slice(3, -4);
    var bytes = [];
    var bits = 0;
    var have = 0;
    for (var i = 0; i < body.length; ++i) {
      var v = ALPHABET.indexOf(body[i]);
      if (v < 0) {
        return null;
      }
      bits = ((bits << 5) | v) & 0xffff;
      have += 5;
      if (have >= 8) {
        bytes.push((bits >> (have - 8)) & 0xff);
        have -= 8;
      }
    }
    if (bytes.length < 33 || check(bytes) !== letters.slice(-4)) {
      return null;
    }
    return { key: hex(bytes.slice(0, 32)),
             name: new TextDecoder().decode(new Uint8Array(bytes.slice(32))) };
  };

  document.getElementById('show-key').addEventListener('click', function () {
    shown.textContent = V.keyCode(V.playerKey(), V.playerName());
  });
  document.getElementById('use-key').addEventListener('click', function () {
    var got = V.readKeyCode(field.value);
    if (got === null) {
      shown.textContent = 'That is not a whole key code: a letter was copied wrong?';
      return;
    }
    store('velmora-key', got.key);
    made = got.key;
    V.setPlayerName(got.name);
    field.value = '';
    shown.textContent = 'The key of ' + got.name + ' is kept here: games sent from here go ' +
        'under that name.';
  });
})();

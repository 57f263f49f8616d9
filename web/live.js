// Games being played now, when the page is served by velmora-server: "Live now" lists them
// (best first, a few seconds old at most), and Watch follows one: the server streams its
// recording so far, then each batch once verified, then its verified end (server-sent events).
// The game plays the recording from its start, runs to where it stands, then follows it at its
// pace, a second or so behind the player, and ends with the verified outcome.
'use strict';
(function () {
  var V = window.Velmora;
  var table = document.getElementById('live-now');
  var outcome = document.getElementById('outcome');
  var source = null;  // the stream of the game watched, while it is open
  var ending = null;  // its verified end, shown once the game has been played to it

  var cell = function (row, text) {
    var td = document.createElement('td');
    td.textContent = text;
    row.appendChild(td);
    return td;
  };

  var stop = function () {
    if (source) {
      source.close();
      source = null;
    }
  };

  var verdict = function (end) {
    if (end.state === 'ranked') {
      return 'RANKED: rank ' + end.rank + ' on the ' +
             (end.board === 'daily' ? 'daily challenge ' + end.day : 'open board') +
             ': score ' + end.score + ', level ' + end.level;
    }
    return 'NOT RANKED: ' + (end.reason || end.state);
  };

  var watch = function (game) {
    if (!V.mayWatch()) {
      return;
    }
    stop();
    ending = null;
    outcome.textContent = '';
    V.say('');
    V.watchLive();
    V.watchingLive = true;
    V.banner('LIVE: ' + game.name);
    var watched = new EventSource('api/v1/attempts/' + game.attempt + '/watch');
    source = watched;
    watched.addEventListener('batch', function (event) {
      if (!V.watchMore(event.data + '\n')) {
        stop();
      }
    });
    watched.addEventListener('end', function (event) {
      stop();
      V.liveEnded();
      ending = { name: game.name, text: verdict(JSON.parse(event.data)) };
    });
    watched.onerror = function () {
      // The browser reconnects by itself, from the last batch it had; a stream the server
      // closed for good (an attempt gone) says so.
      if (watched.readyState === EventSource.CLOSED) {
        V.say('The live game of ' + game.name + ' can no longer be watched.');
        stop();
      }
    };
    V.canvas.focus();
  };

  var show = function () {
    fetch('api/v1/live?limit=10').then(function (response) {
      if (!response.ok) {
        throw new Error(response.status);
      }
      return response.json();
    }).then(function (live) {
      table.hidden = false;
      table.caption.textContent = 'Live now' + (live.games.length === 0 ? ' (nobody)' : '');
      var body = table.tBodies[0];
      body.textContent = '';
      live.games.forEach(function (game) {
        var row = body.insertRow();
        cell(row, game.name);
        cell(row, game.score);
        cell(row, game.level);
        cell(row, game.watchers + ' watching');
        var button = document.createElement('button');
        button.type = 'button';
        button.textContent = 'Watch';
        button.setAttribute('aria-label', 'Watch ' + game.name + ' play');
        button.addEventListener('click', function () { watch(game); });
        cell(row, '').appendChild(button);
      });
    }).catch(function () {
      table.hidden = true;
    });
  };

  V.onStatus(function (status) {
    if (ending && status.watching && status.finished) {
      outcome.textContent = ending.name + ': ' + ending.text;
      V.banner(ending.text);
      ending = null;
    }
    if (!status.watching && V.watchingLive) {
      stop();  // the player left the game watched (Enter, a ranked game)
      V.watchingLive = false;
    }
  });
  V.served.then(function (withBoard) {
    if (withBoard) {
      show();
      setInterval(show, 5000);
    }
  });
})();

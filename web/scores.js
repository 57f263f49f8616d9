// Scores in the page: its own top ten kept in the browser's local storage, and, when the page is
// served by velmora-server, the global leaderboard: its open, daily and uploaded boards (the
// first two of games played live, ranked.js; the third of games sent after GAME OVER, which the
// server replays and answers with their verified rank, or says why not), and any game on them
// can be watched in the canvas.
'use strict';
(function () {
  var V = window.Velmora;
  var KEPT = 10;
  var local = document.getElementById('local-scores');
  var board = document.getElementById('leaderboard');
  var send = document.getElementById('send');
  var nameField = document.getElementById('name');
  var submit = document.getElementById('submit');
  var answer = document.getElementById('submitted');
  var boards = document.getElementById('boards');
  var dayField = document.getElementById('board-day');
  var shownBoard = 'open';

  // While a name or a key's code is typed, its keys go to the field, not to the game (the
  // game's keyboard listener sits on the window; this one was there first).
  ['keydown', 'keyup', 'keypress'].forEach(function (type) {
    window.addEventListener(type, function (event) {
      if (event.target.tagName === 'INPUT' && event.target.type === 'text') {
        event.stopImmediatePropagation();
      }
    }, true);
  });

  var stored = function (key, fallback) {
    try {
      var value = JSON.parse(localStorage.getItem(key));
      return value === null ? fallback : value;
    } catch (e) {
      return fallback;  // storage off, or not ours: start afresh
    }
  };
  var store = function (key, value) {
    try {
      localStorage.setItem(key, JSON.stringify(value));
    } catch (e) {
      // a full or closed storage keeps nothing; the game goes on
    }
  };
  nameField.value = stored('velmora-name', 'Player');
  nameField.addEventListener('change', function () { store('velmora-name', nameField.value.trim()); });

  var cell = function (row, text) {
    var td = document.createElement('td');
    td.textContent = text;
    row.appendChild(td);
    return td;
  };
  var fill = function (table, rows, columns) {
    var body = table.tBodies[0];
    body.textContent = '';
    rows.forEach(function (r, i) {
      var row = body.insertRow();
      columns(row, r, i);
    });
  };

  // The page's own table: best first, higher score, then fewer ticks, then earlier.
  var better = function (a, b) {
    return b.score - a.score || a.ticks - b.ticks || (a.date < b.date ? -1 : 1);
  };
  var showLocal = function () {
    fill(local, stored('velmora-scores', []), function (row, r, i) {
      cell(row, i + 1);
      cell(row, r.name);
      cell(row, r.score);
      cell(row, r.level);
    });
  };
  var keepLocally = function (game, recording) {
    if (game.score <= 0) {
      return;
    }
    var table = stored('velmora-scores', []).concat([game]).sort(better).slice(0, KEPT);
    store('velmora-scores', table);
    if (table[0] === game) {
      store('velmora-best-replay', recording);  // the demo's, when no leaderboard has one
    }
    showLocal();
  };

  // Attract mode's game: the leaderboard's best when the page came from velmora-server (fetched
  // ahead, as the game asks for it at once), else the best of the page's own table.
  var boardBest = null;
  var fetchBoardBest = function () {
    served.then(function (withBoard) {
      if (!withBoard) {
        throw new Error('no leaderboard');
      }
      return fetch('api/v1/scores?limit=1&board=open');
    }).then(function (response) {
      return response.ok ? response.json() : { scores: [] };
    }).then(function (scores) {
      return scores.scores.length ? fetch('api/v1/games/' + scores.scores[0].id + '/replay') : null;
    }).then(function (response) {
      return response && response.ok ? response.text() : null;
    }).then(function (text) {
      boardBest = text || boardBest;
    }).catch(function () { /* the page's own, then */ });
  };
  V.demoRecording = function () { return boardBest || stored('velmora-best-replay', null); };

  // The leaderboard, when the page came from velmora-server (its files say so in a header);
  // hidden otherwise, without asking plain file servers for what they do not have.
  var served = fetch(location.pathname, { method: 'HEAD', cache: 'no-store' }).then(function (r) {
    return r.headers.get('X-Velmora-Leaderboard') !== null;
  }).catch(function () {
    return false;
  });
  V.served = served;
  fetchBoardBest();
  V.rankedGame = function () { return false; };  // ranked.js says otherwise
  V.mayWatch = function () { return true; };  // unless a ranked game is on (ranked.js)
  V.playerName = function () { return nameField.value.trim() || 'Player'; };
  V.setPlayerName = function (name) {
    nameField.value = name;
    store('velmora-name', name);
  };
  var captions = { open: 'open board', daily: 'daily challenge', uploaded: 'uploaded games' };
  // The board shown: `which` ('open', 'daily', 'uploaded'), the daily one of `day` (today when
  // none is given).
  var showBoard = function (which, day) {
    shownBoard = which || shownBoard;
    if (day !== undefined) {
      dayField.value = day;
    }
    Array.prototype.forEach.call(boards.querySelectorAll('button'), function (b) {
      b.setAttribute('aria-pressed', String(b.dataset.board === shownBoard));
    });
    dayField.hidden = shownBoard !== 'daily';
    var query = 'board=' + shownBoard +
        (shownBoard === 'daily' && dayField.value ? '&day=' + dayField.value : '');
    return served.then(function (withBoard) {
      if (!withBoard) {
        throw new Error('no leaderboard');
      }
      return fetch('api/v1/scores?limit=10&' + query);
    }).then(function (response) {
      if (!response.ok) {
        throw new Error(response.status);
      }
      return response.json();
    }).then(function (scores) {
      board.hidden = false;
      boards.hidden = false;
      board.caption.textContent = 'Leaderboard: ' + captions[scores.board] +
          (scores.day ? ' ' + scores.day : '') + (scores.total === 0 ? ' (none yet)' : '');
      if (scores.day && !dayField.value) {
        dayField.value = scores.day;
      }
      fill(board, scores.scores, function (row, r) {
        cell(row, r.rank);
        cell(row, r.name);
        cell(row, r.score);
        cell(row, r.level);
        var watch = document.createElement('button');
        watch.type = 'button';
        watch.textContent = 'Watch';
        watch.setAttribute('aria-label', 'Watch ' + r.name + "'s game");
        watch.addEventListener('click', function () { watchGame(r.id); });
        cell(row, '').appendChild(watch);
      });
    }).catch(function () {
      board.hidden = true;
      boards.hidden = true;
    });
  };
  V.showBoard = showBoard;
  Array.prototype.forEach.call(boards.querySelectorAll('button'), function (b) {
    b.addEventListener('click', function () { showBoard(b.dataset.board); });
  });
  dayField.addEventListener('change', function () { showBoard('daily'); });
  var watchGame = function (id) {
    if (!V.mayWatch()) {
      return;
    }
    fetch('api/v1/games/' + id + '/replay').then(function (response) {
      if (!response.ok) {
        throw new Error(response.status + ' ' + response.statusText);
      }
      return response.text();
    }).then(function (text) {
      document.getElementById('outcome').textContent = '';
      if (V.watch('leaderboard game ' + id, text)) {
        V.canvas.focus();
      }
    }).catch(function (error) {
      V.say('leaderboard game ' + id + ': cannot fetch: ' + error.message);
    });
  };

  submit.addEventListener('click', function () {
    var name = nameField.value.trim();
    store('velmora-name', name);
    answer.textContent = 'Sending\u2026';
    submit.disabled = true;
    fetch('api/v1/games?name=' + encodeURIComponent(name), {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain; charset=utf-8', 'X-Velmora-Key': V.playerKey() },
      body: V.recording(),
    }).then(function (response) {
      return response.json().then(function (body) {
        if (response.ok) {
          answer.textContent = (response.status === 201 ? 'Verified: rank ' : 'Already there: rank ') +
              body.rank + ' on the uploaded board, ' + body.name + ', score ' + body.score + '.';
          showBoard('uploaded');
        } else {
          answer.textContent = 'The leaderboard did not take it: ' + body.error;
          submit.disabled = false;
        }
      });
    }).catch(function (error) {
      answer.textContent = 'The leaderboard cannot be reached: ' + error.message;
      submit.disabled = false;
    });
  });

  // At each GAME OVER of a game played here: kept in the page's table, and offered to the
  // uploaded board (unless it was played ranked); a new game takes the offer back.
  var wasOver = false;
  V.onStatus(function (status) {
    if (status.demo) {
      return;  // the GAME OVER screen it came over stays as it was
    }
    var over = status.over && !status.watching;
    if (over && !wasOver) {
      var text = V.recording();
      var end = /^end ticks=([0-9]+) level=([0-9]+) score=([0-9]+)/m.exec(text);
      if (end) {
        keepLocally({ name: nameField.value.trim() || 'Player', ticks: +end[1], level: +end[2],
                      score: +end[3], date: new Date().toISOString() }, text);
      }
      fetchBoardBest();
      answer.textContent = '';
      submit.disabled = false;
    }
    send.hidden = !over || V.rankedGame();
    submit.hidden = board.hidden;
    wasOver = over;
  });

  showLocal();
  showBoard();
})();

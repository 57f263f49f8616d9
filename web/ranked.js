// Ranked games in the page, when it is served by velmora-server: "Play ranked" and "Daily
// challenge" ask the server for an attempt, the game plays the seed it deals, and its recording
// goes to the server as it grows, a batch a second; the server plays each batch as it comes
// and ranks the game at its GAME OVER, or refuses it, and says why. A batch the network lost is
// sent again as it was until the server's bound runs out. A pause counts as time: the field
// says how long a paused game may wait before it stops being ranked. The line over the field
// says how many watch the game (live.js).
'use strict';
(function () {
  var V = window.Velmora;
  var section = document.getElementById('ranked');
  var said = document.getElementById('ranked-status');
  var game = null;  // the attempt being played, while it is live

  var show = function (text) {
    said.textContent = text;
    V.banner(text);
  };

  var end = function (text, board, day) {
    game.done = true;
    show(text);
    if (board) {
      V.showBoard(board, day);
    }
  };

  var deal = function (board) {
    var ask = { board: board, name: V.playerName(), key: V.playerKey() };
    fetch('api/v1/attempts', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(ask),
    }).then(function (response) {
      return response.json().then(function (body) {
        if (!response.ok) {
          throw new Error(body.error || response.status);
        }
        return body;
      });
    }).then(function (dealt) {
      game = {
        id: dealt.attempt, token: dealt.token, bound: dealt.bound_ms, dealt: performance.now(),
        batch: 0, sent: 0, lines: null, busy: false, ticks: 0, done: false, since: performance.now(),
        credit: dealt.credit_ms || 0, answered: performance.now(),
        label: dealt.board === 'daily' ? 'daily challenge ' + dealt.day : 'open board',
      };
      V.play(dealt.seed);
      show('RANKED ' + game.label + (dealt.ranked ? '' : ' (unranked: ' + dealt.reason + ')'));
      V.canvas.focus();
    }).catch(function (error) {
      said.textContent = 'No ranked game: ' + error.message;
    });
  };

  // The lines a batch may bring from `from` on: the server takes no more play than the time
  // since the last batch and its credit (each tick 50 ms), so a backlog after a stall goes over
  // several batches. The end of the whole lines, or of the last tick that fits.
  var paced = function (text, from, whole, budget) {
    var play = 50, cut = from, ticked = false;
    for (var at = from; at < whole; at = text.indexOf('\n', at) + 1) {
      if (text.startsWith('t ', at)) {
        if (ticked && play + 50 > budget) {
          break;
        }
        play += ticked ? 50 : 0;
        ticked = true;
      }
      cut = text.indexOf('\n', at) + 1;
    }
    return cut;
  };

  // The next batch: the whole lines since the last, as far as the server takes them at once,
  // fixed once sent until the server has it.
  var send = function () {
    if (!game || game.done || game.busy) {
      return;
    }
    if (game.lines === null) {
      var text = V.recorded();
      var whole = text.lastIndexOf('\n') + 1;
      var budget = game.credit + (performance.now() - game.answered) - 250;  // the network's
      if (budget < 50) {
        return;
      }
      var upTo = paced(text, game.sent, whole, budget);
      game.lines = text.slice(game.sent, upTo);
      game.upTo = upTo;
    }
    var sending = game;
    sending.busy = true;
    fetch('api/v1/attempts/' + sending.id + '/records?batch=' + sending.batch, {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain', 'Authorization': 'Bearer ' + sending.token },
      body: sending.lines,
    }).then(function (response) {
      if (response.status >= 500 || response.status === 429) {
        throw new Error('HTTP ' + response.status);
      }
      return response.json().then(function (body) {
        sending.busy = false;
        sending.ticks += (sending.lines.match(/^t /mg) || []).length;
        sending.sent = sending.upTo;
        sending.lines = null;
        sending.batch += 1;
        sending.since = performance.now();
        if (body.state === 'live') {
          sending.answered = performance.now();
          sending.credit = body.credit_ms || 0;
          sending.watchers = body.watchers || 0;
          return;
        }
        if (body.state === 'ranked') {
          end('RANKED: rank ' + body.rank + ' on the ' + sending.label, body.board, body.day);
        } else {
          end('NOT RANKED: ' + (body.state === 'quit' ? 'left before GAME OVER'
                                                      : body.reason || body.error));
        }
      });
    }).catch(function (error) {
      sending.busy = false;
      if (performance.now() - sending.since > sending.bound) {
        end('NOT RANKED: the leaderboard could not be reached (' + error.message + ')');
      }
    });
  };
  setInterval(send, 1000);

  var wasOver = false;
  V.onStatus(function (status) {
    if (!game || status.demo) {
      return;
    }
    if (status.over && !wasOver) {
      send();  // its GAME OVER goes at once
    } else if (!status.over && wasOver && game.done) {
      game = null;  // Enter: a new game, not ranked
      show('');
    } else if (status.paused && !game.done) {
      var left = game.bound - (performance.now() - game.dealt - game.ticks * 50);
      V.banner(left > 0 ? 'RANKED: a pause counts as time: resume within ' +
                          Math.floor(left / 1000) + ' s or this game is not ranked'
                        : 'RANKED: paused too long: this game will not be ranked');
    } else if (!game.done) {
      V.banner('RANKED ' + game.label + (game.watchers ? ' - ' + game.watchers + ' watching' : ''));
    }
    wasOver = status.over;
  });

  V.rankedGame = function () { return game !== null; };
  // Not while a ranked game is still being played: watching another would end it unranked.
  V.mayWatch = function () {
    if (game !== null && !game.done) {
      V.say('Your ranked game is still being played: watch once it is over.');
      return false;
    }
    return true;
  };
  V.served.then(function (withBoard) {
    section.hidden = !withBoard;
    document.getElementById('player').hidden = !withBoard;
  });
  document.getElementById('play-ranked').addEventListener('click', function () { deal('open'); });
  document.getElementById('play-daily').addEventListener('click', function () { deal('daily'); });
})();

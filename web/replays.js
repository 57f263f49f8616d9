// Recorded games in the page. Every game is recorded in memory; after GAME OVER and on the pause
// screen "Save replay" offers it as a file. A recording can be watched from a file ("Watch
// replay") or from ?replay=URL (same site), at the game's pace, and its outcome is shown at the
// end: whether it matched its recording (the desktop's exit status 0) or went another way (3).
'use strict';
(function () {
  var V = window.Velmora;
  var save = document.getElementById('save');
  var picker = document.getElementById('watch');
  var outcome = document.getElementById('outcome');

  var watchText = function (name, text) {
    outcome.textContent = '';
    V.say('');
    if (V.watch(name, text)) {
      V.canvas.focus();
    }
  };

  // ?replay=URL, once the game has drawn its first frame.
  V.watchFromAddress = function () {
    var url = new URLSearchParams(location.search).get('replay');
    if (url === null) {
      return;
    }
    var target = new URL(url, location.href);
    if (target.origin !== location.origin) {
      V.say('?replay must name a recording on this site: ' + url);
      return;
    }
    fetch(target).then(function (response) {
      if (!response.ok) {
        throw new Error(response.status + ' ' + response.statusText);
      }
      return response.text();
    }).then(function (text) {
      watchText(url, text);
    }).catch(function (error) {
      V.say(url + ': cannot fetch: ' + error.message);
    });
  };

  picker.addEventListener('change', function () {
    var file = picker.files[0];
    if (!file) {
      return;
    }
    file.text().then(function (text) {
      watchText(file.name, text);
      picker.value = '';
    });
  });

  save.addEventListener('click', function () {
    var text = V.recording();
    var seed = (/^seed ([0-9]+) /m.exec(text) || [0, 0])[1];
    var score = (/^end .*score=([0-9]+)/m.exec(text) || [0, 0])[1];
    var link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
    link.download = 'velmora-' + seed + '-' + score + '.replay';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 10000);
    V.canvas.focus();
  });

  V.onStatus(function (status) {
    save.hidden = status.watching || !(status.over || status.paused);
    if (status.watching && status.finished && !V.watchingLive) {
      outcome.textContent = status.outcome + ': ' + (status.matched
          ? 'the replay matched its recording'
          : 'the replay went another way than its recording, ' + status.divergence);
    }
  });
})();

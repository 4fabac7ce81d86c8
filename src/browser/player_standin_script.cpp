// The player that stands in for the RealPlayer and Windows Media Player controls. It runs in
// the isolated world only and builds its controls with DOM calls; the data it is given (list
// entries read by the program) is never turned into markup or code.
#include "browser/player_standin.h"

namespace browser {

const char* playerStandInScript()
{
    return R"JS(
(function (data) {
  'use strict';
  var REAL = 'clsid:cfcdaa03-8be4-11cf-b84b-0020afbbccfa';
  var WMP = 'clsid:22d6f312-b0f6-11d0-94ab-0080c74c7e95';
  var TYPES = { mp3: 'audio/mpeg', mp2: 'audio/mpeg', wav: 'audio/wav', ogg: 'audio/ogg',
    oga: 'audio/ogg', opus: 'audio/ogg; codecs="opus"', m4a: 'audio/mp4', aac: 'audio/aac',
    mp4: 'audio/mp4', flac: 'audio/flac', webm: 'audio/webm', wma: 'audio/x-ms-wma',
    asf: 'video/x-ms-asf', wmv: 'video/x-ms-wmv', rm: 'audio/x-pn-realaudio',
    ra: 'audio/x-pn-realaudio', ram: 'audio/x-pn-realaudio', rmvb: 'application/vnd.rn-realmedia-vbr',
    mid: 'audio/midi', midi: 'audio/midi', au: 'audio/basic', snd: 'audio/basic' };
  var CANNOT_PLAY = '\u6b64\u683c\u5f0f\u65e0\u6cd5\u5728\u672c\u673a\u64ad\u653e';

  function kindOf(obj) {
    var id = String(obj.getAttribute('classid') || '').replace(/\s+/g, '').toLowerCase();
    return id === REAL ? 'real' : id === WMP ? 'wmp' : '';
  }
  function playerObjects() {
    var all = document.getElementsByTagName('object'), found = [];
    for (var i = 0; i < all.length; i++)
      if (kindOf(all[i])) found.push(all[i]);
    return found;
  }
  function paramOf(obj, names) {
    var params = obj.getElementsByTagName('param');
    for (var n = 0; n < names.length; n++)
      for (var i = 0; i < params.length; i++)
        if (String(params[i].getAttribute('name') || '').toLowerCase() === names[n])
          return String(params[i].getAttribute('value') || '');
    return '';
  }

  var objects = playerObjects();
  if (!data) {
    return objects.map(function (obj) {
      var kind = kindOf(obj);
      return { kind: kind,
               source: paramOf(obj, kind === 'real' ? ['src', 'source', 'url', 'filename']
                                                    : ['filename', 'url', 'src']),
               autostart: paramOf(obj, ['autostart']), charset: document.characterSet };
    });
  }

  function clock(t) {
    if (!isFinite(t) || t < 0) t = 0;
    t = Math.floor(t);
    var m = Math.floor(t / 60), s = t % 60;
    return (m < 10 ? '0' : '') + m + ':' + (s < 10 ? '0' : '') + s;
  }
  function extensionOf(url) {
    var path = String(url).split(/[?#]/)[0];
    var slash = path.lastIndexOf('/'), dot = path.lastIndexOf('.');
    return dot > slash ? path.substring(dot + 1).toLowerCase() : '';
  }
  function element(tag, parent, css, text) {
    var e = document.createElement(tag);
    if (css) e.style.cssText = css;
    if (text !== undefined) e.textContent = text;
    if (parent) parent.appendChild(e);
    return e;
  }

  function build(obj, p) {
    var entries = p.entries || [];
    var width = parseInt(obj.getAttribute('width'), 10);
    if (!(width > 0)) width = 500;
    var box = element('div', null,
      'box-sizing:border-box;width:' + width + 'px;max-width:100%;height:46px;padding:3px 6px;' +
      'background:#1f2a36;color:#e4ebf2;font:12px sans-serif;border-radius:3px;' +
      'overflow:hidden;user-select:none');
    box.setAttribute('data-corvale-player', p.kind);
    var top = element('div', box, 'display:flex;align-items:center;gap:4px;height:20px');
    var bottom = element('div', box,
      'display:flex;gap:8px;height:18px;margin-top:2px;white-space:nowrap;overflow:hidden');
    var buttonCss = 'font:12px sans-serif;padding:0 6px;height:19px;background:#34475a;' +
      'color:#fff;border:1px solid #51687f;border-radius:2px;cursor:pointer';
    var playButton = element('button', top, buttonCss, '\u25b6 \u64ad\u653e');
    var pauseButton = element('button', top, buttonCss, '\u275a\u275a \u6682\u505c');
    var stopButton = element('button', top, buttonCss, '\u25a0 \u505c\u6b62');
    var nextButton = element('button', top, buttonCss, '\u00bb \u4e0b\u4e00\u9996');
    var time = element('span', top, 'margin-left:auto;font-variant-numeric:tabular-nums',
      '00:00 / 00:00');
    var title = element('span', bottom, 'flex:1;overflow:hidden;text-overflow:ellipsis', '');
    var status = element('span', bottom, 'color:#9fc3e6', '');
    var notice = element('span', bottom, 'color:#f0b37e;overflow:hidden;text-overflow:ellipsis', '');
    var audio = element('audio', box, 'display:none');
    audio.preload = 'auto';
    playButton.setAttribute('data-action', 'play');
    pauseButton.setAttribute('data-action', 'pause');
    stopButton.setAttribute('data-action', 'stop');
    nextButton.setAttribute('data-action', 'next');

    var index = -1, stopped = false;
    function setState(s, text) {
      box.setAttribute('data-state', s);
      status.textContent = text;
    }
    function showTime() {
      time.textContent = clock(audio.currentTime) + ' / ' + clock(audio.duration);
    }
    function canPlay(url) {
      var type = TYPES[extensionOf(url)];
      return !type || audio.canPlayType(type) !== '';
    }
    // Timers do not run in this world, so an entry that cannot be played is passed at once;
    // the notice stays until the next one.
    function skipFrom(i) {
      notice.textContent = CANNOT_PLAY + '\uff1a' + (entries[i].title || entries[i].url);
      notice.title = notice.textContent;
      setState('skipping', CANNOT_PLAY);
      playAt(i + 1);
    }
    function playAt(i) {
      if (i >= entries.length) {
        index = entries.length;
        box.setAttribute('data-index', String(index));
        audio.pause();
        setState('ended', entries.length ? '\u64ad\u653e\u5b8c\u6bd5' : p.error);
        return;
      }
      index = i;
      stopped = false;
      box.setAttribute('data-index', String(i));
      var e = entries[i];
      title.textContent = (i + 1) + '/' + entries.length + '  ' + (e.title || e.url);
      title.title = e.url;
      if (!e.playable || !canPlay(e.url)) {
        audio.removeAttribute('src');
        skipFrom(i);
        return;
      }
      setState('loading', '\u6b63\u5728\u8fde\u63a5\u2026');
      audio.src = e.url;
      showTime();
      var started = audio.play();
      if (started && started.catch)
        started.catch(function (err) {
          if (err && err.name === 'NotAllowedError' && index === i)
            setState('paused', '\u8bf7\u70b9\u51fb\u64ad\u653e');
        });
    }

    audio.addEventListener('playing', function () {
      setState('playing', '\u6b63\u5728\u64ad\u653e');
    });
    audio.addEventListener('pause', function () {
      if (!stopped && index >= 0 && index < entries.length && !audio.ended)
        setState('paused', '\u5df2\u6682\u505c');
    });
    audio.addEventListener('timeupdate', showTime);
    audio.addEventListener('durationchange', showTime);
    audio.addEventListener('ended', function () { playAt(index + 1); });
    audio.addEventListener('error', function () {
      if (index >= 0 && index < entries.length && audio.getAttribute('src')) skipFrom(index);
    });

    playButton.addEventListener('click', function () {
      if (index < 0 || index >= entries.length || !audio.getAttribute('src')) {
        playAt(index < 0 || index >= entries.length ? 0 : index + 1);
        return;
      }
      stopped = false;
      audio.play();
    });
    pauseButton.addEventListener('click', function () { audio.pause(); });
    stopButton.addEventListener('click', function () {
      stopped = true;
      audio.pause();
      if (audio.getAttribute('src')) audio.currentTime = 0;
      showTime();
      setState('stopped', '\u5df2\u505c\u6b62');
    });
    nextButton.addEventListener('click', function () {
      if (entries.length) playAt(index + 1 < entries.length ? index + 1 : entries.length);
    });

    obj.parentNode.replaceChild(box, obj);
    if (!entries.length) {
      title.textContent = '';
      setState('empty', p.error || '\u64ad\u653e\u5217\u8868\u4e2d\u6ca1\u6709\u6b4c\u66f2');
    } else if (p.autostart) {
      playAt(0);
    } else {
      index = -1;
      title.textContent = '1/' + entries.length + '  ' + (entries[0].title || entries[0].url);
      setState('stopped', '\u5df2\u505c\u6b62');
    }
  }

  var players = data.players || [], count = 0;
  if (objects.length && document.body) document.body.style.margin = '4px';
  for (var i = 0; i < objects.length && i < players.length; i++) {
    build(objects[i], players[i]);
    count++;
  }
  return count;
})
)JS";
}

} // namespace browser

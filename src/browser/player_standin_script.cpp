// The player that stands in for the RealPlayer and Windows Media Player controls. It runs in
// the isolated world only and builds its controls with DOM calls; the data it is given (titles
// and addresses read by the program) is never turned into markup or code. The sound and the
// time come from the native playback engine over the web channel: the buttons call it, and
// every change of its view is drawn here.
#include "browser/player_standin.h"

namespace browser {

const char* playerStandInScript()
{
    return R"JS(
(function (data) {
  'use strict';
  var REAL = 'clsid:cfcdaa03-8be4-11cf-b84b-0020afbbccfa';
  var WMP = 'clsid:22d6f312-b0f6-11d0-94ab-0080c74c7e95';

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
  function element(tag, parent, css, text) {
    var e = document.createElement(tag);
    if (css) e.style.cssText = css;
    if (text !== undefined) e.textContent = text;
    if (parent) parent.appendChild(e);
    return e;
  }

  // Three lines: the buttons; the title, the position slider and the time; the status line
  // with the volume slider. Nothing wraps: at 300 pixels the five buttons still stand side by
  // side with their whole captions. The whole
  // player is 48 pixels high, so that it fits the play panel's browser also where the window is
  // scaled down for a small screen.
  function build(obj, p) {
    var width = parseInt(obj.getAttribute('width'), 10);
    if (!(width > 0)) width = 500;
    var box = element('div', null,
      'box-sizing:border-box;width:' + width + 'px;max-width:100%;padding:2px 4px;' +
      'background:#1f2a36;color:#e4ebf2;font:11px/13px sans-serif;border-radius:3px;' +
      'overflow:hidden;user-select:none;text-align:left');
    box.setAttribute('data-corvale-player', p.kind);
    box.setAttribute('data-state', 'connecting');
    var line = 'display:flex;align-items:center;gap:3px;white-space:nowrap;overflow:hidden';
    var buttons = element('div', box, line + ';height:17px');
    var middle = element('div', box, line + ';height:13px;margin-top:1px');
    var bottom = element('div', box, line + ';height:13px');
    var buttonCss = 'flex:none;white-space:nowrap;font:11px/13px sans-serif;padding:0 4px;' +
      'height:17px;background:#34475a;color:#fff;border:1px solid #51687f;border-radius:2px;' +
      'cursor:pointer';
    var controls = [['play', '\u25b6 \u64ad\u653e'], ['pause', '\u275a\u275a \u6682\u505c'],
                    ['stop', '\u25a0 \u505c\u6b62'], ['previous', '\u00ab \u4e0a\u4e00\u9996'],
                    ['next', '\u00bb \u4e0b\u4e00\u9996']];
    var buttonOf = {};
    controls.forEach(function (c) {
      var b = element('button', buttons, buttonCss, c[1]);
      b.setAttribute('data-action', c[0]);
      buttonOf[c[0]] = b;
    });
    var title = element('span', middle, 'flex:1;overflow:hidden;text-overflow:ellipsis', '');
    function slider(parent, css, control, max) {
      var s = element('input', parent,
        'height:11px;margin:0;padding:0;accent-color:#9fc3e6;min-width:0;' + css);
      s.type = 'range';
      s.min = 0;
      s.max = max;
      s.step = 1;
      s.value = max;
      s.setAttribute('data-control', control);
      return s;
    }
    // The position: dragging shows the time it would go to, letting go moves there.
    var position = slider(middle, 'flex:0 1 40%', 'position', 0);
    position.disabled = true;
    var time = element('span', middle, 'flex:none;font-variant-numeric:tabular-nums',
      '00:00 / 00:00');
    var status = element('span', bottom, 'flex:none;color:#9fc3e6', '\u6b63\u5728\u8fde\u63a5\u2026');
    var notice = element('span', bottom,
      'flex:1;color:#f0b37e;overflow:hidden;text-overflow:ellipsis', '');
    element('span', bottom, 'flex:none', '\u97f3\u91cf');
    var volume = slider(bottom, 'flex:none;width:60px', 'volume', 100);
    volume.title = '\u97f3\u91cf';
    var dragging = false, duration = 0;

    function show(v) {
      box.setAttribute('data-state', v.state);
      box.setAttribute('data-index', String(v.index));
      box.setAttribute('data-time', String(v.time));
      box.setAttribute('data-src', v.address);
      title.textContent = v.count ? v.number + '/' + v.count + '  ' + (v.title || v.address) : '';
      title.title = v.address;
      box.setAttribute('data-title', v.title || '');
      box.setAttribute('data-can-seek', v.canSeek ? '1' : '0');
      duration = v.duration;
      position.disabled = !v.canSeek;
      position.max = Math.max(0, Math.floor(v.duration));
      if (!dragging) {
        position.value = Math.floor(v.time);
        time.textContent = clock(v.time) + ' / ' + clock(v.duration);
      }
      volume.value = v.volume;
      status.textContent = v.status;
      notice.textContent = v.notice;
      notice.title = v.notice;
    }
    obj.parentNode.replaceChild(box, obj);
    position.addEventListener('input', function () {
      dragging = true;
      time.textContent = clock(Number(position.value)) + ' / ' + clock(duration);
    });
    return { name: p.channel, buttons: buttonOf, show: show, position: position, volume: volume,
             endDrag: function () { dragging = false; } };
  }

  var players = data.players || [], built = [];
  if (objects.length && document.body) document.body.style.margin = '2px';
  for (var i = 0; i < objects.length && i < players.length; i++)
    built.push(build(objects[i], players[i]));

  new QWebChannel(qt.webChannelTransport, function (channel) {
    var bridge = channel.objects.corvalePlayers;
    var byName = {};
    built.forEach(function (b) {
      byName[b.name] = b;
      bridge.view(b.name, b.show);
      Object.keys(b.buttons).forEach(function (action) {
        b.buttons[action].addEventListener('click', function () { bridge.control(b.name, action); });
      });
      b.position.addEventListener('change', function () {
        b.endDrag();
        bridge.seek(b.name, Number(b.position.value));
      });
      b.volume.addEventListener('input', function () {
        bridge.setVolume(b.name, Number(b.volume.value) / 100);
      });
    });
    bridge.changed.connect(function (name, view) {
      if (byName[name]) byName[name].show(view);
    });
  });
  return built.length;
})
)JS";
}

} // namespace browser

// The page's side of the browser backend, put before the program's own
// JavaScript (--pre-js). The backend's C++ calls these through small EM_JS
// functions; the page's events are only queued here and taken by the game's
// own reads and waits, so the game is never entered from an event.
// Module.qfWeb is also what the page and its tests read (the sound counters,
// the replay's result).
var qfWeb = {
  keyMap: {},          // KeyboardEvent.code -> key code, told by the backend
  keyEvents: [],       // key code, down, repeat: three numbers an event
  focusEvents: [],     // 1 the page was shown, 0 hidden
  inputArrived: false,
  resized: false,
  listening: false,
  audio: null,
  // Per voice handle: how many times it was started, and how many samples
  // were handed to Web Audio for it.
  plays: {},
  samples: {},
  voiceLength: {},
  muted: false,
  result: null,        // a replay's or timedemo's outcome, when one ran
  presented: 0,        // frames put on the canvas
};
Module["qfWeb"] = qfWeb;

qfWeb.canvas = function () {
  return document.getElementById("screen");
};

// Sound may only start after the player's first key or click; the audio
// context is made then too (making one can take a third of a second, which
// the page's first picture need not wait for).
qfWeb.unlockAudio = function () {
  if (!qfWeb.audioWanted) return;
  if (!qfWeb.audio) {
    var Context = window.AudioContext || window.webkitAudioContext;
    var ctx = new Context();
    var gain = ctx.createGain();
    gain.gain.value = qfWeb.muted ? 0 : 1;
    gain.connect(ctx.destination);
    qfWeb.audio = { ctx: ctx, gain: gain, buffers: {}, sources: {} };
  }
  var hide_hint = function () {
    var hint = document.getElementById("hint");
    if (hint) hint.style.display = "none";
  };
  if (qfWeb.audio.ctx.state === "running") {
    hide_hint();
  } else {
    qfWeb.audio.ctx.resume().then(hide_hint);
  }
};

qfWeb.toggleFullscreen = function () {
  if (document.fullscreenElement) {
    if (document.exitFullscreen) document.exitFullscreen();
  } else if (document.documentElement.requestFullscreen) {
    document.documentElement.requestFullscreen().catch(function () {});
  }
};

// Ends the game's wait for the player at once (web_time.cpp).
qfWeb.wakeUp = function () {
  if (qfWeb.wake) qfWeb.wake();
};

qfWeb.releaseAll = function () {
  for (var code = 1; code < 256; code++) {
    qfWeb.keyEvents.push(code, 0, 0);
  }
  qfWeb.inputArrived = true;
  qfWeb.wakeUp();
};

qfWeb.onKey = function (event, down) {
  var code = event.code;
  var enter = code === "Enter" || code === "NumpadEnter";
  if (code === "F11" || (enter && event.altKey)) {
    // Full screen where the page may ask for it; never a key of the game.
    event.preventDefault();
    if (down && !event.repeat) qfWeb.toggleFullscreen();
    qfWeb.unlockAudio();
    return;
  }
  var key = qfWeb.keyMap[code];
  if (!key) {
    qfWeb.unlockAudio();
    return;
  }
  qfWeb.keyEvents.push(key, down ? 1 : 0, event.repeat ? 1 : 0);
  qfWeb.inputArrived = true;
  qfWeb.wakeUp();
  // The game's keys neither scroll the page nor reach the browser; the
  // browser's own shortcuts (with Ctrl or Cmd, reload, its tools) still do.
  if (!event.ctrlKey && !event.metaKey && code !== "F5" && code !== "F12") {
    event.preventDefault();
  }
  qfWeb.unlockAudio();
};

qfWeb.listen = function () {
  if (qfWeb.listening) return;
  qfWeb.listening = true;
  window.addEventListener("keydown", function (e) { qfWeb.onKey(e, 1); });
  window.addEventListener("keyup", function (e) { qfWeb.onKey(e, 0); });
  window.addEventListener("pointerdown", qfWeb.unlockAudio);
  // A key held as the page goes away never sends its release.
  window.addEventListener("blur", qfWeb.releaseAll);
  document.addEventListener("visibilitychange", function () {
    qfWeb.focusEvents.push(document.hidden ? 0 : 1);
    if (document.hidden) qfWeb.releaseAll();
    qfWeb.inputArrived = true;
    qfWeb.wakeUp();
  });
  window.addEventListener("resize", function () {
    qfWeb.resized = true;
    qfWeb.wakeUp();
  });
  window.addEventListener("gamepadconnected", function () {
    qfWeb.inputArrived = true;
    qfWeb.wakeUp();
  });
};

// The canvas fills the page's largest 4:3 area; its pixels are the
// device's, so the picture is as sharp as on the desktop. Returns
// [width, height] of its pixels.
qfWeb.fit = function () {
  var canvas = qfWeb.canvas();
  if (!canvas) return [0, 0];
  var width = Math.min(window.innerWidth, Math.floor(window.innerHeight * 4 / 3));
  var height = Math.floor(width * 3 / 4);
  width = Math.max(width, 1);
  height = Math.max(height, 1);
  if (canvas.style.width !== width + "px") canvas.style.width = width + "px";
  if (canvas.style.height !== height + "px") canvas.style.height = height + "px";
  var ratio = window.devicePixelRatio || 1;
  return [Math.round(width * ratio), Math.round(height * ratio)];
};

qfWeb.put = function (address, width, height) {
  var canvas = qfWeb.canvas();
  if (!canvas) return;
  if (canvas.width !== width) canvas.width = width;
  if (canvas.height !== height) canvas.height = height;
  if (!qfWeb.context2d || qfWeb.context2d.canvas !== canvas) {
    qfWeb.context2d = canvas.getContext("2d");
  }
  var bytes = new Uint8ClampedArray(HEAPU8.buffer, address, width * height * 4);
  qfWeb.context2d.putImageData(new ImageData(bytes, width, height), 0, 0);
  qfWeb.presented++;
};

// Pads in the browser's standard mapping: A 0, B 1, Back 8, Start 9, d-pad
// left 14 and right 15, the left stick's x axis 0.
qfWeb.PAD_BUTTONS = [0, 1, 8, 9, 14, 15];
qfWeb.readPads = function (address, slots) {
  var pads = navigator.getGamepads ? navigator.getGamepads() : [];
  var out = new Int32Array(HEAP32.buffer, address, slots * 8);
  out.fill(0);
  var slot = 0;
  for (var i = 0; i < pads.length && slot < slots; i++) {
    var pad = pads[i];
    if (!pad || !pad.connected) continue;
    var base = slot * 8;
    out[base] = 1;
    for (var b = 0; b < qfWeb.PAD_BUTTONS.length; b++) {
      var button = pad.buttons[qfWeb.PAD_BUTTONS[b]];
      out[base + 1 + b] = button && button.pressed ? 1 : 0;
    }
    var x = pad.axes.length > 0 ? pad.axes[0] : 0;
    out[base + 7] = Math.max(-32768, Math.min(32767, Math.round(x * 32767)));
    slot++;
  }
  return slot;
};

qfWeb.audioOpen = function () {
  if (!(window.AudioContext || window.webkitAudioContext)) return 0;
  qfWeb.audioWanted = true;
  var hint = document.getElementById("hint");
  if (hint && !(qfWeb.audio && qfWeb.audio.ctx.state === "running")) {
    hint.style.display = "block";
  }
  return 1;
};

// The voice's 8-bit samples at 11025 Hz, kept until a play needs them as
// an AudioBuffer (which the browser resamples to its own rate).
qfWeb.voiceData = {};
qfWeb.voiceSet = function (voice, address, length) {
  if (length <= 0) return;
  var data = new Float32Array(length);
  for (var i = 0; i < length; i++) data[i] = (HEAPU8[address + i] - 128) / 128;
  qfWeb.voiceData[voice] = data;
  qfWeb.voiceLength[voice] = length;
  if (qfWeb.audio) delete qfWeb.audio.buffers[voice];
};

qfWeb.voiceBuffer = function (voice) {
  var audio = qfWeb.audio, data = qfWeb.voiceData[voice];
  if (!audio.buffers[voice] && data) {
    var buffer = audio.ctx.createBuffer(1, data.length, 11025);
    buffer.getChannelData(0).set(data);
    audio.buffers[voice] = buffer;
  }
  return audio.buffers[voice];
};

qfWeb.voiceStop = function (voice) {
  var audio = qfWeb.audio;
  if (!audio || !audio.sources[voice]) return;
  try { audio.sources[voice].stop(); } catch (e) {}
  audio.sources[voice].disconnect();
  delete audio.sources[voice];
};

// Starts the voice at sample `from`. Before the player's first key the
// browser holds the sound back: nothing is started then, so no sound comes
// late.
qfWeb.voicePlay = function (voice, from, looping) {
  var audio = qfWeb.audio;
  qfWeb.voiceStop(voice);
  if (!audio || audio.ctx.state !== "running") return;
  var buffer = qfWeb.voiceBuffer(voice);
  if (!buffer) return;
  var source = audio.ctx.createBufferSource();
  source.buffer = buffer;
  source.loop = !!looping;
  source.connect(audio.gain);
  source.start(0, from / 11025);
  audio.sources[voice] = source;
  qfWeb.plays[voice] = (qfWeb.plays[voice] || 0) + 1;
  qfWeb.samples[voice] = (qfWeb.samples[voice] || 0) + (buffer.length - from);
};

qfWeb.voiceDestroy = function (voice) {
  qfWeb.voiceStop(voice);
  delete qfWeb.voiceData[voice];
  if (qfWeb.audio) delete qfWeb.audio.buffers[voice];
};

qfWeb.setMuted = function (muted) {
  qfWeb.muted = !!muted;
  if (qfWeb.audio) qfWeb.audio.gain.gain.value = muted ? 0 : 1;
};

// How the game ended; the page shows it (qfPage.ended, in index.html).
qfWeb.report = function (mode, status, frames, complete, seconds) {
  qfWeb.result = { mode: mode, status: status, frames: frames,
                   complete: complete, seconds: seconds,
                   lines: qfWeb.lines.slice() };
  if (typeof qfPage !== "undefined") qfPage.ended(qfWeb.result);
};

qfWeb.fail = function (line) {
  if (typeof qfPage !== "undefined") qfPage.error("The game can't start: " + line + ".");
};

// What the program says on standard error, kept for the page.
qfWeb.lines = [];
Module["printErr"] = function (text) {
  qfWeb.lines.push(text);
  console.warn(text);
};
Module["print"] = function (text) {
  qfWeb.lines.push(text);
  console.log(text);
};

// The page's half of the web side: windows as elements of the page, their
// input queued for the program, the file picker, the message box and the
// animation frames the program yields to. Handlers only queue; the program
// takes the queue when it polls (web_next_event).
mergeInto(LibraryManager.library, {
  $Page__postset: 'addOnPreRun(Page.startPainter);',
  $Page: {
    // By handle: {root, title, canvas, context (null: the painter holds the
    // canvas), image, width, height, and the frames' buffers: size, spare, busy}.
    windows: {},
    events: [],           // [kind, window, x, y]
    frameInterval: 1000 / 30,  // until two frames tell the display's rate
    lastFrame: 0,
    pickerPath: null,     // the chosen file's path, or null
    order: 0,             // the stacking of windows and boxes, newest on top
    // The page's frame counter, which the page benchmark reads: frames the
    // program drew, the canvas showed, and the browser offered.
    frames: {drawn: 0, shown: 0, offered: 0},

    // The painter: a worker that holds the canvases (as offscreen ones) and
    // puts the frames it is sent into them, turning 24-bit rows into canvas
    // pixels itself, so that a frame costs the page's own thread, where the
    // program runs, one copy. Null where the browser cannot hand a canvas to
    // a worker, or would not start one (a server's stricter content security
    // policy, say): the canvases are then drawn here. The program starts
    // once the painter has said it runs, or has failed to, so that no canvas
    // goes to a worker that never draws.
    painter: null,
    startPainter: function() {
      if (typeof OffscreenCanvas !== 'function' || typeof Worker !== 'function' ||
          typeof HTMLCanvasElement.prototype.transferControlToOffscreen !== 'function') return;
      let worker;
      try {
        const source = '(' + Page.paint.toString() + ')()';
        worker = new Worker(URL.createObjectURL(new Blob([source], {type: 'text/javascript'})));
      } catch (error) {
        return;
      }
      addRunDependency('painter');
      let settled = false;
      const settle = (running) => {
        if (settled) return;
        settled = true;
        clearTimeout(late);
        worker.onerror = null;
        if (running) {
          Page.painter = worker;
          worker.onmessage = (event) => Page.painted(event.data);
        } else {
          worker.onmessage = null;
          worker.terminate();
        }
        removeRunDependency('painter');
      };
      const late = setTimeout(() => settle(false), 5000);
      worker.onmessage = () => settle(true);
      worker.onerror = () => settle(false);
    },
    // The painter's own code, run in the worker. Messages, by window:
    // {canvas} to hold; {width, height} to size (which clears it); {gone};
    // {buffer, width, height, rowBytes}: a frame, RGBA pixels (rowBytes 0) or
    // 24-bit rows, the bottom one first. Each frame's buffer goes back once
    // the frame is in the canvas.
    paint: function() {
      const canvases = {};
      postMessage('running');
      onmessage = (event) => {
        const message = event.data;
        if (message.canvas) {
          canvases[message.handle] = {canvas: message.canvas, image: null,
                                      context: message.canvas.getContext('2d', {alpha: false})};
          return;
        }
        const held = canvases[message.handle];
        try {
          if (message.gone) {
            delete canvases[message.handle];
          } else if (held && message.buffer === undefined) {
            held.canvas.width = message.width;
            held.canvas.height = message.height;
          } else if (held && message.width > 0 && message.height > 0) {
            const width = message.width;
            const height = message.height;
            let image;
            if (message.rowBytes === 0) {
              image = new ImageData(new Uint8ClampedArray(message.buffer), width, height);
            } else {
              if (held.image === null || held.image.width !== width || held.image.height !== height) {
                held.image = new ImageData(width, height);
              }
              image = held.image;
              // Rows start on a 4-byte boundary: four pixels are three
              // little-endian words, blue, green, red, blue | green, ...
              const rows = new Uint8Array(message.buffer);
              const words = new Uint32Array(message.buffer);
              const pixels = new Uint32Array(image.data.buffer);
              for (let y = 0; y < height; ++y) {
                let from = (height - 1 - y) * message.rowBytes;
                let at = y * width;
                for (let word = from >> 2, fours = at + (width & ~3); at < fours; at += 4, word += 3) {
                  const a = words[word], b = words[word + 1], c = words[word + 2];
                  pixels[at] = 0xFF000000 | (a & 0xFF) << 16 | (a & 0xFF00) | (a >>> 16 & 0xFF);
                  pixels[at + 1] = 0xFF000000 | (a >>> 24) << 16 | (b & 0xFF) << 8 | (b >>> 8 & 0xFF);
                  pixels[at + 2] = 0xFF000000 | (b >>> 16 & 0xFF) << 16 | (b >>> 24) << 8 | (c & 0xFF);
                  pixels[at + 3] = 0xFF000000 | (c >>> 8 & 0xFF) << 16 | (c >>> 16 & 0xFF) << 8 | c >>> 24;
                }
                for (from += 3 * (width & ~3); at < (y + 1) * width; ++at, from += 3) {
                  pixels[at] = 0xFF000000 | rows[from] << 16 | rows[from + 1] << 8 | rows[from + 2];
                }
              }
            }
            held.context.putImageData(image, 0, 0);
          }
        } finally {
          if (message.buffer !== undefined) postMessage({handle: message.handle, buffer: message.buffer},
                                                        [message.buffer]);
        }
      };
    },
    // A frame's buffer back from the painter: the frame is in its canvas.
    painted: function(message) {
      Page.frames.shown++;
      const shown = Page.windows[message.handle];
      if (!shown) return;
      shown.busy--;
      if (message.buffer.byteLength === shown.size) shown.spare.push(message.buffer);
    },
    // Sends a window's frame of `size` bytes from the program's memory to the
    // painter, in a buffer of its own; false while two frames are still on
    // their way, which is as far as the painter may fall behind.
    sendFrame: function(shown, handle, from, size, width, height, rowBytes, drawn) {
      if (shown.size !== size) {
        shown.size = size;
        shown.spare = [];
      }
      if (shown.spare.length === 0 && shown.busy >= 2) return false;
      const buffer = shown.spare.length > 0 ? shown.spare.pop() : new ArrayBuffer(size);
      new Uint8Array(buffer).set(HEAPU8.subarray(from, from + size));
      Page.painter.postMessage({handle, buffer, width, height, rowBytes}, [buffer]);
      shown.busy++;
      Page.frames.drawn += drawn;
      Module['frames'] = Page.frames;
      return true;
    },

    desktop: function() {
      return document.getElementById('mottler-desktop');
    },
    ratio: function() {
      return window.devicePixelRatio || 1;
    },
    // A window's frame, in whole device pixels: a caption bar over the
    // client area and a border around the rest.
    captionHeight: function() {
      return Math.round(28 * Page.ratio());
    },
    borderWidth: function() {
      return Math.max(1, Math.round(Page.ratio()));
    },
    // A length in device pixels as a CSS length.
    css: function(devicePixels) {
      return (devicePixels / Page.ratio()) + 'px';
    },
    queue: function(kind, window, x, y) {
      Page.events.push([kind, window, x | 0, y | 0]);
    },
    // A pointer's place on the canvas, in device pixels.
    where: function(canvas, event) {
      const box = canvas.getBoundingClientRect();
      const ratio = Page.ratio();
      return [Math.floor((event.clientX - box.left) * ratio), Math.floor((event.clientY - box.top) * ratio)];
    },
    // The program's own texts are code-page-932 (Shift_JIS) bytes.
    programText: function(pointer) {
      const bytes = HEAPU8.subarray(pointer, HEAPU8.indexOf(0, pointer));
      return new TextDecoder('shift_jis').decode(bytes);
    },
    // A modal box over everything, with a caption, a text and an OK button.
    // onClose runs once, when it is answered.
    modal: function(caption, text, onClose) {
      const shade = document.createElement('div');
      shade.className = 'mottler-shade';
      shade.style.zIndex = String(1000 + ++Page.order);
      const box = document.createElement('div');
      box.className = 'mottler-window mottler-message';
      box.id = 'mottler-message-' + Page.order;
      box.setAttribute('role', 'alertdialog');
      box.setAttribute('aria-modal', 'true');
      const bar = document.createElement('div');
      bar.className = 'mottler-caption';
      const title = document.createElement('span');
      title.className = 'mottler-title';
      title.id = 'mottler-message-caption-' + Page.order;
      title.textContent = caption;
      bar.appendChild(title);
      const body = document.createElement('p');
      body.className = 'mottler-message-text';
      body.id = 'mottler-message-text-' + Page.order;
      body.textContent = text;
      const ok = document.createElement('button');
      ok.type = 'button';
      ok.textContent = 'OK';
      box.setAttribute('aria-labelledby', title.id);
      box.setAttribute('aria-describedby', body.id);
      box.append(bar, body, ok);
      shade.appendChild(box);
      document.body.appendChild(shade);
      ok.addEventListener('click', () => {
        shade.remove();
        onClose();
      }, {once: true});
      box.addEventListener('keydown', (event) => {
        if (event.key === 'Escape') ok.click();
      });
      ok.focus();
    },
  },

  web_next_event__deps: ['$Page'],
  web_next_event: function(event) {
    const next = Page.events.shift();
    if (next === undefined) return 0;
    HEAP32.set(next, event >> 2);
    return 1;
  },

  web_wait_frame__deps: ['$Page'],
  web_wait_frame: function() {
    return Asyncify.handleSleep((wakeUp) => {
      requestAnimationFrame((time) => {
        // The display's rate is the shortest interval between frames: a frame
        // the program or the browser made late only lengthens one.
        const interval = time - Page.lastFrame;
        if (Page.lastFrame > 0 && interval > 4 && interval < Page.frameInterval) {
          Page.frameInterval = interval;
        }
        Page.lastFrame = time;
        Page.frames.offered++;
        wakeUp();
      });
    });
  },

  web_frame_interval__deps: ['$Page'],
  web_frame_interval: function() {
    return Page.frameInterval;
  },

  web_viewport_width__deps: ['$Page'],
  web_viewport_width: function() {
    return Math.floor(document.documentElement.clientWidth * Page.ratio());
  },

  web_viewport_height__deps: ['$Page'],
  web_viewport_height: function() {
    return Math.floor(document.documentElement.clientHeight * Page.ratio());
  },

  web_caption_height__deps: ['$Page'],
  web_caption_height: function() {
    return Page.captionHeight();
  },

  web_border_width__deps: ['$Page'],
  web_border_width: function() {
    return Page.borderWidth();
  },

  web_create_window__deps: ['$Page'],
  web_create_window: function(handle) {
    const root = document.createElement('section');
    root.className = 'mottler-window';
    root.id = 'mottler-window-' + handle;
    root.hidden = true;
    root.style.zIndex = String(++Page.order);
    const bar = document.createElement('div');
    bar.className = 'mottler-caption';
    const title = document.createElement('span');
    title.className = 'mottler-title';
    title.id = 'mottler-caption-' + handle;
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'mottler-close';
    close.setAttribute('aria-label', 'Close');
    close.title = 'Close';
    close.textContent = '\u00D7';
    close.addEventListener('click', () => Page.queue(1, handle, 0, 0));
    bar.append(title, close);
    const canvas = document.createElement('canvas');
    canvas.className = 'mottler-client';
    root.setAttribute('aria-labelledby', title.id);
    root.append(bar, canvas);
    // A press of any pointer (mouse, pen, touch) is a click; the mouse's
    // second button is its right button. A mouse's press lets the page open
    // the file picker at once; a pen's or a finger's only once lifted, so
    // that is when their press and release are told.
    canvas.addEventListener('pointerdown', (event) => {
      event.preventDefault();
      if (event.pointerType !== 'mouse') return;
      const [x, y] = Page.where(canvas, event);
      Page.queue(event.button === 2 ? 4 : 2, handle, x, y);
    });
    canvas.addEventListener('pointerup', (event) => {
      const [x, y] = Page.where(canvas, event);
      if (event.pointerType !== 'mouse') Page.queue(2, handle, x, y);
      Page.queue(event.button === 2 ? 5 : 3, handle, x, y);
    });
    canvas.addEventListener('pointermove', (event) => {
      const [x, y] = Page.where(canvas, event);
      Page.queue(6, handle, x, y);
    });
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    Page.desktop().appendChild(root);
    const shown = {root, title, canvas, context: null, image: null, size: 0, spare: [], busy: 0};
    if (Page.painter !== null) {
      const offscreen = canvas.transferControlToOffscreen();
      Page.painter.postMessage({handle, canvas: offscreen}, [offscreen]);
    } else {
      shown.context = canvas.getContext('2d', { alpha: false });
    }
    Page.windows[handle] = shown;
  },

  web_show_window__deps: ['$Page'],
  web_show_window: function(handle) {
    Page.windows[handle].root.hidden = false;
  },

  // The canvas's backing store is the client area in device pixels and its
  // CSS size that divided by the ratio, so one pixel of it is one device
  // pixel; resizing it clears it, and the program repaints.
  web_place_window__deps: ['$Page'],
  web_place_window: function(handle, x, y, width, height) {
    const shown = Page.windows[handle];
    shown.root.style.left = Page.css(x);
    shown.root.style.top = Page.css(y);
    shown.root.style.borderWidth = '0 ' + Page.css(Page.borderWidth()) + ' ' + Page.css(Page.borderWidth());
    shown.root.querySelector('.mottler-caption').style.height = Page.css(Page.captionHeight());
    if (shown.width !== width || shown.height !== height) {
      if (shown.context === null) {
        Page.painter.postMessage({handle, width, height});
      } else {
        shown.canvas.width = width;
        shown.canvas.height = height;
        shown.image = null;
      }
    }
    shown.width = width;
    shown.height = height;
    shown.canvas.style.width = Page.css(width);
    shown.canvas.style.height = Page.css(height);
  },

  // Captions are the program's paths, UTF-8 in its file system; the main
  // window's is the page's title too.
  web_set_caption__deps: ['$Page'],
  web_set_caption: function(handle, caption) {
    const text = UTF8ToString(caption);
    Page.windows[handle].title.textContent = text;
    document.title = text;
  },

  web_destroy_window__deps: ['$Page'],
  web_destroy_window: function(handle) {
    Page.windows[handle].root.remove();
    if (Page.windows[handle].context === null) Page.painter.postMessage({handle, gone: true});
    delete Page.windows[handle];
  },

  // Drawn here, the ImageData is a view of the program's memory, kept until
  // the canvas changes size or the memory grows (which moves its buffer).
  web_put_pixels__deps: ['$Page'],
  web_put_pixels: function(handle, pixels, width, height, drawn) {
    const shown = Page.windows[handle];
    if (shown.context === null) {
      return Page.sendFrame(shown, handle, pixels, width * height * 4, width, height, 0, drawn) ? 1 : 0;
    }
    Page.frames.drawn += drawn;
    Page.frames.shown++;
    Module['frames'] = Page.frames;
    if (width === 0 || height === 0) return 1;
    let image = shown.image;
    if (image === null || image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== pixels ||
        image.width !== width || image.height !== height) {
      image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
      shown.image = image;
    }
    shown.context.putImageData(image, 0, 0);
    return 1;
  },

  web_put_rows__deps: ['$Page'],
  web_put_rows: function(handle, rows, width, height, rowBytes, drawn) {
    const shown = Page.windows[handle];
    if (shown.context !== null) return -1;
    return Page.sendFrame(shown, handle, rows, rowBytes * height, width, height, rowBytes, drawn) ? 1 : 0;
  },

  // The chosen file is read into the program's file system, in a folder of
  // picked files that holds only the latest: the program keeps the pictures
  // it loaded in its own memory, and needs the file only to load it again.
  web_open_picker__deps: ['$Page', '$FS'],
  web_open_picker: function() {
    Page.pickerPath = null;
    const input = document.createElement('input');
    input.type = 'file';
    input.accept = '.bmp';
    input.hidden = true;
    document.body.appendChild(input);
    const end = (path) => {
      input.remove();
      Page.pickerPath = path;
      Page.queue(7, 0, 0, 0);
    };
    input.addEventListener('cancel', () => end(null));
    input.addEventListener('change', () => {
      const file = input.files[0];
      if (!file) return end(null);
      const folder = '/picked';
      if (!FS.analyzePath(folder).exists) FS.mkdir(folder);
      for (const name of FS.readdir(folder)) {
        if (name !== '.' && name !== '..') FS.unlink(folder + '/' + name);
      }
      const path = folder + '/' + file.name;
      // No picture the program takes is near this size; a larger file is
      // handed over empty, and refused as any unreadable file is.
      const largest = 256 * 1024 * 1024;
      const read = file.size <= largest ? file.arrayBuffer() : Promise.resolve(new ArrayBuffer(0));
      read.then((bytes) => FS.writeFile(path, new Uint8Array(bytes)), () => FS.writeFile(path, new Uint8Array(0)))
          .then(() => end(path));
    });
    // A browser opens the picker only shortly after a press; without one it
    // would never answer, and the program would wait for ever: Cancel.
    if (navigator.userActivation && !navigator.userActivation.isActive) return end(null);
    input.click();
  },

  web_picker_path__deps: ['$Page', 'malloc'],
  web_picker_path: function() {
    if (Page.pickerPath === null) return 0;
    const size = lengthBytesUTF8(Page.pickerPath) + 1;
    const copy = _malloc(size);
    stringToUTF8(Page.pickerPath, copy, size);
    return copy;
  },

  web_show_message__deps: ['$Page'],
  web_show_message: function(text, caption) {
    Page.modal(Page.programText(caption), Page.programText(text), () => Page.queue(7, 0, 0, 0));
  },

  web_program_ended: function(status) {
    if (typeof Module['onProgramEnded'] === 'function') Module['onProgramEnded'](status);
  },
});

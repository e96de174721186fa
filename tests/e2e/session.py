"""One scenario's world: its own display number with a window manager, its
own working folder (with its own copy of the program, so that the default
picture is found only where the scenario put one), and its own processes,
each ended by its process id. What the scenarios see of the program's
windows, and captures of them to compare with the pictures."""
import os
import shutil
import subprocess
import time

import pictures
from programs import Program, cpu_seconds
from wsession import WaylandSession
from xsession import SETTLE_DEADLINE, START_DEADLINE, WINDOW_DEADLINE, XSession, check, wait_for

ERROR_CAPTION = 'エラー発生'
DIALOG_TITLE = 'ファイルを開く'
SCREEN = (1280, 1024)
WHITE = (255, 255, 255)

# A picture name with characters outside the Japanese code page (ü, ï, €)
# and outside the Western ones (写真).
UNICODE_NAME = '写真 ünï €.bmp'


class Session:
    """One scenario's display, window manager, folder and program; with a
    Wayland scale, a Wayland session (weston, XWayland beside it) instead."""

    def __init__(self, name, display, out_dir, exe, env, native=False, emulator=(), wayland_scale=None):
        self.name = name
        self.dir = os.path.join(out_dir, name)
        self.work = os.path.join(self.dir, 'work')
        self.native = native
        env = dict(env)
        if native:
            # The file chooser's memory of recent folders stays in the scenario.
            for variable, folder in (('XDG_CONFIG_HOME', 'config'), ('XDG_DATA_HOME', 'data'),
                                     ('XDG_CACHE_HOME', 'cache')):
                env[variable] = os.path.join(self.dir, folder)
        self.captures = 0
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.work)
        self.log = open(os.path.join(self.dir, 'processes.log'), 'wb')
        self.wayland = wayland_scale is not None
        if self.wayland:
            self.x = WaylandSession(display, wayland_scale, env, self.log)
        else:
            self.x = XSession(display, env, self.log)
        self.app = Program(exe, native, self.x.env, self.log, emulator)

    @property
    def program(self):
        """The running program's process (None before it starts)."""
        return self.app.process

    # --- processes -------------------------------------------------------
    def x_tool(self, *command, **options):
        return self.x.x_tool(*command, **options)

    def start_display(self, size=SCREEN):
        self.app.prepare()
        self.x.start(size)
        if not self.wayland:
            self.x.bind_keys(UNICODE_NAME)

    def start_program(self, cwd=None, args=()):
        self.app.start(self.work, cwd, args)

    def typed(self, path):
        """A path as the program's dialog takes it and its caption shows it."""
        return self.app.typed(path)

    def close_program(self):
        """Closes the main window and returns the exit status."""
        self.x.close(self.main_window())
        return self.app.wait()

    def record_failure(self):
        """Keeps what a failure leaves: the whole screen, the windows there
        and the state of every process, beside the scenario's captures."""
        self.x.record(self.dir)
        with open(os.path.join(self.dir, 'failure-processes.txt'), 'wb') as out:
            out.write(subprocess.run(['ps', '-eo', 'pid,ppid,stat,wchan:20,etime,time,args'],
                                     stdout=subprocess.PIPE).stdout)

    def end(self):
        """Ends whatever is still running, by process id, and waits for
        Wine's own processes of this run to go."""
        problems = self.app.end()
        self.x.stop()
        self.log.close()
        return problems

    # --- windows ---------------------------------------------------------
    def windows(self):
        """(window id, caption) of the program's top-level windows."""
        return self.x.windows(self.app.pid) if self.program else []

    def window_titled(self, title):
        return self.x.window_titled(self.app.pid, title) if self.program else None

    def main_window(self):
        others = (ERROR_CAPTION, DIALOG_TITLE)
        matches = [window for window, caption in self.windows() if caption not in others]
        check(len(matches) == 1, f'expected one main window, found {self.windows()}')
        return matches[0]

    def caption(self):
        return dict(self.windows()).get(self.main_window())

    def wait_main_window(self, caption, timeout=START_DEADLINE):
        return wait_for(f'a window captioned "{caption}"',
                        lambda: self.window_titled(caption), timeout)

    def geometry(self, window):
        """Client area: (left, top, width, height) on the screen."""
        return self.x.geometry(window)

    def activate(self, window):
        self.x.activate(window)

    def click(self, window, button=1, at=(20, 20)):
        self.x.click(window, button, at)

    def key(self, *keys):
        self.x.key(*keys)

    def scale_display(self, scale):
        """Has GTK scale the display `scale` times; returns the logical
        pixel in screen pixels, the unit a client size is rounded up to."""
        self.app.env = dict(self.app.env, GDK_SCALE=str(scale))
        return scale

    # --- the dialogs -----------------------------------------------------
    def choose(self, path):
        """Opens the file dialog with a left click and confirms the path,
        typed as the dialog takes it (GTK's chooser takes one after Ctrl+L);
        returns the main window."""
        window = self.main_window()
        self.activate(window)
        self.click(window)
        dialog = wait_for('the open-file dialog', lambda: self.window_titled(DIALOG_TITLE),
                          WINDOW_DEADLINE)
        self.activate(dialog)
        if self.native:
            self.key('ctrl+l', 'ctrl+a', 'BackSpace')
        else:
            self.key('End', 'shift+Home', 'BackSpace')
        self.x_tool('xdotool', 'type', '--delay', '15', '--', self.typed(path))
        self.key('Return')
        wait_for('the dialog to close', lambda: self.window_titled(DIALOG_TITLE) is None,
                 WINDOW_DEADLINE)
        return window

    def cancel_choice(self, window):
        """Opens the file dialog with a left click and cancels it."""
        self.activate(window)
        self.click(window)
        dialog = wait_for('the open-file dialog', lambda: self.window_titled(DIALOG_TITLE),
                          WINDOW_DEADLINE)
        self.activate(dialog)
        self.key('Escape')

    def wait_idle(self, what):
        """Waits until the program uses less than a quarter of the processor
        over a second, as a program waiting for messages does on any machine;
        one that polls or steps uses all of it, however fast the machine, and
        never gets there."""
        def idle():
            before = cpu_seconds(self.program.pid)
            time.sleep(1)
            return cpu_seconds(self.program.pid) - before < 0.25
        wait_for(what, idle, SETTLE_DEADLINE, interval=0)

    # --- captures --------------------------------------------------------
    def capture(self, window, label):
        """Saves the client area as a PNG and returns its pixels."""
        self.captures += 1
        path = os.path.join(self.dir, f'{self.captures:02d}-{label}.png')
        return Capture(*self.x.capture_pixels(window, path))

    def screenshot(self, label):
        """Saves the whole Wayland output as a PNG and returns its pixels."""
        self.captures += 1
        path = os.path.join(self.dir, f'{self.captures:02d}-{label}.png')
        return Capture(*self.x.screenshot(path))

    # --- files -----------------------------------------------------------
    def picture(self, name, width, height, variant=0, folder=None, flat=False):
        path = os.path.join(folder or self.work, name)
        rows = pictures.make_bmp(path, width, height, variant, flat)
        return path, rows


class Capture:
    def __init__(self, width, height, raw):
        self.width, self.height, self.raw = width, height, raw

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.raw[at:at + 3])

    def differing(self, other, inside=True):
        """How many interior (or all) pixels differ from another capture."""
        margin = 1 if inside else 0
        count = 0
        for y in range(margin, self.height - margin):
            start = (y * self.width + margin) * 3
            end = (y * self.width + self.width - margin) * 3
            a, b = self.raw[start:end], other.raw[start:end]
            if a != b:
                count += sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
        return count

    def differing_from_rows(self, rows):
        width, height = len(rows[0]), len(rows)
        return sum(1 for y in range(1, height - 1) for x in range(1, width - 1)
                   if self.pixel(x, y) != rows[y][x])

    def ring_mismatches(self, rows):
        width, height = len(rows[0]), len(rows)
        ring = [(x, 0) for x in range(width)] + [(x, height - 1) for x in range(width)]
        ring += [(0, y) for y in range(height)] + [(width - 1, y) for y in range(height)]
        return [(x, y) for x, y in ring if self.pixel(x, y) != rows[y][x]]

    def not_white_outside(self, left, top, right, bottom):
        """How many pixels outside the given rectangle are not white."""
        return sum(1 for y in range(self.height) for x in range(self.width)
                   if not (left <= x < right and top <= y < bottom) and self.pixel(x, y) != WHITE)

    def all_white(self):
        return self.raw == bytes(WHITE) * (self.width * self.height)

    def crop(self, left, top, width, height):
        """The rectangle of that size at (left, top), as a capture of its own."""
        raw = b''.join(self.raw[((top + y) * self.width + left) * 3:
                                ((top + y) * self.width + left + width) * 3] for y in range(height))
        return Capture(width, height, raw)

    def count(self, test):
        """How many pixels pass the test, a function of (r, g, b)."""
        return sum(1 for i in range(0, len(self.raw), 3) if test(tuple(self.raw[i:i + 3])))

    def colours_outside(self, rows):
        """How many pixels show a colour the picture's file does not have."""
        allowed = {bytes(colour) for row in rows for colour in row}
        return sum(1 for i in range(0, len(self.raw), 3) if self.raw[i:i + 3] not in allowed)

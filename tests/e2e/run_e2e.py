#!/usr/bin/env python3
"""End-to-end scenarios: the real program, mottler.exe under Wine or the
native Linux one (--native), in a virtual X display with a window manager,
driven as a person would drive it. One list of scenarios serves both.

Each scenario gets its own display number, its own working folder (with its
own copy of mottler.exe, so that the default picture is found only where the
scenario put one), and its own processes: the Xvfb server, openbox and the
program, each ended by its process id. The program is always ended by closing
its window, and its exit status must be 0.

Every check holds at any machine speed: what is compared comes from the
pictures and from what the program does with them (the ring never changes,
the step only copies colours, an idle program uses no processor), never from
how far the dissolve gets in some time. Waits poll with deadlines; the
deadlines are generous, since they only bound how long a failure takes to
show, and a passing run never waits them out.

The suite runs under one locale (--locale, the Japanese one by default): the
program's texts must read the same under every one, whatever the system's
code page.

Usage: run_e2e.py --exe build/win32/mottler.exe [--out DIR] [--display N]
                  [--locale LANG] [--only NAME ...]
       run_e2e.py --native --exe build/linux/mottler [...]
Prints one line per scenario and the totals; exits non-zero on any failure.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ERROR_CAPTION = 'エラー発生'
DIALOG_TITLE = 'ファイルを開く'
SCREEN = (1280, 1024)
WHITE = (255, 255, 255)

# Deadlines, in seconds: for Wine to start the program (under an instruction
# translator, on a busy machine, that takes minutes), for a window to appear
# or go after an input, and for a display or window manager to start.
START_DEADLINE = 300
WINDOW_DEADLINE = 120
SETTLE_DEADLINE = 60

# A picture name with characters outside the Japanese code page (ü, ï, €)
# and outside the Western ones (写真).
UNICODE_NAME = '写真 ünï €.bmp'


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, predicate, timeout, interval=0.2):
    """Polls predicate until it gives a true value, for at most timeout s."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f'timed out after {timeout:.0f} s waiting for {what}')
        time.sleep(interval)


def wine_environment():
    """The environment scripts/wine-env.sh sets up, read from a shell."""
    script = os.path.join(ROOT, 'scripts', 'wine-env.sh')
    output = subprocess.run(
        ['bash', '-c', f'source "{script}" && mottler_ensure_prefix && env -0'],
        check=True, stdout=subprocess.PIPE).stdout
    env = {}
    for entry in output.split(b'\0'):
        if b'=' in entry:
            key, value = entry.split(b'=', 1)
            env[key.decode()] = value.decode()
    return env


def forget_dialog_folders(prefix):
    """Removes the open-file dialog's memory of the folders it was last used
    in (kept per program name in the prefix's user registry), so that every
    scenario's dialog starts in the program's own folder whatever an earlier
    scenario or run did. Wine's processes of the prefix must not be running."""
    path = os.path.join(prefix, 'user.reg')
    with open(path, encoding='utf-8', errors='surrogateescape') as registry:
        lines = registry.read().split('\n')
    kept, skipping = [], False
    for line in lines:
        if line.startswith('['):
            skipping = line.startswith(
                '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\ComDlg32')
        if not skipping:
            kept.append(line)
    with open(path, 'w', encoding='utf-8', errors='surrogateescape') as registry:
        registry.write('\n'.join(kept))


def native_environment(locale):
    """The environment of the native program: the given locale, and no
    desktop services to reach (accessibility bus, portals, settings
    daemon), which a virtual display has none of."""
    env = dict(os.environ, LANG=locale, GDK_BACKEND='x11', NO_AT_BRIDGE='1',
               GTK_USE_PORTAL='0', GSETTINGS_BACKEND='memory')
    for name in ('LC_ALL', 'LANGUAGE', 'DBUS_SESSION_BUS_ADDRESS', 'WAYLAND_DISPLAY'):
        env.pop(name, None)
    return env


class Session:
    """One scenario's display, window manager, folder and program."""

    def __init__(self, name, display, out_dir, exe, env, native=False):
        self.name = name
        self.display = display
        self.dir = os.path.join(out_dir, name)
        self.work = os.path.join(self.dir, 'work')
        self.exe = exe
        self.native = native
        self.env = dict(env, DISPLAY=f':{display}')
        self.env.pop('XAUTHORITY', None)
        if native:
            # The file chooser's memory of recent folders stays in the scenario.
            for variable, folder in (('XDG_CONFIG_HOME', 'config'), ('XDG_DATA_HOME', 'data'),
                                     ('XDG_CACHE_HOME', 'cache')):
                self.env[variable] = os.path.join(self.dir, folder)
        self.xvfb = self.wm = self.program = None
        self.captures = 0
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.work)
        self.log = open(os.path.join(self.dir, 'processes.log'), 'wb')

    # --- processes -------------------------------------------------------
    def x_tool(self, *command, timeout=SETTLE_DEADLINE):
        return subprocess.run(list(command), env=self.env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def start_display(self):
        if not self.native:
            subprocess.run(['wineserver', '--wait'], env=self.env, timeout=WINDOW_DEADLINE)
            forget_dialog_folders(self.env['WINEPREFIX'])
        self.xvfb = subprocess.Popen(
            ['Xvfb', f':{self.display}', '-screen', '0', f'{SCREEN[0]}x{SCREEN[1]}x24',
             '-nolisten', 'tcp', '-noreset'],
            stdout=self.log, stderr=self.log, env=self.env)
        wait_for('the X display', lambda: self.xvfb.poll() is None and
                 self.x_tool('xdpyinfo').returncode == 0, SETTLE_DEADLINE)
        self.wm = subprocess.Popen(['openbox', '--sm-disable'], stdout=self.log,
                                   stderr=self.log, env=self.env)
        wait_for('the window manager', lambda: self.wm.poll() is None and
                 self.x_tool('wmctrl', '-m').returncode == 0, SETTLE_DEADLINE)
        self.bind_keys(UNICODE_NAME)

    def bind_keys(self, text):
        """Gives every character of `text` that the keyboard lacks a key of
        its own, before the program starts: xdotool would otherwise bind one
        for each keystroke and take it away again, faster than Wine reads the
        keyboard's new layout, and the character would be lost."""
        layout = self.x_tool('xmodmap', '-pke').stdout.decode().splitlines()
        free = [line.split()[1] for line in layout if len(line.split()) == 3]
        missing = sorted({c for c in text if ord(c) > 0x7E})
        check(len(free) >= len(missing), f'only {len(free)} free keys for {missing}')
        for keycode, character in zip(free, missing):
            keysym = f'U{ord(character):04X}'
            self.x_tool('xmodmap', '-e', f'keycode {keycode} = {keysym} {keysym}')

    def start_program(self, cwd=None):
        exe = os.path.join(self.work, os.path.basename(self.exe))
        shutil.copy(self.exe, exe)
        command = [exe] if self.native else ['wine', exe]
        self.program = subprocess.Popen(command, cwd=cwd or self.work, env=self.env,
                                        stdout=self.log, stderr=self.log)

    def typed(self, path):
        """A path as the program's dialog takes it and its caption shows it."""
        return path if self.native else z_path(path)

    def close_program(self):
        """Closes the main window and returns the exit status."""
        window = self.main_window()
        self.x_tool('wmctrl', '-i', '-c', window)
        try:
            return self.program.wait(timeout=WINDOW_DEADLINE)
        except subprocess.TimeoutExpired:
            raise Failure('the program did not end after its window was closed')

    def record_failure(self):
        """Keeps what a failure leaves: the whole screen, the windows there
        and the state of every process, beside the scenario's captures."""
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.x_tool('import', '-window', 'root', os.path.join(self.dir, 'failure-screen.png'))
            with open(os.path.join(self.dir, 'failure-windows.txt'), 'wb') as out:
                out.write(self.x_tool('wmctrl', '-l', '-p').stdout)
                out.write(self.x_tool('xwininfo', '-root', '-tree').stdout)
        with open(os.path.join(self.dir, 'failure-processes.txt'), 'wb') as out:
            out.write(subprocess.run(['ps', '-eo', 'pid,ppid,stat,wchan:20,etime,time,args'],
                                     stdout=subprocess.PIPE).stdout)

    def end(self):
        """Ends whatever is still running, by process id, and waits for
        Wine's own processes of this run to go."""
        problems = []
        if self.program is not None and self.program.poll() is None:
            problems.append('program still running at the end')
            self.program.kill()
            self.program.wait()
        try:
            if not self.native:
                subprocess.run(['wineserver', '--wait'], env=self.env, timeout=WINDOW_DEADLINE,
                               stdout=self.log, stderr=self.log)
        except subprocess.TimeoutExpired:
            problems.append("Wine's processes did not end")
            subprocess.run(['wineserver', '--kill'], env=self.env, stdout=self.log,
                           stderr=self.log)
        for process in (self.wm, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.log.close()
        return problems

    # --- windows ---------------------------------------------------------
    def windows(self):
        """(window id, caption) of the program's top-level windows."""
        result = self.x_tool('wmctrl', '-l', '-p')
        found = []
        for line in result.stdout.decode('utf-8', 'replace').splitlines():
            fields = line.split(None, 4)
            if len(fields) >= 4 and self.program and fields[2] == str(self.program.pid):
                found.append((fields[0], fields[4] if len(fields) == 5 else ''))
        return found

    def window_titled(self, title):
        matches = [window for window, caption in self.windows() if caption == title]
        return matches[0] if matches else None

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
        text = self.x_tool('xwininfo', '-id', window).stdout.decode()
        values = {}
        for line in text.splitlines():
            key, _, value = line.strip().partition(':')
            values[key] = value.strip()
        return (int(values['Absolute upper-left X']), int(values['Absolute upper-left Y']),
                int(values['Width']), int(values['Height']))

    def activate(self, window):
        self.x_tool('wmctrl', '-i', '-a', window)

        def active():
            # Empty while the focus moves between windows.
            answer = self.x_tool('xdotool', 'getactivewindow').stdout.strip()
            return answer.isdigit() and int(answer) == int(window, 16)
        wait_for('the window to take the focus', active, SETTLE_DEADLINE)

    def click(self, window, button=1, at=(20, 20)):
        left, top, _, _ = self.geometry(window)
        self.x_tool('xdotool', 'mousemove', str(left + at[0]), str(top + at[1]))
        self.x_tool('xdotool', 'click', str(button))

    def key(self, *keys):
        self.x_tool('xdotool', 'key', '--delay', '30', *keys)

    # --- captures --------------------------------------------------------
    def capture(self, window, label):
        """Saves the client area as a PNG and returns its pixels."""
        self.captures += 1
        path = os.path.join(self.dir, f'{self.captures:02d}-{label}.png')
        result = self.x_tool('import', '-window', window, path)
        check(result.returncode == 0, f'capture {label} failed')
        raw = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'],
                             stdout=subprocess.PIPE, check=True).stdout
        width, height = self.geometry(window)[2:]
        check(len(raw) == width * height * 3, f'capture {label}: unexpected size')
        return Capture(width, height, raw)

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

    def all_white(self):
        return self.raw == bytes(WHITE) * (self.width * self.height)

    def not_white_outside(self, left, top, right, bottom):
        """How many pixels outside the given rectangle are not white."""
        return sum(1 for y in range(self.height) for x in range(self.width)
                   if not (left <= x < right and top <= y < bottom) and self.pixel(x, y) != WHITE)

    def colours_outside(self, rows):
        """How many pixels show a colour the picture's file does not have."""
        allowed = {bytes(colour) for row in rows for colour in row}
        return sum(1 for i in range(0, len(self.raw), 3) if self.raw[i:i + 3] not in allowed)


def z_path(unix_path):
    """The path as Windows programs under Wine see it: drive Z: is /."""
    return 'Z:' + unix_path.replace('/', '\\')


def cpu_seconds(pid):
    with open(f'/proc/{pid}/stat') as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def wait_idle(session, what):
    """Waits until the program uses less than a quarter of the processor over
    a second, as a program waiting for messages does on any machine; one that
    polls or steps uses all of it, however fast the machine, and never gets
    there."""
    def idle():
        before = cpu_seconds(session.program.pid)
        time.sleep(1)
        return cpu_seconds(session.program.pid) - before < 0.25
    wait_for(what, idle, SETTLE_DEADLINE, interval=0)


# --- steps shared by the scenarios ------------------------------------------
def expect_showing(session, window, rows, label):
    """The picture is drawn at the client area's top-left, fills it exactly,
    keeps its outer ring and dissolves inside."""
    width, height = len(rows[0]), len(rows)
    wait_fitted(session, window, width, height)
    first = session.capture(window, f'{label}-a')
    mismatches = first.ring_mismatches(rows)
    check(not mismatches, f'outer ring differs from the file at {mismatches[:5]}')
    second = wait_for('the picture to change', lambda: (
        lambda c: c if c.differing(first) > 0 else None)(
            session.capture(window, f'{label}-b')), SETTLE_DEADLINE, interval=0.5)
    mismatches = second.ring_mismatches(rows)
    check(not mismatches, f'outer ring changed at {mismatches[:5]}')
    return second


def choose_in_dialog(session, path):
    """Opens the file dialog with a left click and confirms the path, typed
    as the dialog takes it (GTK's chooser takes one after Ctrl+L); returns
    the main window."""
    window = session.main_window()
    session.activate(window)
    session.click(window)
    dialog = wait_for('the open-file dialog', lambda: session.window_titled(DIALOG_TITLE),
                      WINDOW_DEADLINE)
    session.activate(dialog)
    if session.native:
        session.key('ctrl+l', 'ctrl+a', 'BackSpace')
    else:
        session.key('End', 'shift+Home', 'BackSpace')
    session.x_tool('xdotool', 'type', '--delay', '15', '--', session.typed(path))
    session.key('Return')
    wait_for('the dialog to close', lambda: session.window_titled(DIALOG_TITLE) is None,
             WINDOW_DEADLINE)
    return window


def dismiss_error(session):
    box = wait_for('the error message box', lambda: session.window_titled(ERROR_CAPTION),
                   WINDOW_DEADLINE)
    session.activate(box)
    session.key('Return')
    wait_for('the message box to close', lambda: session.window_titled(ERROR_CAPTION) is None,
             WINDOW_DEADLINE)


def cancel_dialog(session, window):
    """Opens the file dialog with a left click and cancels it."""
    session.activate(window)
    session.click(window)
    dialog = wait_for('the open-file dialog', lambda: session.window_titled(DIALOG_TITLE),
                      WINDOW_DEADLINE)
    session.activate(dialog)
    session.key('Escape')


def wait_fitted(session, window, width, height):
    """Waits for the window's client area to be the picture's size: the
    caption changes before the fit, which under X lands when the window
    manager has carried it out."""
    try:
        wait_for('the window to be fitted to the picture',
                 lambda: session.geometry(window)[2:] == (width, height), WINDOW_DEADLINE)
    except Failure:
        raise Failure(f'client area {session.geometry(window)[2:]}, expected {(width, height)}')


def start_with_picture(session, width, height, flat=False):
    """Starts the program on a mottle.bmp of its own; returns the window,
    fitted to the picture, and the picture's rows."""
    _, rows = session.picture('mottle.bmp', width, height, flat=flat)
    session.start_program()
    window = session.wait_main_window('mottle.bmp')
    wait_fitted(session, window, width, height)
    return window, rows


# --- the scenarios ---------------------------------------------------------
def default_picture(session):
    """A W x H mottle.bmp in the working folder opens fitted and dissolves."""
    window, rows = start_with_picture(session, 400, 300)
    expect_showing(session, window, rows, 'default')
    check(session.caption() == 'mottle.bmp', f'caption {session.caption()!r}')


def missing_default(session):
    """Without mottle.bmp: one error message; a white 640 x 480 "MOTTLER"
    window that keeps running without using the processor."""
    session.start_program()
    wait_for('the error message box', lambda: session.window_titled(ERROR_CAPTION),
             START_DEADLINE)
    window = session.window_titled('MOTTLER')
    check(window is not None, f'no window captioned MOTTLER: {session.windows()}')
    # The outer size is 640 x 480; the client area is that less the frame
    # (which under X comes once the window manager has framed the window).
    def framed():
        area = session.geometry(window)
        return area if 600 <= area[2] < 640 and 400 <= area[3] < 480 else None
    try:
        client = wait_for('the client area of a 640 x 480 window', framed, WINDOW_DEADLINE)
    except Failure:
        raise Failure(f'client area {session.geometry(window)[2:]} does not belong to a '
                      '640 x 480 window')
    # Behind the message the window shows its white background from the
    # start, as the modal loop paints it; only where the box (with its frame)
    # lies over it may anything else show.
    box = session.window_titled(ERROR_CAPTION)

    def white_behind():
        main, over = session.geometry(window), session.geometry(box)
        margin = 40
        left, top = over[0] - main[0] - margin, over[1] - main[1] - margin
        shown = session.capture(window, 'behind-message')
        return shown.not_white_outside(left, top, left + over[2] + 2 * margin,
                                       top + over[3] + 2 * margin) == 0
    wait_for('the window behind the message to be white', white_behind, WINDOW_DEADLINE,
             interval=0.5)
    dismiss_error(session)
    # Once the program is idle it has done all that OK leads to.
    wait_idle(session, 'the program to wait, idle, without a picture')
    check(session.window_titled(ERROR_CAPTION) is None, 'the message box came back')
    check(session.program.poll() is None, 'the program ended after OK')
    check(session.caption() == 'MOTTLER', f'caption {session.caption()!r}')
    check(session.geometry(window) == client, 'the window changed after OK')
    check(session.capture(window, 'white').all_white(), 'the window is not white')


def click_open_24bit(session):
    """Left click, type a 24-bit file's full path: caption, refit at the same
    top-left, the new picture dissolves."""
    window, _ = start_with_picture(session, 400, 300)
    left, top, _, _ = session.geometry(window)
    path, rows = session.picture('second.bmp', 360, 220, variant=2)
    choose_in_dialog(session, path)
    wait_for('the caption to become the path',
             lambda: session.caption() == session.typed(path), WINDOW_DEADLINE)
    wait_for('the window to be refitted',
             lambda: session.geometry(window)[2:] == (360, 220), WINDOW_DEADLINE)
    check(session.geometry(window)[:2] == (left, top),
          f'top-left moved from {(left, top)} to {session.geometry(window)[:2]}')
    expect_showing(session, window, rows, 'second')


def click_refused_8bit(session):
    """Left click, pick an 8-bit file: the message box; afterwards the old
    picture goes on with its caption and size. A later click and Cancel try
    the refused file again and show the message again."""
    window, rows = start_with_picture(session, 400, 300)
    geometry = session.geometry(window)
    eight_bit = os.path.join(session.work, 'pal8.bmp')
    shutil.copyfile(os.path.join(ROOT, 'tests', 'data', 'bmpsuite', 'g', 'pal8.bmp'), eight_bit)
    choose_in_dialog(session, eight_bit)
    dismiss_error(session)
    check(session.caption() == 'mottle.bmp', f'caption {session.caption()!r}')
    check(session.geometry(window) == geometry,
          f'window moved or resized: {session.geometry(window)} from {geometry}')
    expect_showing(session, window, rows, 'after-refusal')
    # The refused path stays the current file: a later Cancel tries it again.
    cancel_dialog(session, window)
    dismiss_error(session)
    check(session.caption() == 'mottle.bmp', f'caption after Cancel {session.caption()!r}')
    check(session.geometry(window) == geometry, 'window moved or resized after Cancel')
    expect_showing(session, window, rows, 'after-second-refusal')


def click_cancel_reloads(session):
    """Left click, Cancel: the file is loaded again from disk and the picture
    starts over from its stored state. The file is rewritten with other
    colours before the Cancel, so the reload shows at any speed: the ring is
    then the new file's, and since the step only copies colours, no pixel
    keeps a colour of the picture that was dissolving before."""
    window, rows = start_with_picture(session, 400, 300, flat=True)
    expect_showing(session, window, rows, 'before-cancel')
    _, new_rows = session.picture('mottle.bmp', 400, 300, variant=1, flat=True)
    cancel_dialog(session, window)
    wait_for('the dialog to close', lambda: session.window_titled(DIALOG_TITLE) is None,
             WINDOW_DEADLINE)
    seen = []

    def reloaded():
        seen.append(session.capture(window, 'reloaded'))
        return not seen[-1].ring_mismatches(new_rows)
    try:
        wait_for('the picture to start over from the file', reloaded, WINDOW_DEADLINE,
                 interval=0.3)
    except Failure:
        raise Failure(f'after Cancel the ring differs from the file at '
                      f'{seen[-1].ring_mismatches(new_rows)[:5]}')
    strays = seen[-1].colours_outside(new_rows)
    check(strays == 0, f'after Cancel {strays} pixels show colours the file does not have')
    check(session.caption() == 'mottle.bmp', f'caption {session.caption()!r}')
    check(session.geometry(window)[2:] == (400, 300), 'the window was not fitted again')
    expect_showing(session, window, new_rows, 'after-cancel')


def long_path(session):
    """A picture whose full path is 128 bytes or longer loads."""
    window, _ = start_with_picture(session, 400, 300)
    folder = os.path.join(session.work, 'a-folder-deep-enough', 'that-the-full-path',
                          'passes-one-hundred-and-twenty-eight-bytes')
    os.makedirs(folder)
    path, rows = session.picture('a-picture-with-a-long-name.bmp', 330, 250, variant=4,
                                 folder=folder)
    check(len(session.typed(path).encode()) >= 128, f'path only {len(session.typed(path))} bytes')
    choose_in_dialog(session, path)
    wait_for('the caption to become the long path',
             lambda: session.caption() == session.typed(path), WINDOW_DEADLINE)
    wait_for('the window to be refitted',
             lambda: session.geometry(window)[2:] == (330, 250), WINDOW_DEADLINE)
    expect_showing(session, window, rows, 'long-path')


def unicode_name(session):
    """A picture whose name has characters outside the system's code page
    (ü and € outside Japanese, 写真 outside Western ones), typed into the
    dialog, loads, becomes the caption and the window is refitted."""
    window, _ = start_with_picture(session, 400, 300)
    path, rows = session.picture(UNICODE_NAME, 340, 260, variant=3)
    choose_in_dialog(session, path)
    check(session.window_titled(ERROR_CAPTION) is None, 'the file was refused')
    wait_for('the caption to become the path',
             lambda: session.caption() == session.typed(path), WINDOW_DEADLINE)
    wait_for('the window to be refitted',
             lambda: session.geometry(window)[2:] == (340, 260), WINDOW_DEADLINE)
    expect_showing(session, window, rows, 'unicode-name')


def default_from_deep_folder(session):
    """Started from a working folder whose path is 128 bytes or longer and
    holds no mottle.bmp, the program still finds the one beside it."""
    _, rows = session.picture('mottle.bmp', 400, 300, variant=2)
    deep = os.path.join(session.work, 'a-working-folder-deep-enough', 'that-its-full-path',
                        'passes-one-hundred-and-twenty-eight-bytes-in-all')
    os.makedirs(deep)
    check(len(session.typed(deep).encode()) >= 128,
          f'folder path only {len(session.typed(deep))} bytes')
    session.start_program(cwd=deep)
    window = session.wait_main_window('mottle.bmp')
    check(session.window_titled(ERROR_CAPTION) is None, 'the error message is shown')
    expect_showing(session, window, rows, 'deep-folder')


def inert_inputs(session):
    """Right clicks, key presses and mouse moves change nothing."""
    window, rows = start_with_picture(session, 400, 300)
    geometry = session.geometry(window)
    session.activate(window)
    session.click(window, button=3, at=(50, 60))
    for x, y in ((10, 10), (200, 150), (390, 290), (100, 250)):
        session.x_tool('xdotool', 'mousemove', str(geometry[0] + x), str(geometry[1] + y))
    session.key('a', 'Return', 'space', 'Escape', 'F1', 'Down', 'ctrl+o')
    session.click(window, button=3, at=(300, 100))
    # A left click last: the program takes its input in order, so once the
    # dialog it opens is there, every input before it has been handled, on a
    # machine of any speed. No other window may have come with them.
    session.click(window)
    wait_for('the open-file dialog', lambda: session.window_titled(DIALOG_TITLE),
             WINDOW_DEADLINE)
    others = [w for w in session.windows() if w[1] not in ('mottle.bmp', DIALOG_TITLE)]
    check(not others, f'windows after the inputs: {session.windows()}')
    check(session.geometry(window) == geometry, 'the window moved or was resized')
    session.activate(session.window_titled(DIALOG_TITLE))
    session.key('Escape')
    wait_for('the dialog to close', lambda: session.window_titled(DIALOG_TITLE) is None,
             WINDOW_DEADLINE)
    check(session.geometry(window) == geometry, 'the window moved or was resized')
    expect_showing(session, window, rows, 'after-inputs')


def scaled_display(session):
    """On a display scaled twice (GDK_SCALE=2) the picture is shown one file
    pixel to one screen pixel: the client area is its size in screen pixels
    (an odd width and height get one more column and row, white), the ring is
    the file's pixel for pixel, and it dissolves. A click still opens the
    dialog, and a picture chosen there is fitted the same way."""
    session.env['GDK_SCALE'] = '2'
    _, rows = session.picture('mottle.bmp', 401, 301)
    session.start_program()
    window = session.wait_main_window('mottle.bmp')
    expect_scaled_showing(session, window, rows, 'scaled')
    path, second = session.picture('second.bmp', 360, 220, variant=2)
    choose_in_dialog(session, path)
    wait_for('the caption to become the path', lambda: session.caption() == path,
             WINDOW_DEADLINE)
    expect_scaled_showing(session, window, second, 'scaled-second')


scaled_display.native_only = True


def expect_scaled_showing(session, window, rows, label):
    """As expect_showing, on a display scaled twice: the content is the
    picture's size rounded up to whole logical pixels, the rest white."""
    width, height = len(rows[0]), len(rows)
    content = (width + width % 2, height + height % 2)
    try:
        wait_for('the window to be fitted to the picture',
                 lambda: session.geometry(window)[2:] == content, WINDOW_DEADLINE)
    except Failure:
        raise Failure(f'content {session.geometry(window)[2:]}, expected {content}')
    first = session.capture(window, f'{label}-a')
    mismatches = first.ring_mismatches(rows)
    check(not mismatches, f'outer ring differs from the file at {mismatches[:5]}')
    strays = first.not_white_outside(0, 0, width, height)
    check(strays == 0, f'{strays} pixels beyond the picture are not white')
    second = wait_for('the picture to change', lambda: (
        lambda c: c if c.differing(first) > 0 else None)(
            session.capture(window, f'{label}-b')), SETTLE_DEADLINE, interval=0.5)
    mismatches = second.ring_mismatches(rows)
    check(not mismatches, f'outer ring changed at {mismatches[:5]}')


def installed_from_any_folder(session):
    """Installed into a folder of its own (cmake --install with DESTDIR) and
    started there from an unrelated empty working folder, the program opens
    the picture it installed with itself."""
    build = os.path.dirname(session.exe)
    root = os.path.join(session.dir, 'root')
    result = subprocess.run(['cmake', '--install', build, '--prefix', '/usr'],
                            env=dict(os.environ, DESTDIR=root), stdout=session.log,
                            stderr=session.log, timeout=WINDOW_DEADLINE)
    check(result.returncode == 0, 'cmake --install failed')
    program = os.path.join(root, 'usr', 'bin', 'mottler')
    check(os.access(program, os.X_OK), 'no usr/bin/mottler installed')
    empty = os.path.join(session.dir, 'empty')
    os.makedirs(empty)
    session.program = subprocess.Popen([program], cwd=empty, env=session.env,
                                       stdout=session.log, stderr=session.log)
    window = session.wait_main_window('mottle.bmp')
    check(session.window_titled(ERROR_CAPTION) is None, 'the error message is shown')
    rows = pictures.read_bmp(os.path.join(root, 'usr', 'share', 'mottler', 'mottle.bmp'))
    expect_showing(session, window, rows, 'installed')


installed_from_any_folder.native_only = True


SCENARIOS = [default_picture, missing_default, click_open_24bit, click_refused_8bit,
             click_cancel_reloads, long_path, unicode_name, default_from_deep_folder,
             inert_inputs, scaled_display, installed_from_any_folder]


def free_display(start):
    number = start
    while os.path.exists(f'/tmp/.X{number}-lock') or os.path.exists(
            f'/tmp/.X11-unix/X{number}'):
        number += 1
    return number


def run_scenario(scenario, display, args, env):
    session = Session(scenario.__name__, display, args.out, args.exe, env, args.native)
    started = time.monotonic()
    error = None
    try:
        session.start_display()
        scenario(session)
        status = session.close_program()
        check(status == 0, f'exit status {status} after closing the window')
    except Failure as failure:
        error = str(failure)
    except Exception:  # a fault of the harness itself is a failure too
        error = traceback.format_exc().strip().splitlines()[-1]
    if error is not None:
        session.record_failure()
    problems = session.end()
    if error is None and problems:
        error = '; '.join(problems)
    return error, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--exe', required=True)
    parser.add_argument('--native', action='store_true',
                        help='the native Linux program, not mottler.exe under Wine')
    parser.add_argument('--out', default=None)
    parser.add_argument('--display', type=int, default=70)
    parser.add_argument('--locale', default=None,
                        help='LANG for Wine (default: the one scripts/wine-env.sh sets)')
    parser.add_argument('--only', nargs='*', default=None)
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.out = os.path.abspath(args.out or os.path.join(os.path.dirname(args.exe),
                                                        'e2e-captures'))
    os.makedirs(args.out, exist_ok=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))

    if args.native:
        env = native_environment(args.locale or 'en_US.UTF-8')
    else:
        env = wine_environment()
        if args.locale:
            env['LANG'] = args.locale
    chosen = [s for s in SCENARIOS if (args.only is None or s.__name__ in args.only) and
              (args.native or not getattr(s, 'native_only', False))]
    passed = failed = 0
    summary = open(os.path.join(args.out, 'summary.txt'), 'w', encoding='utf-8')

    def report(line):
        print(line, flush=True)
        summary.write(line + '\n')
        summary.flush()
    for scenario in chosen:
        display = free_display(args.display)
        error, seconds = run_scenario(scenario, display, args, env)
        if error is None:
            passed += 1
            report(f'PASS {scenario.__name__} ({seconds:.0f} s)')
        else:
            failed += 1
            report(f'FAIL {scenario.__name__} ({seconds:.0f} s): {error}')
    kind = 'native' if args.native else 'Wine'
    report(f'e2e ({kind}, {env["LANG"]}): {passed} passed, {failed} failed')
    report(f'captures: {args.out}')
    summary.close()
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == '__main__':
    sys.exit(main())

"""A virtual Wayland session: Debian's weston on its headless backend (pixman
renderer) at an output scale of 1, 2 or 3, with XWayland beside it, so that
a program finds WAYLAND_DISPLAY and DISPLAY both set, as in a GNOME or KDE
session. weston-screenshooter (weston runs with --debug for it) captures the
whole output in device pixels. A headless weston takes no synthetic input.
weston wants a private XDG_RUNTIME_DIR (mode 0700): each session has its own."""
import glob
import os
import shutil
import subprocess
import tempfile

from xsession import SETTLE_DEADLINE, XSession, check, wait_for

DESKTOP = (0x1f, 0x3b, 0x57)  # the flat desktop: what is not a window is this
CONFIG = ('[core]\nidle-time=0\n[shell]\nbackground-color=0xff%02x%02x%02x\n'
          'background-image=/nonexistent\npanel-position=none\n' % DESKTOP)


class WaylandSession(XSession):
    """One weston (with XWayland) at output scale `scale`, in place of Xvfb;
    tools run with its WAYLAND_DISPLAY and DISPLAY."""

    def __init__(self, number, scale, env=None, log=subprocess.DEVNULL):
        super().__init__(number, env, log)
        self.scale, self.socket = scale, f'mottler-wayland-{number}'
        self.runtime = tempfile.mkdtemp(prefix='mottler-wayland-')  # mode 0700
        self.env.update(XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=self.socket)
        self.env.pop('GDK_BACKEND', None)  # the program chooses, as on a desktop

    def start(self, size):
        """Starts weston with an output of size (width, height) in logical
        pixels, and waits for its socket and the X server beside it."""
        config, log = (os.path.join(self.runtime, n) for n in ('weston.ini', 'weston.log'))
        with open(config, 'w') as out:
            out.write(CONFIG)
        os.makedirs('/tmp/.X11-unix', exist_ok=True)  # where XWayland's socket goes
        self.xvfb = subprocess.Popen(
            ['weston', f'--config={config}', '--backend=headless-backend.so', '--use-pixman',
             '--debug', '--xwayland', f'--scale={self.scale}', f'--width={size[0]}',
             f'--height={size[1]}', f'--socket={self.socket}', f'--log={log}'],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=self.env)

        def x_display():
            check(self.running(), 'weston ended')
            if not os.path.exists(log):
                return None
            with open(log, errors='replace') as text:
                said = [line for line in text if 'xserver listening on display' in line]
            ready = said and os.path.exists(os.path.join(self.runtime, self.socket))
            return said[0].split()[-1] if ready else None
        self.env['DISPLAY'] = wait_for('weston and its X server', x_display, SETTLE_DEADLINE)

    def stop(self):
        super().stop()
        shutil.rmtree(self.runtime, ignore_errors=True)

    def x_window_titled(self, title):
        """Is there a window of that title on the X server beside weston?"""
        tree = self.x_tool('xwininfo', '-root', '-tree').stdout
        return f'"{title}"'.encode() in tree

    def screenshot(self, path):
        """Saves the whole output to path; returns (width, height, raw RGB)."""
        folder = tempfile.mkdtemp(dir=self.runtime)
        subprocess.run(['weston-screenshooter'], cwd=folder, env=self.env, stdout=self.log,
                       stderr=self.log, timeout=SETTLE_DEADLINE)
        shots = glob.glob(os.path.join(folder, '*.png'))
        check(len(shots) == 1, 'weston-screenshooter failed')
        shutil.move(shots[0], path)
        width, height = map(int, self.x_tool('identify', '-format', '%w %h', path).stdout.split())
        raw = self.x_tool('convert', path, '-depth', '8', 'rgb:-').stdout
        check(len(raw) == width * height * 3, f'{os.path.basename(path)}: unexpected size')
        return width, height, raw

    def record(self, folder):
        """Keeps weston's log, for a failure's record (the scenario's own
        screenshots show the output)."""
        if self.running():
            shutil.copy(os.path.join(self.runtime, 'weston.log'), folder)


def find_rows(width, raw, rows):
    """(left, top) of the picture in a screenshot of that width, found by its
    top and bottom rows as they are; None while they are not there."""
    top_row, bottom_row = (b''.join(map(bytes, row)) for row in (rows[0], rows[-1]))
    at = raw.find(top_row)
    while at >= 0:
        left, top = at // 3 % width, at // 3 // width
        below = ((top + len(rows) - 1) * width + left) * 3
        if at % 3 == 0 and raw[below:below + len(bottom_row)] == bottom_row:
            return left, top
        at = raw.find(top_row, at + 1)
    return None

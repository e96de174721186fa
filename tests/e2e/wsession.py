"""A virtual Wayland session: Debian's weston on its headless backend (the
pixman renderer, no GPU), at an output scale of 1, 2 or 3, with XWayland
beside it as on a desktop, so that a program finds both WAYLAND_DISPLAY and
DISPLAY set, as it does in a GNOME or KDE session. Screenshots come from
weston-screenshooter (weston runs with --debug for it), of the whole output
in device pixels. A headless weston takes no synthetic input.

weston refuses to run without a private XDG_RUNTIME_DIR (mode 0700): each
session makes its own, and its own socket name, so sessions never meet."""
import glob
import os
import shutil
import subprocess
import tempfile

from xsession import SETTLE_DEADLINE, Failure, check, wait_for

# The desktop's colour, flat, without a panel: what is not a window is this.
DESKTOP = (0x1f, 0x3b, 0x57)
CONFIG = f"""[core]
idle-time=0
[shell]
background-color=0xff{DESKTOP[0]:02x}{DESKTOP[1]:02x}{DESKTOP[2]:02x}
background-image=/nonexistent
panel-position=none
"""


class WaylandSession:
    """One weston (with XWayland) at output scale `scale`; tools run with
    its WAYLAND_DISPLAY and DISPLAY."""

    def __init__(self, number, scale, env=None, log=subprocess.DEVNULL):
        self.scale = scale
        self.socket = f'mottler-wayland-{number}'
        self.runtime = tempfile.mkdtemp(prefix='mottler-wayland-')  # mode 0700
        env = dict(os.environ if env is None else env, XDG_RUNTIME_DIR=self.runtime,
                   WAYLAND_DISPLAY=self.socket)
        env.pop('GDK_BACKEND', None)  # the program chooses, as on a desktop
        self.env = env
        self.log = log
        self.weston = None

    def start(self, size):
        """Starts weston with an output of size (width, height) in logical
        pixels, and waits for its socket and its X server."""
        config = os.path.join(self.runtime, 'weston.ini')
        with open(config, 'w') as out:
            out.write(CONFIG)
        # XWayland's socket goes where every X server's does; a machine that
        # never ran one has no such folder yet.
        os.makedirs('/tmp/.X11-unix', exist_ok=True)
        weston_log = os.path.join(self.runtime, 'weston.log')
        self.weston = subprocess.Popen(
            ['weston', f'--config={config}', '--backend=headless-backend.so', '--use-pixman',
             '--debug', '--xwayland', f'--scale={self.scale}', f'--width={size[0]}',
             f'--height={size[1]}', f'--socket={self.socket}', f'--log={weston_log}'],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=self.env)

        def x_display():
            check(self.weston.poll() is None, 'weston ended')
            if not os.path.exists(os.path.join(self.runtime, self.socket)):
                return None
            with open(weston_log, errors='replace') as text:
                for line in text:
                    if 'xserver listening on display' in line:
                        return line.rsplit(None, 1)[-1]
            return None
        self.env['DISPLAY'] = wait_for('weston and its X server', x_display, SETTLE_DEADLINE)

    def running(self):
        return self.weston is not None and self.weston.poll() is None

    def stop(self):
        if self.running():
            self.weston.terminate()
            try:
                self.weston.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.weston.kill()
                self.weston.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)

    def x_tool(self, *command, timeout=SETTLE_DEADLINE):
        return subprocess.run(list(command), env=self.env, timeout=timeout,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)

    def x_window_titled(self, title):
        """Is there a window of that title on the X server beside weston?"""
        tree = self.x_tool('xwininfo', '-root', '-tree').stdout.decode('utf-8', 'replace')
        return f'"{title}"' in tree

    def screenshot(self, path):
        """Saves the whole output to path; returns (width, height, raw RGB)."""
        folder = tempfile.mkdtemp(dir=self.runtime)
        result = subprocess.run(['weston-screenshooter'], cwd=folder, env=self.env,
                                stdout=self.log, stderr=self.log, timeout=SETTLE_DEADLINE)
        shots = glob.glob(os.path.join(folder, '*.png'))
        check(result.returncode == 0 and len(shots) == 1, 'weston-screenshooter failed')
        shutil.move(shots[0], path)
        shutil.rmtree(folder)
        size = subprocess.run(['identify', '-format', '%w %h', path], stdout=subprocess.PIPE,
                              check=True).stdout.split()
        raw = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'],
                             stdout=subprocess.PIPE, check=True).stdout
        width, height = int(size[0]), int(size[1])
        check(len(raw) == width * height * 3, f'{os.path.basename(path)}: unexpected size')
        return width, height, raw

    def record(self, folder):
        """Keeps the whole output and weston's log, for a failure's record."""
        if self.running():
            try:
                self.screenshot(os.path.join(folder, 'failure-screen.png'))
            except (Failure, subprocess.SubprocessError):
                pass
        log = os.path.join(self.runtime, 'weston.log')
        if os.path.exists(log):
            shutil.copy(log, folder)


def find_rows(width, raw, rows):
    """Where the picture's top and bottom rows lie, as they are, in a
    screenshot of the given width: (left, top) of the picture, or None."""
    top_row = b''.join(bytes(colour) for colour in rows[0])
    bottom_row = b''.join(bytes(colour) for colour in rows[-1])
    at = raw.find(top_row)
    while at >= 0:
        left, top = (at // 3) % width, at // 3 // width
        below = ((top + len(rows) - 1) * width + left) * 3
        if at % 3 == 0 and raw[below:below + len(bottom_row)] == bottom_row:
            return left, top
        at = raw.find(top_row, at + 1)
    return None

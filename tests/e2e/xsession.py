#!/usr/bin/env python3
"""A virtual X session: an Xvfb display on the first free number from a given
one, with openbox on it (without a window manager Wine's windows take no keys
and cannot be closed, and no window gets a frame), and what is done there:
windows listed by process, their geometry, focus, clicks and keys, captures.
Every wait polls with a deadline.

The end-to-end scenarios use it as a module. Shell scripts use it from the
command line (scripts/lib.sh wraps it):

  xsession.py start --first N --size WxH   starts a session that outlives the
        command and prints DISPLAY=:n XVFB_PID=p WM_PID=q, for eval
  xsession.py stop PID...                  ends those processes
  xsession.py wait-window --pid P --caption C [--timeout S]
        prints the id of process P's window captioned C once there is one
  xsession.py close WINDOW                 asks the window manager to close it
  xsession.py capture [--frame] WINDOW FILE   saves the window as a picture
  xsession.py wait-exit --pid P [--timeout S]   waits for process P to end

The commands other than start act on the display DISPLAY names.
"""
import argparse
import os
import signal
import subprocess
import sys
import time

# Deadlines, in seconds: for Wine to start the program (under an instruction
# translator, on a busy machine, that takes minutes), for a window to appear
# or go after an input, and for a display or window manager to start.
START_DEADLINE = 300
WINDOW_DEADLINE = 120
SETTLE_DEADLINE = 60


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


def free_display(start):
    number = start
    while os.path.exists(f'/tmp/.X{number}-lock') or os.path.exists(
            f'/tmp/.X11-unix/X{number}'):
        number += 1
    return number


def process_gone(pid):
    """True once process pid has ended (a zombie waiting to be reaped has)."""
    try:
        with open(f'/proc/{pid}/stat') as stat:
            return stat.read().rsplit(')', 1)[1].split()[0] == 'Z'
    except (FileNotFoundError, ProcessLookupError):
        return True


def end_pid(pid, grace=10):
    """Ends a process that is not this one's child: asked first, then forced."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            return
        try:
            wait_for(f'process {pid} to end', lambda: process_gone(pid), grace, interval=0.1)
            return
        except Failure:
            pass


class XSession:
    """One display and its window manager; tools run with its DISPLAY."""

    def __init__(self, display, env=None, log=subprocess.DEVNULL):
        self.display = display
        self.env = dict(os.environ if env is None else env, DISPLAY=f':{display}')
        self.env.pop('XAUTHORITY', None)
        self.log = log
        self.xvfb = self.wm = None

    # --- the session ------------------------------------------------------
    def start(self, size, detached=False):
        """Starts Xvfb of size (width, height) and openbox and waits for both.
        Detached, they outlive this process (for the command line); their
        output never goes to this process's own output."""
        extra = {'start_new_session': True} if detached else {}
        self.xvfb = subprocess.Popen(
            ['Xvfb', f':{self.display}', '-screen', '0', f'{size[0]}x{size[1]}x24',
             '-nolisten', 'tcp', '-noreset'],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=self.env, **extra)
        wait_for('the X display', lambda: self.xvfb.poll() is None and
                 self.x_tool('xdpyinfo').returncode == 0, SETTLE_DEADLINE)
        self.wm = subprocess.Popen(['openbox', '--sm-disable'], stdin=subprocess.DEVNULL,
                                   stdout=self.log, stderr=self.log, env=self.env, **extra)
        wait_for('the window manager', lambda: self.wm.poll() is None and
                 self.x_tool('wmctrl', '-m').returncode == 0, SETTLE_DEADLINE)

    def running(self):
        return self.xvfb is not None and self.xvfb.poll() is None

    def stop(self):
        """Ends the window manager and the display, by process id."""
        for process in (self.wm, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()

    def x_tool(self, *command, timeout=SETTLE_DEADLINE):
        return subprocess.run(list(command), env=self.env, timeout=timeout,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)

    # --- key maps ---------------------------------------------------------
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

    # --- windows ----------------------------------------------------------
    def windows(self, pid):
        """(window id, caption) of process pid's top-level windows."""
        result = self.x_tool('wmctrl', '-l', '-p')
        found = []
        for line in result.stdout.decode('utf-8', 'replace').splitlines():
            fields = line.split(None, 4)
            if len(fields) >= 4 and fields[2] == str(pid):
                found.append((fields[0], fields[4] if len(fields) == 5 else ''))
        return found

    def window_titled(self, pid, title):
        matches = [window for window, caption in self.windows(pid) if caption == title]
        return matches[0] if matches else None

    def geometry(self, window):
        """Client area: (left, top, width, height) on the screen."""
        text = self.x_tool('xwininfo', '-id', window).stdout.decode()
        values = {}
        for line in text.splitlines():
            key, _, value = line.strip().partition(':')
            values[key] = value.strip()
        return (int(values['Absolute upper-left X']), int(values['Absolute upper-left Y']),
                int(values['Width']), int(values['Height']))

    def close(self, window):
        """Asks the window manager to close the window, as its close box does."""
        self.x_tool('wmctrl', '-i', '-c', window)

    # --- input ------------------------------------------------------------
    def activate(self, window):
        self.x_tool('wmctrl', '-i', '-a', window)

        def active():
            # Empty while the focus moves between windows.
            answer = self.x_tool('xdotool', 'getactivewindow').stdout.strip()
            return answer.isdigit() and int(answer) == int(window, 16)
        wait_for('the window to take the focus', active, SETTLE_DEADLINE)

    def click(self, window, button=1, at=(20, 20)):
        left, top, _, _ = self.geometry(window)
        self.move_pointer(left + at[0], top + at[1])
        self.x_tool('xdotool', 'click', str(button))

    def move_pointer(self, x, y):
        self.x_tool('xdotool', 'mousemove', str(x), str(y))

    def key(self, *keys):
        self.x_tool('xdotool', 'key', '--delay', '30', *keys)

    def type_text(self, text):
        self.x_tool('xdotool', 'type', '--delay', '15', '--', text)

    # --- captures ---------------------------------------------------------
    def capture(self, window, path, frame=False):
        """Saves the window (its client area, or with frame its whole frame)
        to path; True when that worked."""
        command = ['import'] + (['-frame'] if frame else []) + ['-window', window, path]
        return self.x_tool(*command).returncode == 0

    def capture_pixels(self, window, path):
        """Saves the client area to path and returns (width, height, raw RGB)."""
        check(self.capture(window, path), f'capture {os.path.basename(path)} failed')
        raw = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'],
                             stdout=subprocess.PIPE, check=True).stdout
        width, height = self.geometry(window)[2:]
        check(len(raw) == width * height * 3,
              f'capture {os.path.basename(path)}: unexpected size')
        return width, height, raw

    def record(self, folder):
        """Keeps the whole screen and the windows there, for a failure's record."""
        if not self.running():
            return
        self.x_tool('import', '-window', 'root', os.path.join(folder, 'failure-screen.png'))
        with open(os.path.join(folder, 'failure-windows.txt'), 'wb') as out:
            out.write(self.x_tool('wmctrl', '-l', '-p').stdout)
            out.write(self.x_tool('xwininfo', '-root', '-tree').stdout)


# --- the command line ---------------------------------------------------------
def current_session():
    display = os.environ.get('DISPLAY', '')
    if not display.startswith(':'):
        sys.exit('xsession.py: DISPLAY names no local display')
    return XSession(int(display[1:].split('.')[0]))


def command_start(args):
    width, _, height = args.size.partition('x')
    session = XSession(free_display(args.first))
    try:
        session.start((int(width), int(height)), detached=True)
    except Failure:
        session.stop()
        raise
    print(f'DISPLAY=:{session.display} XVFB_PID={session.xvfb.pid} WM_PID={session.wm.pid}')


def command_wait_window(args):
    session = current_session()
    window = wait_for(f'the window "{args.caption}" of process {args.pid}',
                      lambda: session.window_titled(args.pid, args.caption), args.timeout)
    print(window)


def command_capture(args):
    if not current_session().capture(args.window, args.file, frame=args.frame):
        sys.exit(f'xsession.py: could not capture window {args.window}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest='command', required=True)
    start = commands.add_parser('start')
    start.add_argument('--first', type=int, required=True)
    start.add_argument('--size', required=True)
    start.set_defaults(run=command_start)
    stop = commands.add_parser('stop')
    stop.add_argument('pids', type=int, nargs='*')
    stop.set_defaults(run=lambda args: [end_pid(pid) for pid in args.pids])
    wait_window = commands.add_parser('wait-window')
    wait_window.add_argument('--pid', type=int, required=True)
    wait_window.add_argument('--caption', required=True)
    wait_window.add_argument('--timeout', type=float, default=WINDOW_DEADLINE)
    wait_window.set_defaults(run=command_wait_window)
    close = commands.add_parser('close')
    close.add_argument('window')
    close.set_defaults(run=lambda args: current_session().close(args.window))
    capture = commands.add_parser('capture')
    capture.add_argument('--frame', action='store_true')
    capture.add_argument('window')
    capture.add_argument('file')
    capture.set_defaults(run=command_capture)
    wait_exit = commands.add_parser('wait-exit')
    wait_exit.add_argument('--pid', type=int, required=True)
    wait_exit.add_argument('--timeout', type=float, default=WINDOW_DEADLINE)
    wait_exit.set_defaults(run=lambda args: wait_for(
        f'process {args.pid} to end', lambda: process_gone(args.pid), args.timeout))
    args = parser.parse_args()
    try:
        args.run(args)
    except Failure as failure:
        sys.exit(f'xsession.py: {failure}')
    return 0


if __name__ == '__main__':
    sys.exit(main())

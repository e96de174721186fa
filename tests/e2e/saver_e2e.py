#!/usr/bin/env python3
"""End to end with the real xscreensaver daemon: mottlescreen as the one hack
of an xscreensaver that a plain user runs on a virtual display (the daemon
starts no hack while it runs as root).

A known picture (four flat colours) is put on the screen first, as the root
window's background. Then, once xscreensaver is told to blank:
- mottlescreen runs;
- the screen shows only the picture's four colours (the step only copies
  colours, so this holds for as long as the hack dissolves what it found on
  the screen, and fails for a black screen or the bundled picture), and at
  first mostly the picture as it was;
- the screen changes over time inside its outer ring: it dissolves.
Told to unblank, xscreensaver ends the hack: the process goes.

Before the daemon runs, mottlescreen started by hand: an unknown option or a
bad number ends it with status 2, a window id that names no window with 1;
given no window, it opens one of its own showing the picture it was given
(fitted to the size the window manager grants, and again when that size
changes); given that window by --window-id or XSCREENSAVER_WINDOW, another
mottlescreen draws in it; SIGTERM, or the end of the window it draws in,
ends each with status 0.

Every wait polls with a deadline. The daemon runs as the user given, made
if missing, with a home folder of its own under a temporary folder; when
this runs as a plain user, as that user. Exits 77 (skipped) only when the
daemon cannot run here at all.

Usage: saver_e2e.py --exe build/linux/mottlescreen [--out DIR] [--display N]
                    [--user NAME]
"""
import argparse
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402
from programs import native_environment  # noqa: E402
from xsession import (Failure, XSession, check, end_pid, free_display,  # noqa: E402
                      process_gone, wait_for)

SKIPPED = 77
SCREEN = (640, 480)
# Deadlines, in seconds: for the daemon to answer, for it to start the hack
# and the hack to draw, for the dissolve to show, and for the hack to end.
DAEMON_DEADLINE = 60
DRAW_DEADLINE = 120
DISSOLVE_DEADLINE = 120
END_DEADLINE = 60
# A pause after every frame (microseconds): at most 50 generations a second,
# so that the first capture still shows mostly the picture on any machine.
DELAY = 20000
PALETTE = pictures.QUADRANT_PALETTES[0]


def pattern_rows(width, height, variant=0):
    return [[pictures.quadrant_colour(x, y, width, height, variant) for x in range(width)]
            for y in range(height)]


class SaverRun:
    def __init__(self, args, display, work):
        self.args = args
        self.work = work
        self.log = open(os.path.join(args.out, 'saver-e2e.log'), 'w')
        self.session = XSession(display, native_environment('en_US.UTF-8'), self.log)
        self.daemon = None
        self.user = None
        self.home = None
        self.program = None

    # --- the user and the daemon -----------------------------------------
    def prepare_user(self):
        """The user the daemon runs as, and its home under the work folder."""
        if os.geteuid() == 0:
            name = self.args.user
            try:
                pwd.getpwnam(name)
            except KeyError:
                subprocess.run(['useradd', '--no-create-home', '--shell', '/usr/sbin/nologin',
                                name], check=True, stdout=self.log, stderr=self.log)
            self.user = pwd.getpwnam(name)
        else:
            self.user = pwd.getpwuid(os.getuid())
        self.home = os.path.join(self.work, 'home')
        os.makedirs(self.home)
        # The program and its picture where that user can run them.
        folder = os.path.join(self.work, 'bin')
        os.makedirs(folder)
        self.program = os.path.join(folder, 'mottlescreen')
        shutil.copy2(self.args.exe, self.program)
        for path in (self.work, folder, self.program):
            os.chmod(path, 0o755)
        with open(os.path.join(self.home, '.xscreensaver'), 'w') as settings:
            settings.write(
                'mode: one\nselected: 0\nsplash: False\nlock: False\nfade: False\n'
                'unfade: False\ntimeout: 1:00:00\ncycle: 0:00:00\ncaptureStderr: False\n'
                'grabDesktopImages: True\ndpmsEnabled: False\n'
                f'programs: {self.program} --root --delay {DELAY}\n')
        for root, folders, files in os.walk(self.home):
            for name in [root] + [os.path.join(root, f) for f in folders + files]:
                os.chown(name, self.user.pw_uid, self.user.pw_gid)

    def as_user(self, command, **extra):
        env = dict(self.session.env, HOME=self.home, USER=self.user.pw_name,
                   LOGNAME=self.user.pw_name)
        if os.geteuid() == 0:
            extra.update(user=self.user.pw_uid, group=self.user.pw_gid, extra_groups=[])
        return subprocess.Popen(command, env=env, cwd=self.home, stdin=subprocess.DEVNULL,
                                stdout=self.log, stderr=self.log, **extra)

    def command(self, *words):
        """xscreensaver-command as the user; its exit status."""
        process = self.as_user(['xscreensaver-command', *words])
        try:
            return process.wait(timeout=DAEMON_DEADLINE)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            return None

    def start_daemon(self):
        self.session.x_tool('xhost', f'+SI:localuser:{self.user.pw_name}')
        self.daemon = self.as_user(['xscreensaver', '-no-splash', '-verbose'],
                                   start_new_session=True)
        try:
            wait_for('the xscreensaver daemon to answer',
                     lambda: self.daemon.poll() is None and self.command('-time') == 0,
                     DAEMON_DEADLINE, interval=0.5)
        except Failure:
            if self.daemon.poll() is not None:
                return False  # it could not run at all
            raise
        return True

    # --- what is on the screen --------------------------------------------
    def hacks(self):
        """Process ids of the copy of mottlescreen this run installed."""
        found = []
        for entry in os.listdir('/proc'):
            if entry.isdigit():
                try:
                    if os.readlink(f'/proc/{entry}/exe') == self.program and \
                            not process_gone(int(entry)):
                        found.append(int(entry))
                except OSError:
                    pass
        return found

    def screen(self, name):
        """The whole screen, as rows of (r, g, b), kept as name.png."""
        path = os.path.join(self.args.out, name + '.png')
        check(self.session.x_tool('import', '-window', 'root', path).returncode == 0,
              f'capture {name} failed')
        raw = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE,
                             check=True).stdout
        width, height = SCREEN
        check(len(raw) == width * height * 3, f'capture {name}: unexpected size')
        return [[tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]


def inner(rows):
    return [pixel for row in rows[1:-1] for pixel in row[1:-1]]


def differing(a, b):
    return sum(1 for x, y in zip(inner(a), inner(b)) if x != y)


def hack_by_hand(run, picture, other):
    env = dict(run.session.env)
    env.pop('XSCREENSAVER_WINDOW', None)
    nowhere = '0x1fffff0'  # an X id no client of a fresh server has
    for words, variable, expected in ((['--bogus'], None, 2), (['--delay', '1.5'], None, 2),
                                      (['--window-id', nowhere], None, 1), ([], '0x7q', 2),
                                      ([], nowhere, 1), (['-root', '-window-id', nowhere], '0x7q', 1)):
        extra = {} if variable is None else {'XSCREENSAVER_WINDOW': variable}
        process = subprocess.Popen([run.args.exe, *words], env=dict(env, **extra),
                                   stdout=run.log, stderr=run.log)
        status = process.wait(timeout=END_DEADLINE)
        check(status == expected, f'mottlescreen {words} {extra}: status {status}, not {expected}')

    own = subprocess.Popen([run.args.exe, '--picture', picture, '--delay', str(DELAY)], env=env,
                           stdout=run.log, stderr=run.log)
    try:
        def window():
            tree = run.session.x_tool('xwininfo', '-root', '-tree').stdout.decode()
            named = [line.split()[0] for line in tree.splitlines() if '"mottlescreen"' in line]
            return named[0] if named else None
        shown = wait_for('mottlescreen\'s own window', window, DRAW_DEADLINE)
        path = os.path.join(run.args.out, 'own-window.png')

        palette = {bytes(colour) for colour in PALETTE}

        def picture_shown(margins=False, palette=palette):
            if run.session.x_tool('import', '-window', shown, path).returncode != 0:
                return False
            raw = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE,
                                 check=True).stdout
            colours = {raw[i:i + 3] for i in range(0, len(raw), 3)}
            # The window manager may give the window another size: the
            # picture is fitted to it, the margins black.
            return palette <= colours <= palette | {bytes(3)} and (bytes(3) in colours or not margins)
        wait_for('the own window to show the picture', picture_shown, DRAW_DEADLINE, interval=1)
        # Made much wider than high: the picture, fitted again, between black margins.
        run.session.x_tool('xdotool', 'windowsize', shown, '480', '120')
        wait_for('the picture fitted to the new size',
                 lambda: run.session.geometry(shown)[2:] == (480, 120) and picture_shown(True),
                 DRAW_DEADLINE, interval=1)
        check(own.poll() is None, f'mottlescreen ended with status {own.poll()} on a new size')

        # That window as another program's, named by the option or by the
        # environment: a second mottlescreen dissolves the other picture in
        # it while the first is stopped. It ends with status 0 on SIGTERM, or
        # when the window goes: the first, ended, takes its window along.
        others = {bytes(colour) for colour in pictures.QUADRANT_PALETTES[1]}
        own.send_signal(signal.SIGSTOP)
        for words, extra in ((['-window-id', shown], {}), ([], {'XSCREENSAVER_WINDOW': shown})):
            guest = subprocess.Popen([run.args.exe, *words, '--picture', other, '--delay', str(DELAY)],
                                     env=dict(env, **extra), stdout=run.log, stderr=run.log)
            try:
                wait_for(f'the other picture in the window ({words} {extra})',
                         lambda: picture_shown(True, others), DRAW_DEADLINE, interval=1)
                if extra:
                    own.send_signal(signal.SIGCONT)
                    own.send_signal(signal.SIGTERM)
                    status = own.wait(timeout=END_DEADLINE)
                    check(status == 0, f'the first: status {status} after SIGTERM')
                else:
                    guest.send_signal(signal.SIGTERM)
                what = 'its window went' if extra else 'SIGTERM'
                wait_for(f'the second to end after {what}', lambda: guest.poll() is not None,
                         END_DEADLINE)
                check(guest.returncode == 0, f'status {guest.returncode} after {what}')
            finally:
                if guest.poll() is None:
                    guest.kill()
                    guest.wait()
    finally:
        if own.poll() is None:
            own.kill()
            own.wait()


def run(args, work):
    width, height = SCREEN
    run = SaverRun(args, free_display(args.display), work)
    try:
        run.prepare_user()
        run.session.start(SCREEN)
        picture = os.path.join(work, 'pattern.bmp')
        pattern = pattern_rows(width, height)
        pictures.write_bmp(picture, pattern)
        run.session.x_tool('display', '-window', 'root', picture)
        wait_for('the picture on the screen', lambda: run.screen('before') == pattern,
                 DAEMON_DEADLINE, interval=1)
        other = os.path.join(work, 'other.bmp')
        pictures.write_bmp(other, pattern_rows(width, height, variant=1))
        hack_by_hand(run, picture, other)
        if not run.start_daemon():
            print(f'SKIP e2e_saver: xscreensaver ended at start (status {run.daemon.poll()}); '
                  f'see {run.log.name}')
            return SKIPPED

        check(run.command('-activate') == 0, 'xscreensaver-command -activate failed')
        wait_for('mottlescreen to run', run.hacks, DRAW_DEADLINE)
        palette = set(PALETTE)

        # Drawn: only the picture's colours, most pixels where they were.
        def first_frame():
            shown = run.screen('saver-first')
            return shown if set(inner(shown)) <= palette else None
        first = wait_for('the screen to show only the picture\'s colours', first_frame,
                         DRAW_DEADLINE, interval=1)
        changed = differing(first, pattern)
        check(changed < len(inner(pattern)) // 2,
              f'{changed} pixels differ from the picture at first: not what was on the screen')

        def dissolved():
            shown = run.screen('saver-later')
            check(set(inner(shown)) <= palette, 'the screen shows colours the picture has not')
            return differing(shown, first) >= 200
        wait_for('the screen to dissolve', dissolved, DISSOLVE_DEADLINE, interval=1)
        check(run.hacks(), 'mottlescreen ended while the screen was blanked')

        hack_ids = run.hacks()
        check(run.command('-deactivate') == 0, 'xscreensaver-command -deactivate failed')
        wait_for('mottlescreen to end', lambda: all(process_gone(pid) for pid in hack_ids),
                 END_DEADLINE)
        check(run.daemon.poll() is None, 'the daemon ended')
        return 0
    except Failure as failure:
        print(f'FAIL e2e_saver: {failure}')
        run.session.record(args.out)
        return 1
    finally:
        for pid in run.hacks():
            end_pid(pid)
        if run.daemon is not None and run.daemon.poll() is None:
            run.daemon.send_signal(signal.SIGTERM)
            try:
                run.daemon.wait(timeout=10)
            except subprocess.TimeoutExpired:
                run.daemon.kill()
                run.daemon.wait()
        run.session.stop()
        run.log.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--exe', required=True)
    parser.add_argument('--out', default=None)
    parser.add_argument('--display', type=int, default=70)
    parser.add_argument('--user', default='mottlertest')
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.out = os.path.abspath(args.out or os.path.join(os.path.dirname(args.exe),
                                                        'e2e-captures', 'saver'))
    os.makedirs(args.out, exist_ok=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if shutil.which('xscreensaver') is None or shutil.which('xscreensaver-command') is None:
        print('SKIP e2e_saver: xscreensaver is not installed (scripts/install-deps.sh test)')
        return SKIPPED
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix='mottler-saver-') as work:
        status = run(args, work)
    verdict = {0: 'PASS', SKIPPED: 'SKIP'}.get(status, 'FAIL')
    line = f'{verdict} e2e_saver under xscreensaver ({time.monotonic() - started:.0f} s)'
    print(line)
    with open(os.path.join(args.out, 'summary.txt'), 'w') as summary:
        summary.write(line + '\n')
    return status


if __name__ == '__main__':
    sys.exit(main())

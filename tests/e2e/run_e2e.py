#!/usr/bin/env python3
"""End-to-end scenarios: the real program, mottler.exe under Wine or the
native Linux one (--native), in a virtual X display with a window manager,
driven as a person would drive it. One list of scenarios serves both.

Each scenario gets its own display number, its own working folder (with its
own copy of mottler.exe, so that the default picture is found only where the
scenario put one), and its own processes: the Xvfb server, openbox and the
program, each ended by its process id. The program is always ended by closing
its window, and its exit status must be 0.

The suite runs under one locale (--locale, the Japanese one by default): the
program's texts must read the same under every one, whatever the system's
code page.

With --page the program is the web page, in headless Chromium driven by
Playwright (page_session.py and page_driver.js, whose npm package `npm ci`
installs at the top of the tree), and the scenarios that hold for a page run.
With --wayland the native program's scenarios that need no input run in a
Wayland session instead (wsession.py: weston, XWayland beside it).

The parts: xsession.py (the X session), programs.py (starting the program
natively or under Wine), session.py (one scenario's world), scenarios.py
(what is checked), pictures.py (the test pictures).

The screensaver mottler.scr has scenarios of its own (saver_scenarios.py),
which end the program themselves, as a user ends a saver; --helper names
the stand-in for the settings' preview box its /p scenario needs.

Usage: run_e2e.py --exe build/win32/mottler.exe [--out DIR] [--display N]
                  [--locale LANG] [--only NAME ...]
       run_e2e.py --native --exe build/linux/mottler [...]
       run_e2e.py --page --exe build/web/mottler.html [...]
       run_e2e.py --native --emulator qemu-aarch64-static --exe build/arm64-gtk/mottler [...]
       run_e2e.py --native --wayland --exe build/linux/mottler [...]
       run_e2e.py --exe build/win32/mottler.scr --helper build/win32/tests/preview-parent.exe
Prints one line per scenario and the totals; exits non-zero on any failure.
"""
import argparse
import os
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_session import PageSession  # noqa: E402
from programs import native_environment, wine_environment  # noqa: E402
from saver_scenarios import SAVER_SCENARIOS  # noqa: E402
from scenarios import SCENARIOS, WAYLAND_SCENARIOS  # noqa: E402
from session import SCREEN, Session  # noqa: E402
from xsession import Failure, check, free_display  # noqa: E402


def run_scenario(scenario, display, args, env):
    if args.page:
        session = PageSession(scenario.__name__, args.out, args.exe)
    else:
        session = Session(scenario.__name__, display, args.out, args.exe, env, args.native,
                          args.emulator.split() if args.emulator else (),
                          getattr(scenario, 'wayland_scale', None))
    session.helper = args.helper
    started = time.monotonic()
    error = None
    try:
        session.start_display(getattr(scenario, 'screen', SCREEN))
        scenario(session)
        if not getattr(scenario, 'ends_itself', False):
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
    parser.add_argument('--page', action='store_true',
                        help='the page (build/web/mottler.html) in headless Chromium')
    parser.add_argument('--emulator', default=None,
                        help='the command that runs the native program, for another '
                             "processor's build (qemu-aarch64-static)")
    parser.add_argument('--out', default=None)
    parser.add_argument('--display', type=int, default=70)
    parser.add_argument('--locale', default=None,
                        help='LANG for Wine (default: the one scripts/wine-env.sh sets)')
    parser.add_argument('--only', nargs='*', default=None)
    parser.add_argument('--wayland', action='store_true',
                        help="the native program's scenarios in a Wayland session (weston)")
    parser.add_argument('--helper', default=None,
                        help="the preview box's stand-in, for mottler.scr's scenarios")
    args = parser.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.out = os.path.abspath(args.out or os.path.join(os.path.dirname(args.exe),
                                                        'e2e-captures'))
    os.makedirs(args.out, exist_ok=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))

    if args.page:
        env = dict(os.environ, LANG='C.UTF-8')
    elif args.native:
        env = native_environment(args.locale or 'en_US.UTF-8')
    else:
        env = wine_environment()
        if args.locale:
            env['LANG'] = args.locale
    if args.helper:
        args.helper = os.path.abspath(args.helper)
    listed = SAVER_SCENARIOS if args.exe.lower().endswith('.scr') else SCENARIOS
    listed = WAYLAND_SCENARIOS if args.wayland else listed

    def runs_here(scenario):
        if args.page:
            return getattr(scenario, 'page', False) or getattr(scenario, 'page_only', False)
        return not getattr(scenario, 'page_only', False) and (
            args.native or not getattr(scenario, 'native_only', False))
    chosen = [s for s in listed if (args.only is None or s.__name__ in args.only) and runs_here(s)]
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
    kind = 'page' if args.page else ('native, Wayland' if args.wayland else 'native') if args.native else 'Wine'
    report(f'e2e ({kind}, {env["LANG"]}): {passed} passed, {failed} failed')
    report(f'captures: {args.out}')
    summary.close()
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == '__main__':
    sys.exit(main())

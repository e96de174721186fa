"""The end-to-end scenarios of the screensaver mottler.scr under Wine: full
screen over the whole display, inside a preview window, and its settings
dialog whose choice the next run dissolves. Each ends the saver as a user
would (a key, or the preview's window closed) and checks its status.

As in scenarios.py, every check comes from the pictures and what the saver
does with them (its window is the screen, the outer ring never changes, the
inside does), never from how far the dissolve gets in some time; every wait
polls with a generous deadline. The display is small (320 x 240), so that a
full-screen frame is cheap even under an instruction translator."""
import os
import subprocess
import time

import pictures
from programs import z_path
from xsession import START_DEADLINE, WINDOW_DEADLINE, Failure, check, wait_for

SMALL_SCREEN = (320, 240)
SETTINGS_CAPTION = 'MOTTLER Screensaver'
CHOOSE_TITLE = 'Choose a picture'
PREVIEW_CAPTION = 'preview parent'
PREVIEW_SIZE = (152, 112)


# --- what the scenarios share ------------------------------------------------
def saver_windows(session):
    """(window, geometry) of the saver's visible X windows."""
    found = session.x_tool('xdotool', 'search', '--onlyvisible', '--pid', str(session.app.pid))
    windows = []
    for line in found.stdout.decode().split():
        try:
            windows.append((hex(int(line)), session.geometry(hex(int(line)))))
        except (KeyError, ValueError):
            pass  # gone meanwhile
    return windows


def full_screen_window(session):
    """The saver's window, once it covers the whole screen."""
    def covering():
        if not session.app.running():
            raise Failure(f'the saver ended with status {session.program.returncode} before its window showed')
        whole = [w for w, geometry in saver_windows(session) if geometry == (0, 0) + SMALL_SCREEN]
        return whole[0] if whole else None
    return wait_for('a saver window over the whole screen', covering, START_DEADLINE)


def paint_screen(session, variant):
    """Shows a picture of the screen's size on the root window, for the saver
    to capture; returns its rows."""
    path, rows = session.picture(f'screen-{variant}.bmp', *SMALL_SCREEN, variant=variant)
    session.x_tool('display', '-window', 'root', path)  # its status says nothing
    shown = os.path.join(session.dir, f'root-{variant}.png')
    session.x_tool('import', '-window', 'root', shown)
    raw = subprocess.run(['convert', shown, '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE).stdout
    check(raw == b''.join(bytes(pixel) for row in rows for pixel in row),
          'the root window does not show the picture')
    return rows


def expect_dissolving(session, window, rows, label):
    """The window shows `rows` with its outer ring as it is and its inside
    changing from one capture to a later one."""
    first = wait_for('the picture to show', lambda: (
        lambda c: c if not c.ring_mismatches(rows) else None)(session.capture(window, f'{label}-a')),
        WINDOW_DEADLINE, interval=0.5)
    second = wait_for('the picture to change', lambda: (
        lambda c: c if c.differing(first) > 0 else None)(session.capture(window, f'{label}-b')),
        WINDOW_DEADLINE, interval=0.5)
    mismatches = second.ring_mismatches(rows)
    check(not mismatches, f'outer ring changed at {mismatches[:5]}')
    check(second.differing_from_rows(rows) > 0, 'the inside shows the picture unchanged')
    return second


def wait_status(session, what):
    """The saver's exit status, once it has ended after `what`."""
    try:
        return session.program.wait(timeout=WINDOW_DEADLINE)
    except subprocess.TimeoutExpired:
        raise Failure(f'the saver did not end after {what}')


def end_with_key(session):
    session.key('space')
    status = wait_status(session, 'a key')
    check(status == 0, f'exit status {status} after a key')


def read_setting(session):
    """The saver's registry values as `wine reg query` prints them."""
    result = subprocess.run(['wine', 'reg', 'query', 'HKCU\\Software\\MOTTLER\\Screensaver'],
                            env=session.app.env, stdout=subprocess.PIPE, stderr=session.log,
                            timeout=START_DEADLINE)
    values = {}
    for line in result.stdout.decode('utf-8', 'replace').splitlines():
        fields = line.split(None, 2)
        if len(fields) == 3 and fields[1].startswith('REG_'):
            values[fields[0]] = (fields[1], fields[2].strip())
    return values


def store_setting(session, source, picture):
    """Writes the saver's setting into the prefix's user registry, as the
    settings dialog would have; Wine's processes of the prefix are not
    running (the session's start waited for them to end)."""
    path = os.path.join(session.app.env['WINEPREFIX'], 'user.reg')
    escaped = z_path(picture).replace('\\', '\\\\')
    with open(path, 'a', encoding='utf-8') as registry:
        registry.write(f'\n[Software\\\\MOTTLER\\\\Screensaver] {int(time.time())}\n'
                       f'"Picture"="{escaped}"\n"Source"=dword:{source:08x}\n')


# --- the scenarios ---------------------------------------------------------------
def saver_full_screen(session):
    """/s: one window over the whole screen, dissolving the screen it
    captured; a move of two pixels leaves it running, a key ends it with
    status 0."""
    rows = paint_screen(session, 0)
    session.x.move_pointer(100, 100)
    session.start_program(args=['/s'])
    window = full_screen_window(session)
    last = expect_dissolving(session, window, rows, 'screen')
    session.x.move_pointer(102, 102)
    session.x.move_pointer(104, 103)
    # Still there and still dissolving after the moves.
    wait_for('the picture to change after the moves', lambda: (
        session.app.running() and session.capture(window, 'after-moves').differing(last) > 0),
        WINDOW_DEADLINE, interval=0.5)
    check(session.app.running(), 'a move of two pixels ended the saver')
    end_with_key(session)


def saver_preview(session):
    """/p N: a child window filling the client area of window N (a stand-in
    for the settings' preview box), running while that window stands and
    ending with status 0 when it is closed. Wine shows no pixels of one
    process's window inside another's, so the child is seen through what
    the preview window tells of its children; its dissolve is the full-screen
    scenarios' and the host tests' to check."""
    check(session.helper is not None, 'no preview window program given (--helper)')
    path, _ = session.picture('preview.bmp', *PREVIEW_SIZE, variant=1)
    store_setting(session, 1, path)
    handle_file = os.path.join(session.work, 'handle.txt')
    helper = subprocess.Popen(['wine', session.helper, z_path(handle_file),
                               str(PREVIEW_SIZE[0]), str(PREVIEW_SIZE[1])],
                              cwd=session.work, env=session.app.env, stdout=session.log, stderr=session.log)

    def children():
        try:
            with open(handle_file + '.children') as report:
                return [line.split() for line in report.read().splitlines()]
        except FileNotFoundError:
            return []
    try:
        handle = wait_for('the preview window to tell its handle',
                          lambda: os.path.exists(handle_file) and open(handle_file).read().strip(),
                          START_DEADLINE)
        parent = wait_for('the preview window', lambda: session.x.window_titled(helper.pid, PREVIEW_CAPTION),
                          WINDOW_DEADLINE)
        check(session.geometry(parent)[2:] == PREVIEW_SIZE,
              f'the preview window is {session.geometry(parent)[2:]}, not {PREVIEW_SIZE}')
        session.start_program(args=['/p', handle])
        expected = ['MottlerScreensaverWindow', '0', '0', str(PREVIEW_SIZE[0]), str(PREVIEW_SIZE[1])]

        def filled():
            check(session.app.running(), f'the saver ended with status {session.program.returncode}')
            return children() == [expected]
        try:
            wait_for("the saver's window filling the preview window", filled, START_DEADLINE)
        except Failure as failure:
            raise Failure(f'{failure}; the preview window holds {children()}')
        session.x.close(parent)
        status = wait_status(session, 'its parent window closed')
        check(status == 0, f'exit status {status} after the parent window closed')
        check(helper.wait(timeout=WINDOW_DEADLINE) == 0, 'the preview window program failed')
    finally:
        if helper.poll() is None:
            helper.kill()
            helper.wait()


def saver_settings(session):
    """/c: the dialog chooses a picture, OK keeps it in the registry
    (Source 1, Picture its path), and the next /s dissolves that picture
    instead of the screen."""
    path, rows = session.picture('chosen.bmp', *SMALL_SCREEN, variant=1)
    paint_screen(session, 0)
    session.start_program(args=['/c'])
    dialog = wait_for('the settings dialog', lambda: session.window_titled(SETTINGS_CAPTION),
                      START_DEADLINE)
    session.activate(dialog)
    session.key('Tab', 'space')  # from "The screen" to "Choose...", pressed
    chooser = wait_for('the open-file dialog', lambda: session.window_titled(CHOOSE_TITLE),
                       WINDOW_DEADLINE)
    session.activate(chooser)
    session.key('End', 'shift+Home', 'BackSpace')
    session.x_tool('xdotool', 'type', '--delay', '15', '--', session.typed(path))
    session.key('Return')
    wait_for('the open-file dialog to close', lambda: session.window_titled(CHOOSE_TITLE) is None,
             WINDOW_DEADLINE)
    session.activate(dialog)
    session.key('Tab', 'space')  # from "Choose..." to OK, pressed
    status = wait_status(session, 'OK')
    check(status == 0, f'exit status {status} after OK')
    values = read_setting(session)
    check(values.get('Source') == ('REG_DWORD', '0x1'), f'Source is {values.get("Source")}')
    check(values.get('Picture') == ('REG_SZ', session.typed(path)), f'Picture is {values.get("Picture")}')

    session.start_program(args=['/s'])
    window = full_screen_window(session)
    expect_dissolving(session, window, rows, 'chosen')
    end_with_key(session)


for scenario in (saver_full_screen, saver_preview, saver_settings):
    scenario.screen = SMALL_SCREEN
    scenario.ends_itself = True

SAVER_SCENARIOS = [saver_full_screen, saver_preview, saver_settings]

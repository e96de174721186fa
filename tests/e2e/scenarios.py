"""The end-to-end scenarios: the real program, driven as a person would drive
it. One list of scenarios serves the native program and mottler.exe under
Wine.

Every check holds at any machine speed: what is compared comes from the
pictures and from what the program does with them (the ring never changes,
the step only copies colours, an idle program uses no processor), never from
how far the dissolve gets in some time. Waits poll with deadlines; the
deadlines are generous, since they only bound how long a failure takes to
show, and a passing run never waits them out."""
import os
import shutil
import subprocess
import time

import pictures
from programs import ROOT
from session import DIALOG_TITLE, ERROR_CAPTION, UNICODE_NAME, WHITE
from wsession import DESKTOP, find_rows
from xsession import SETTLE_DEADLINE, START_DEADLINE, WINDOW_DEADLINE, Failure, check, wait_for


# --- steps shared by the scenarios ------------------------------------------
def expect_showing(session, window, rows, label, scale=1):
    """The picture is drawn at the client area's top-left, fills it exactly,
    keeps its outer ring and dissolves inside. On a display scaled `scale`
    times the window's content is the picture's size rounded up to whole
    logical pixels, and what lies beyond the picture is white."""
    width, height = len(rows[0]), len(rows)
    wait_fitted(session, window, -(-width // scale) * scale, -(-height // scale) * scale)
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
    return second


def expect_chosen(session, window, path, rows, label):
    """A picture chosen in the dialog becomes the caption, the window is
    refitted to it, and it shows and dissolves."""
    wait_for('the caption to become the path',
             lambda: session.caption() == session.typed(path), WINDOW_DEADLINE)
    wait_for('the window to be refitted',
             lambda: session.geometry(window)[2:] == (len(rows[0]), len(rows)), WINDOW_DEADLINE)
    expect_showing(session, window, rows, label)


def dismiss_error(session):
    box = wait_for('the error message box', lambda: session.window_titled(ERROR_CAPTION),
                   WINDOW_DEADLINE)
    session.activate(box)
    session.key('Return')
    wait_for('the message box to close', lambda: session.window_titled(ERROR_CAPTION) is None,
             WINDOW_DEADLINE)


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
    session.wait_idle('the program to wait, idle, without a picture')
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
    session.choose(path)
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
    session.choose(eight_bit)
    dismiss_error(session)
    check(session.caption() == 'mottle.bmp', f'caption {session.caption()!r}')
    check(session.geometry(window) == geometry,
          f'window moved or resized: {session.geometry(window)} from {geometry}')
    expect_showing(session, window, rows, 'after-refusal')
    # The refused path stays the current file: a later Cancel tries it again.
    session.cancel_choice(window)
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
    session.cancel_choice(window)
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
    session.choose(path)
    expect_chosen(session, window, path, rows, 'long-path')


def unicode_name(session):
    """A picture whose name has characters outside the system's code page
    (ü and € outside Japanese, 写真 outside Western ones), typed into the
    dialog, loads, becomes the caption and the window is refitted."""
    window, _ = start_with_picture(session, 400, 300)
    path, rows = session.picture(UNICODE_NAME, 340, 260, variant=3)
    session.choose(path)
    check(session.window_titled(ERROR_CAPTION) is None, 'the file was refused')
    expect_chosen(session, window, path, rows, 'unicode-name')


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
    unit = session.scale_display(2)
    _, rows = session.picture('mottle.bmp', 401, 301)
    session.start_program()
    window = session.wait_main_window('mottle.bmp')
    expect_showing(session, window, rows, 'scaled', scale=unit)
    path, second = session.picture('second.bmp', 360, 220, variant=2)
    session.choose(path)
    wait_for('the caption to become the path', lambda: session.caption() == session.typed(path),
             WINDOW_DEADLINE)
    expect_showing(session, window, second, 'scaled-second', scale=unit)


scaled_display.native_only = True


def installed_from_any_folder(session):
    """Installed into a folder of its own (cmake --install with DESTDIR) and
    started there from an unrelated empty working folder, the program opens
    the picture it installed with itself."""
    build = os.path.dirname(session.app.exe)
    root = os.path.join(session.dir, 'root')
    result = subprocess.run(['cmake', '--install', build, '--prefix', '/usr'],
                            env=dict(os.environ, DESTDIR=root), stdout=session.log,
                            stderr=session.log, timeout=WINDOW_DEADLINE)
    check(result.returncode == 0, 'cmake --install failed')
    program = os.path.join(root, 'usr', 'bin', 'mottler')
    check(os.access(program, os.X_OK), 'no usr/bin/mottler installed')
    empty = os.path.join(session.dir, 'empty')
    os.makedirs(empty)
    session.app.process = subprocess.Popen([*session.app.emulator, program], cwd=empty,
                                           env=session.app.env, stdout=session.log,
                                           stderr=session.log)
    window = session.wait_main_window('mottle.bmp')
    check(session.window_titled(ERROR_CAPTION) is None, 'the error message is shown')
    rows = pictures.read_bmp(os.path.join(root, 'usr', 'share', 'mottler', 'mottle.bmp'))
    expect_showing(session, window, rows, 'installed')


installed_from_any_folder.native_only = True


def bundled_picture(session, painter=True):
    """The page opens the picture it carries: fitted to its 512 x 384,
    captioned, its outer ring the file's, dissolving."""
    rows = pictures.read_bmp(os.path.join(ROOT, 'assets', 'mottle.bmp'))
    session.start_program(bundled=True, painter=painter)
    window = session.wait_main_window('mottle.bmp')
    expect_showing(session, window, rows, 'bundled')


def bundled_picture_drawn_by_the_page(session):
    """The same where the page's worker fails to start, and the page draws
    its canvas itself."""
    bundled_picture(session, painter=False)


bundled_picture.page_only = True
bundled_picture_drawn_by_the_page.page_only = True

# The page runs these too, its own way of picking files and scaling apart.
for shared in (default_picture, missing_default, click_open_24bit, click_refused_8bit,
               click_cancel_reloads, scaled_display):
    shared.page = True

SCENARIOS = [default_picture, missing_default, click_open_24bit, click_refused_8bit,
             click_cancel_reloads, long_path, unicode_name, default_from_deep_folder,
             inert_inputs, scaled_display, installed_from_any_folder, bundled_picture,
             bundled_picture_drawn_by_the_page]


# --- under Wayland -----------------------------------------------------------
def on_wayland(session, rows, label):
    """(screenshot of the output, left, top of the picture), or None while
    the picture's top and bottom rows are not on the output as they are."""
    shot = session.screenshot(label)
    found = find_rows(shot.width, shot.raw, rows)
    return (shot, *found) if found else None


def wayland_window(session):
    """A Wayland client (no window on the X server beside weston), with a
    title bar above its client area; the client area is fitted: the
    picture's size in device pixels at the output's scale, rounded up to
    whole logical pixels (white beyond the picture, and no white beyond the
    client area). The ring shows byte for byte, inside only the file's
    colours, and it dissolves."""
    scale, width, height = session.x.scale, 401, 301
    _, rows = session.picture('mottle.bmp', width, height)
    content = (-(-width // scale) * scale, -(-height // scale) * scale)
    session.start_program()
    shot, left, top = wait_for('the picture on the output', lambda: on_wayland(
        session, rows, 'shown'), START_DEADLINE, interval=0.5)
    check(not session.x.x_window_titled('mottle.bmp'), 'the program runs on XWayland')
    first = shot.crop(left, top, *content)
    check(not first.ring_mismatches(rows), f'ring differs at {first.ring_mismatches(rows)[:5]}')
    check(first.not_white_outside(0, 0, width, height) == 0, 'not white beyond the picture')
    check(shot.crop(left, top, width, height).colours_outside(rows) == 0, 'colours not in the file')
    beyond = [shot.crop(left + content[0], top, 1, content[1]),
              shot.crop(left, top + content[1], content[0], 1)]
    check(all(line.count(lambda c: c == WHITE) == 0 for line in beyond), 'client area too large')
    # A title bar: light, with the caption's and close box's darker strokes.
    bar = shot.crop(left, top - 20 * scale, content[0], 20 * scale)
    light = bar.count(lambda c: min(c) >= 200)
    check(bar.count(lambda c: c == DESKTOP) == 0 and bar.count(lambda c: max(c) <= 150) > 0 and
          light >= bar.width * bar.height // 2, 'no title bar above it')

    def changed():
        now = on_wayland(session, rows, 'dissolved')
        area = now[0].crop(left, top, *content) if now and now[1:] == (left, top) else None
        return area if area and area.differing(first) > 0 else None
    later = wait_for('the picture to change', changed, SETTLE_DEADLINE, interval=0.5)
    check(not later.ring_mismatches(rows), 'the ring changed')
    # No input reaches a headless compositor's close box: ended by process id.
    session.program.terminate()
    session.program.wait(timeout=WINDOW_DEADLINE)


def wayland_scale_1(session):
    wayland_window(session)


def wayland_scale_2(session):
    wayland_window(session)


for _scale, _scenario in ((1, wayland_scale_1), (2, wayland_scale_2)):
    _scenario.__doc__ = f'At output scale {_scale}: ' + wayland_window.__doc__
    _scenario.wayland_scale, _scenario.ends_itself = _scale, True
WAYLAND_SCENARIOS = [wayland_scale_1, wayland_scale_2]

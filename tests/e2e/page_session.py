"""One scenario's world for the page: Debian's Chromium, headless, driven
through page_driver.js (Playwright), with the page's working folder holding
what the scenario put into its own. It answers the scenarios as session.py
does for the programs in X displays: windows are the page's window elements,
places and captures are in device pixels, the open-file dialog is the
browser's file picker and the message box is the page's own."""
import base64
import json
import os
import subprocess
import time

from session import Capture, Session
from xsession import SETTLE_DEADLINE, START_DEADLINE, WINDOW_DEADLINE, Failure, check, wait_for

HERE = os.path.dirname(os.path.abspath(__file__))
VIEWPORT = (1280, 1024)  # in CSS pixels
ENDED = 'MOTTLER has ended (exit status '


class PageProgram:
    """The program in the page: running until the page says it has ended."""

    def __init__(self, session):
        self.session = session

    def poll(self):
        """None while it runs, as a process's poll(); then its exit status."""
        text = self.session.driver('ended')
        return None if text is None else int(text[len(ENDED):].rstrip(').'))


class PageSession(Session):
    def __init__(self, name, out_dir, page):
        self.name = name
        self.dir = os.path.join(out_dir, name)
        self.work = os.path.join(self.dir, 'work')
        self.page = page
        self.native = True
        self.captures = 0
        self.ratio = 1
        self.started = False
        self.helper = None
        subprocess.run(['rm', '-rf', self.dir], check=True)
        os.makedirs(self.work)
        self.log = open(os.path.join(self.dir, 'driver.log'), 'wb')
        self.process = subprocess.Popen(['node', os.path.join(HERE, 'page_driver.js')], cwd=HERE,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.log)

    def driver(self, op, **args):
        self.process.stdin.write((json.dumps(dict(op=op, **args)) + '\n').encode())
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        check(line, f'the page driver ended during {op}')
        answer = json.loads(line)
        check('error' not in answer, f'{op}: {answer.get("error")}')
        return answer['ok']

    @property
    def program(self):
        return PageProgram(self) if self.started else None

    # --- the page ----------------------------------------------------------
    def start_display(self, size=None):
        pass  # the browser starts with the page

    def scale_display(self, ratio):
        """Shows the page at a devicePixelRatio of `ratio`; the program's
        client area is then still its size in device pixels, so pictures are
        fitted to the pixel."""
        self.ratio = ratio
        return 1

    def start_program(self, cwd=None, args=(), bundled=False, painter=True):
        """Opens the page with the working folder's files in the program's
        own (with `bundled`, the picture the page carries instead); without
        `painter`, in a browser where the page's worker fails to start."""
        files = None if bundled else {name: self.encoded(name) for name in os.listdir(self.work)}
        self.driver('launch', url='file://' + os.path.abspath(self.page),
                    deviceScaleFactor=self.ratio, viewport=VIEWPORT, files=files, painter=painter)
        self.started = True

    def typed(self, path):
        """A picked file's path in the page's file system."""
        return '/picked/' + os.path.basename(path)

    def close_program(self):
        """Presses the main window's close box; the status the page tells."""
        self.driver('close', id=self.main_window())
        wait_for('the page to say the program has ended',
                 lambda: self.driver('ended') is not None, WINDOW_DEADLINE)
        check(not self.windows(), f'windows left after closing: {self.windows()}')
        return self.program.poll()

    def record_failure(self):
        if self.started:
            self.driver('screen', path=os.path.join(self.dir, 'failure-screen.png'))

    def end(self):
        problems = []
        if self.started and self.driver('ended') is None:
            problems.append('program still running at the end')
        self.driver('quit')
        self.process.stdin.close()
        try:
            self.process.wait(timeout=SETTLE_DEADLINE)
        except subprocess.TimeoutExpired:
            problems.append('the browser did not end')
            self.process.kill()
        self.log.close()
        return problems

    def encoded(self, name):
        with open(os.path.join(self.work, name), 'rb') as source:
            return base64.b64encode(source.read()).decode()

    def picture(self, name, width, height, variant=0, folder=None, flat=False):
        """A picture in the working folder, and in the page's own once it
        runs, as the program sees a file on disk rewritten."""
        path, rows = super().picture(name, width, height, variant, folder, flat)
        if self.started and folder is None:
            self.driver('write', path='/home/web_user/' + name, base64=self.encoded(name))
        return path, rows

    # --- windows ------------------------------------------------------------
    def windows(self):
        return [tuple(each) for each in self.driver('windows')] if self.started else []

    def window_titled(self, title):
        matches = [window for window, caption in self.windows() if caption == title]
        return matches[0] if matches else None

    def wait_main_window(self, caption, timeout=START_DEADLINE):
        return wait_for(f'a window captioned "{caption}"', lambda: self.window_titled(caption),
                        timeout)

    def geometry(self, window):
        return tuple(self.driver('geometry', id=window))

    def activate(self, window):
        pass  # the page has one focus, which the clicks give

    def click(self, window, button=1, at=(20, 20)):
        self.driver('click', id=window, button=button, at=list(at))

    def move_pointer_in(self, window, at):
        self.driver('move', id=window, at=list(at))

    def key(self, *keys):
        self.driver('key', keys=list(keys))

    def capture(self, window, label):
        self.captures += 1
        path = os.path.join(self.dir, f'{self.captures:02d}-{label}.png')
        x, y = self.driver('capture', id=window, path=path)
        width, height = self.geometry(window)[2:]
        raw = subprocess.run(['convert', path, '-crop', f'{width}x{height}+{x}+{y}', '+repage',
                              '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE, check=True).stdout
        check(len(raw) == width * height * 3, f'capture {label}: {len(raw)} bytes for {width} x {height}')
        return Capture(width, height, raw)

    # --- the dialogs ----------------------------------------------------------
    def choose(self, path):
        window = self.main_window()
        self.driver('choose', id=window, path=path)
        return window

    def cancel_choice(self, window):
        self.driver('choose', id=window, path=None)

    def wait_idle(self, what):
        """Waits until the page's main thread is busy less than a quarter of
        a second in a second, as a program waiting for input is; one that
        steps keeps it busy whatever the machine."""
        def idle():
            before = self.driver('busy')
            time.sleep(1)
            return self.driver('busy') - before < 0.25
        wait_for(what, idle, SETTLE_DEADLINE, interval=0)

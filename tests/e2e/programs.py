"""The two ways of starting the program under test: the native Linux program
with the environment of a virtual display, and mottler.exe under Wine in the
project's prefix. The environments come from the scripts that set them up
for every other use too (scripts/wine-env.sh, scripts/lib.sh), read from a
shell."""
import os
import shutil
import subprocess

from xsession import WINDOW_DEADLINE, Failure

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
SCRIPTS = os.path.join(ROOT, 'scripts')


def shell_environment(commands):
    """The environment a bash shell has after running commands."""
    output = subprocess.run(['bash', '-c', f'{commands} && env -0'],
                            check=True, stdout=subprocess.PIPE).stdout
    env = {}
    for entry in output.split(b'\0'):
        if b'=' in entry:
            key, value = entry.split(b'=', 1)
            env[key.decode()] = value.decode()
    return env


def wine_environment():
    """The environment scripts/wine-env.sh sets up, with the prefix made."""
    script = os.path.join(SCRIPTS, 'wine-env.sh')
    return shell_environment(f'source "{script}" && mottler_ensure_prefix')


def native_environment(locale):
    """The environment of the native program: the given locale, and no
    desktop services to reach, which a virtual display has none of."""
    script = os.path.join(SCRIPTS, 'lib.sh')
    env = shell_environment(f'source "{script}" && headless_gtk_env')
    env['LANG'] = locale
    for name in ('LC_ALL', 'LANGUAGE'):
        env.pop(name, None)
    return env


def forget_dialog_folders(prefix):
    """Removes the open-file dialog's memory of the folders it was last used
    in (kept per program name in the prefix's user registry), so that every
    scenario's dialog starts in the program's own folder whatever an earlier
    scenario or run did, and the screensaver's setting, so that every
    scenario starts with none. Wine's processes of the prefix must not be
    running."""
    path = os.path.join(prefix, 'user.reg')
    with open(path, encoding='utf-8', errors='surrogateescape') as registry:
        lines = registry.read().split('\n')
    kept, skipping = [], False
    for line in lines:
        if line.startswith('['):
            skipping = line.startswith((
                '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\ComDlg32',
                '[Software\\\\MOTTLER'))
        if not skipping:
            kept.append(line)
    with open(path, 'w', encoding='utf-8', errors='surrogateescape') as registry:
        registry.write('\n'.join(kept))


def z_path(unix_path):
    """The path as Windows programs under Wine see it: drive Z: is /."""
    return 'Z:' + unix_path.replace('/', '\\')


def cpu_seconds(pid):
    with open(f'/proc/{pid}/stat') as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


class Program:
    """The program in one session, started from its own copy in a folder the
    session chose, natively (through an emulator when one is given: another
    processor's build) or under Wine."""

    def __init__(self, exe, native, env, log, emulator=()):
        self.exe = exe
        self.native = native
        self.emulator = list(emulator)
        self.env = env
        self.log = log
        self.process = None

    @property
    def pid(self):
        return self.process.pid if self.process is not None else None

    def prepare(self):
        """Before the display starts: under Wine, the prefix's processes of
        an earlier run are gone and its dialog remembers no folders."""
        if not self.native:
            subprocess.run(['wineserver', '--wait'], env=self.env, timeout=WINDOW_DEADLINE)
            forget_dialog_folders(self.env['WINEPREFIX'])

    def start(self, folder, cwd=None, args=()):
        """Copies the program into folder and starts it there (or in cwd),
        with the given arguments."""
        exe = os.path.join(folder, os.path.basename(self.exe))
        shutil.copy(self.exe, exe)
        command = [*self.emulator, exe, *args] if self.native else ['wine', exe, *args]
        self.process = subprocess.Popen(command, cwd=cwd or folder, env=self.env,
                                        stdout=self.log, stderr=self.log)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def typed(self, path):
        """A path as the program's dialog takes it and its caption shows it."""
        return path if self.native else z_path(path)

    def wait(self):
        """The exit status once the program has ended by itself."""
        try:
            return self.process.wait(timeout=WINDOW_DEADLINE)
        except subprocess.TimeoutExpired:
            raise Failure('the program did not end after its window was closed')

    def end(self):
        """Ends the program if it still runs, by process id, and waits for
        Wine's own processes of this run to go; returns what was wrong."""
        problems = []
        if self.running():
            problems.append('program still running at the end')
            self.process.kill()
            self.process.wait()
        try:
            if not self.native:
                subprocess.run(['wineserver', '--wait'], env=self.env, timeout=WINDOW_DEADLINE,
                               stdout=self.log, stderr=self.log)
        except subprocess.TimeoutExpired:
            problems.append("Wine's processes did not end")
            subprocess.run(['wineserver', '--kill'], env=self.env, stdout=self.log,
                           stderr=self.log)
        return problems

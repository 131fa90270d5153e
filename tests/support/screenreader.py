#!/usr/bin/python3
"""Runs a program under a real screen reader and prints what it speaks after each key.

usage: screenreader.py KEY... -- PROGRAM [ARG...]

A desktop of its own: Xvfb, a session bus, the AT-SPI bus, openbox, speech-dispatcher with its
dummy output and Orca, whose debug log holds every line it speaks. Once Orca has announced the
program's window, each KEY ("Tab", "space", "F1", "C-e" for Ctrl+E, "S-F2" for Shift+F2) is typed
through the X server, and the lines spoken until speech settles are printed as "KEY" followed by
one "  LINE" each. Orca's echo of the typed key is left out. Exit status 77 when a part of the
desktop is not installed or does not start.
"""
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
# Orca flushes its debug log only when it exits; every line is needed while it runs.
ORCA = """
import runpy, sys
import orca.debug as debug
printed = debug.println
def println(level, text='', timestamp=False):
    printed(level, text, timestamp)
    if debug.debugFile:
        debug.debugFile.flush()
debug.println = println
sys.argv = ['orca'] + sys.argv[1:]
runpy.run_path('/usr/bin/orca', run_name='__main__')
"""
NEEDED = ['Xvfb', 'dbus-daemon', 'openbox', 'speech-dispatcher', '/usr/bin/orca',
          '/usr/libexec/at-spi-bus-launcher']
KEYSYMS = {'Tab': 0xff09, 'space': 0x20, 'Return': 0xff0d, 'Escape': 0xff1b}
# X keycodes of the modifiers in Xvfb's default keymap.
MODIFIERS = {'C': 37, 'S': 50}
# What Orca says of a key itself as it is typed.
ECHOES = ['left control', 'left shift', 'control', 'shift']
SETTLE = 1.5     # seconds of silence that end a key's speech
LONGEST = 8.0    # seconds a key's speech may take in all
STARTUP = 30.0


def wait_for(check, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(0.05)
    return False


class Desktop:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='screenreader-')
        self.children = []
        self.env = dict(os.environ, HOME=self.dir, XDG_RUNTIME_DIR=os.path.join(self.dir, 'run'),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', QT_QPA_PLATFORM='xcb')
        os.mkdir(self.env['XDG_RUNTIME_DIR'], 0o700)
        self.log = os.path.join(self.dir, 'orca.log')

    def start(self, argv, **kw):
        child = subprocess.Popen(argv, env=self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True, **kw)
        self.children.append(child)
        return child

    def up(self):
        # Xvfb picks a free display itself and says which: tests may run side by side.
        read_end, write_end = os.pipe()
        self.start(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x800x24',
                    '-nolisten', 'tcp'], pass_fds=(write_end,))
        os.close(write_end)
        if not select.select([read_end], [], [], STARTUP)[0]:
            return 'Xvfb did not start'
        display = os.read(read_end, 16).decode().strip()
        os.close(read_end)
        if not display:
            return 'Xvfb did not start'
        self.env['DISPLAY'] = ':' + display
        bus = subprocess.run(['dbus-daemon', '--session', '--fork', '--print-address=1'], env=self.env, capture_output=True, text=True)
        if bus.returncode != 0:
            return 'no session bus: ' + bus.stderr.strip()
        self.env['DBUS_SESSION_BUS_ADDRESS'] = bus.stdout.split('\n')[0]
        self.start(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately', '--a11y=1'])
        self.start(['openbox'])
        self.start(['speech-dispatcher', '-s', '-t', '0'])
        self.start(['/usr/bin/python3', '-c', ORCA, '-u', os.path.join(self.dir, 'orca'),
                    '--debug-file', self.log])
        if not wait_for(lambda: 'Screen reader on' in ''.join(self.spoken()), STARTUP):
            return 'Orca did not start'
        return None

    def spoken(self):
        try:
            with open(self.log, errors='replace') as f:
                lines = f.readlines()
        except FileNotFoundError:
            return []
        said = []
        for line in lines:
            if ' - SPEECH OUTPUT: ' in line:
                text = line.split(' - SPEECH OUTPUT: ', 1)[1]
                quoted = re.match(r"'(.*)'\s*\{", text)  # the text, then Orca's voice settings
                said.append(quoted.group(1) if quoted else text.strip())
        return said

    def down(self):
        # Orca ignores SIGTERM.
        for child in reversed(self.children):
            try:
                os.killpg(child.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            child.wait()
        # Daemons leave their session: whatever still carries this desktop's home goes too.
        for pid in filter(str.isdigit, os.listdir('/proc')):
            if int(pid) == os.getpid():
                continue
            try:
                with open('/proc/%s/environ' % pid, 'rb') as f:
                    if ('HOME=%s' % self.dir).encode() in f.read().split(b'\0'):
                        os.kill(int(pid), signal.SIGKILL)
            except (OSError, ProcessLookupError):
                pass
        shutil.rmtree(self.dir, ignore_errors=True)


def type_key(key):
    import gi
    gi.require_version('Atspi', '2.0')
    from gi.repository import Atspi
    *mods, name = key.split('-') if key != '-' else ['-']
    if name in KEYSYMS:
        sym = KEYSYMS[name]
    elif name.startswith('F') and name[1:].isdigit():
        sym = 0xffbe + int(name[1:]) - 1
    else:
        sym = ord(name)
    for mod in mods:
        Atspi.generate_keyboard_event(MODIFIERS[mod], None, Atspi.KeySynthType.PRESS)
    Atspi.generate_keyboard_event(sym, None, Atspi.KeySynthType.SYM)
    for mod in reversed(mods):
        Atspi.generate_keyboard_event(MODIFIERS[mod], None, Atspi.KeySynthType.RELEASE)


def settle(desktop, before):
    last, count = time.monotonic(), len(desktop.spoken())
    end = last + LONGEST
    while time.monotonic() < end and time.monotonic() - last < SETTLE:
        time.sleep(0.05)
        now = len(desktop.spoken())
        if now != count:
            last, count = time.monotonic(), now
    return desktop.spoken()[before:]


def main():
    if '--' not in sys.argv:
        print(__doc__, file=sys.stderr)
        return 2
    split = sys.argv.index('--')
    keys, program = sys.argv[1:split], sys.argv[split + 1:]
    missing = [n for n in NEEDED if not shutil.which(n)]
    if missing:
        print('not installed: ' + ', '.join(missing))
        return SKIP
    # Two of these desktops at once keep each other's Orca from starting: one at a time.
    lock = open(os.path.join(tempfile.gettempdir(), 'tavrin-screenreader.lock'), 'w')
    fcntl.flock(lock, fcntl.LOCK_EX)
    desktop = Desktop()
    try:
        why = desktop.up()
        if why:
            print(why)
            if os.environ.get('SCREENREADER_LOG') and os.path.exists(desktop.log):
                shutil.copy(desktop.log, os.environ['SCREENREADER_LOG'])
            return SKIP
        env = dict(desktop.env)
        os.environ.update(env)  # the AT-SPI calls below go to this desktop
        desktop.start(program)
        # The window is up once Orca has said what has the focus in it.
        if not wait_for(lambda: any(s.endswith('frame.') for s in desktop.spoken()), STARTUP):
            print('the program\'s window never had the focus')
            if os.environ.get('SCREENREADER_LOG'):
                shutil.copy(desktop.log, os.environ['SCREENREADER_LOG'])
            return 1
        settle(desktop, 0)
        for key in keys:
            before = len(desktop.spoken())
            type_key(key)
            print(key)
            for line in settle(desktop, before):
                if line.strip().lower() not in ECHOES + [key.split('-')[-1].lower()]:
                    print('  ' + line)
            sys.stdout.flush()
        return 0
    finally:
        desktop.down()


if __name__ == '__main__':
    sys.exit(main())

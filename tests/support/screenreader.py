#!/usr/bin/python3
"""Runs a program under a real screen reader and prints what it speaks after each key.

usage: screenreader.py KEY... -- PROGRAM [ARG...]

A desktop of its own: Xvfb, a session bus, the AT-SPI bus, openbox, speech-dispatcher with its
dummy output and Orca, whose debug log holds every line it speaks. Once Orca has announced the
program's window, each KEY ("Tab", "space", "F1", "C-e" for Ctrl+E, "S-F2" for Shift+F2) is typed
through the X server, then printed, then each line spoken until speech settles, indented by two
spaces (Orca's echo of the key itself left out). Exit status 77 when the desktop's parts are not
installed, 1 when they do not start.
"""
import fcntl, os, re, select, shutil, signal, subprocess, sys, tempfile, time

# Orca flushes its debug log only when it exits; every line is needed while it runs.
ORCA = """import runpy, sys, orca.debug as debug
printed = debug.println
def println(level, text='', timestamp=False):
    printed(level, text, timestamp)
    debug.debugFile and debug.debugFile.flush()
debug.println = println
sys.argv = ['orca'] + sys.argv[1:]
runpy.run_path('/usr/bin/orca', run_name='__main__')"""
NEEDED = ['Xvfb', 'dbus-daemon', 'openbox', 'speech-dispatcher', '/usr/bin/orca',
          '/usr/libexec/at-spi-bus-launcher']
KEYSYMS = {'Tab': 0xff09, 'space': 0x20, 'Return': 0xff0d, 'Escape': 0xff1b}
MODIFIERS = {'C': 37, 'S': 50}  # X keycodes of Control and Shift in Xvfb's keymap
ECHOES = ['left control', 'left shift']
# Seconds: the silence that ends a key's speech, the longest it may take, a part's start.
SETTLE, LONGEST, STARTUP = 1.5, 8.0, 30.0
FOCUS_ATTEMPTS, FOCUS_WAIT = 3, 10.0


def wait_for(check, seconds):
    end = time.monotonic() + seconds
    while not check():
        if time.monotonic() > end:
            return False
        time.sleep(0.05)
    return True


class Desktop:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='screenreader-')
        self.log, self.children = os.path.join(self.dir, 'orca.log'), []
        self.env = dict(os.environ, HOME=self.dir, XDG_RUNTIME_DIR=self.dir,
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', QT_QPA_PLATFORM='xcb')

    def start(self, argv, **kw):
        kw.setdefault('stderr', subprocess.DEVNULL)
        self.children.append(subprocess.Popen(argv, env=self.env, stdout=subprocess.DEVNULL,
                                              start_new_session=True, **kw))

    def up(self):
        # Xvfb picks a free display itself and says which.
        read_end, write_end = os.pipe()
        self.start(['Xvfb', '-displayfd', str(write_end), '-nolisten', 'tcp'],
                   pass_fds=(write_end,))
        os.close(write_end)
        display = os.read(read_end, 16).decode().strip() if select.select(
            [read_end], [], [], STARTUP)[0] else ''
        if not display:
            return 'Xvfb did not start'
        self.env['DISPLAY'] = ':' + display
        bus = subprocess.run(['dbus-daemon', '--session', '--fork', '--print-address=1'],
                             env=self.env, capture_output=True, text=True)
        if bus.returncode != 0:
            return 'no session bus: ' + bus.stderr
        self.env['DBUS_SESSION_BUS_ADDRESS'] = bus.stdout.split('\n')[0]
        self.start(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately', '--a11y=1'])
        # Openbox runs its start-up command once it manages the screen; now and then it does
        # not come up, and a second one is started.
        managed = os.path.join(self.dir, 'managed')
        for attempt in range(FOCUS_ATTEMPTS):
            self.start(['openbox', '--startup', 'touch ' + managed],
                       stderr=open(os.path.join(self.dir, 'openbox.log'), 'a'))
            if wait_for(lambda: os.path.exists(managed), FOCUS_WAIT):
                break
            os.killpg(self.children[-1].pid, signal.SIGKILL)
        else:
            return 'openbox did not start: ' + open(os.path.join(self.dir, 'openbox.log')).read()
        self.start(['speech-dispatcher', '-s', '-t', '0'])
        self.start(['/usr/bin/python3', '-c', ORCA, '-u', self.dir, '--debug-file', self.log])
        return None if wait_for(lambda: 'Screen reader on.' in self.spoken(), STARTUP) \
            else 'Orca did not start'

    def spoken(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, errors='replace') as f:
            # The text, then Orca's voice settings.
            return re.findall(r" - SPEECH OUTPUT: '(.*)'\s*\{", f.read())

    def down(self):
        for child in self.children:  # Orca ignores SIGTERM
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()
        # Daemons leave their session: whatever still carries this desktop's home goes too.
        mine = ('HOME=' + self.dir).encode()
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                if int(pid) != os.getpid() and mine in open('/proc/%s/environ' % pid,
                                                             'rb').read().split(b'\0'):
                    os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)


def type_key(key):
    import gi
    gi.require_version('Atspi', '2.0')
    from gi.repository import Atspi
    *mods, name = key.split('-')
    sym = KEYSYMS.get(name) or (0xffbe + int(name[1:]) - 1 if name[0] == 'F' and name[1:]
                                else ord(name))
    for mod in mods:
        Atspi.generate_keyboard_event(MODIFIERS[mod], None, Atspi.KeySynthType.PRESS)
    Atspi.generate_keyboard_event(sym, None, Atspi.KeySynthType.SYM)
    for mod in reversed(mods):
        Atspi.generate_keyboard_event(MODIFIERS[mod], None, Atspi.KeySynthType.RELEASE)


def settle(desktop):
    last, count, end = time.monotonic(), len(desktop.spoken()), time.monotonic() + LONGEST
    while time.monotonic() < end and time.monotonic() - last < SETTLE:
        time.sleep(0.05)
        if len(desktop.spoken()) != count:
            last, count = time.monotonic(), len(desktop.spoken())


def start_focused(desktop, program):
    # The window has the keyboard once Orca has said what has the focus in it. Now and then
    # the first window goes unannounced: the program is started again.
    for attempt in range(FOCUS_ATTEMPTS):
        desktop.start(program)
        if wait_for(lambda: any(s.endswith('frame.') for s in desktop.spoken()), FOCUS_WAIT):
            return None
        os.killpg(desktop.children[-1].pid, signal.SIGKILL)
    return "the program's window never had the focus"


def main():
    split = sys.argv.index('--')
    keys, program = sys.argv[1:split], sys.argv[split + 1:]
    missing = [n for n in NEEDED if not shutil.which(n)]
    if missing:
        print('not installed: ' + ', '.join(missing))
        return 77
    # Two of these desktops at once keep each other's Orca from starting: one at a time.
    lock = open(os.path.join(tempfile.gettempdir(), 'tavrin-screenreader.lock'), 'w')
    fcntl.flock(lock, fcntl.LOCK_EX)
    desktop = Desktop()
    try:
        why = desktop.up()
        if not why:
            os.environ.update(desktop.env)  # the keys typed below go to this desktop
            why = start_focused(desktop, program)
        if why:
            print(why)
            return 1
        settle(desktop)
        for key in keys:
            before = len(desktop.spoken())
            type_key(key)
            settle(desktop)
            print(key)
            for line in desktop.spoken()[before:]:
                if line.strip().lower() not in ECHOES + [key.split('-')[-1].lower()]:
                    print('  ' + line)
        return 0
    finally:
        desktop.down()


if __name__ == '__main__':
    sys.exit(main())

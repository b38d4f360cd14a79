#!/usr/bin/python3
# Orca check: the screen reader Orca, headless beside the calculator, and what it would have said (not part of make test).
#
#   tools/orca_check.py [build/brightness]
#
# Runs itself under xvfb-run and dbus-run-session, so the display and the buses are its own
# and a desktop's screen reader is never touched. Starts Orca with a fresh settings folder and
# its debug log (which records every utterance, with or without a speech synthesizer), starts
# the calculator, gives it the focus, types 550 and Enter, then the closing key, and prints
# what Orca spoke. Exit status 0 when the answer line was among it. Needs the orca package,
# which tools/install-deps.sh does not install; Orca's wording changes between its versions.
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ANSWER = "Helligkeit Vollstfarbe:  84.12"


def outside(program):
    command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -nolisten tcp",
               "dbus-run-session", "--", "/usr/bin/python3", os.path.abspath(__file__), "--inside", program]
    env = dict(os.environ)
    env.pop("NO_AT_BRIDGE", None)
    return subprocess.call(command, env=env)


class keyboard:
    """Keys and the pointer through XTest, and the focus, on the private display."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)

    def press(self, name):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.2)

    def focus_window_at(self, x, y):
        # With no window manager the focus follows the pointer once it is the pointer's root:
        # the window under the pointer is told it got the focus.
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x11.XSetInputFocus(self.display, 0, 1, 0)  # None
        self.x11.XSetInputFocus(self.display, 1, 1, 0)  # PointerRoot
        self.x11.XSync(self.display, 0)


def inside(program):
    folder = tempfile.mkdtemp(prefix="orca_check_")
    log = os.path.join(folder, "debug.out")
    orca = subprocess.Popen(["orca", "--user-prefs", folder, "--debug-file", log],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(3)  # Orca starts and registers its listeners
    calculator = subprocess.Popen([program])
    time.sleep(2)
    keys = keyboard()
    keys.focus_window_at(100, 100)  # the window sits in the top left corner
    time.sleep(1)
    for key in ["5", "5", "0", "Return"]:
        keys.press(key)
    time.sleep(3)
    # Orca writes its log through a buffer and runs its signal handler only when an event
    # brings it back to Python: ask it to stop, then let the program's end bring events.
    orca.send_signal(signal.SIGINT)
    keys.press("space")
    calculator.wait(10)
    try:
        orca.wait(20)
    except subprocess.TimeoutExpired:
        orca.kill()
        orca.wait()
    with open(log, encoding="utf-8", errors="replace") as text:
        # An utterance may run over several lines; its voice settings follow it in braces.
        spoken = re.findall(r"SPEECH OUTPUT: '(.*?)' ?\[?\{", text.read(), re.S)
    shutil.rmtree(folder, ignore_errors=True)
    for said in spoken:
        lines = [line.rstrip() for line in said.split("\n")]
        while lines and not lines[-1]:
            lines.pop()
        print("Orca: " + "\n      ".join(lines))
    heard = any(ANSWER in said for said in spoken)
    print("the answer line was %s" % ("spoken" if heard else "NOT spoken"))
    return 0 if heard else 1


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2]))
    default = os.path.join(HERE, "..", "build", "brightness")
    sys.exit(outside(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else default)))

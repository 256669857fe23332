#!/usr/bin/env python3
"""Times programs from launch until their main window is mapped on the X display.

Usage: startup-time.py [--ratio NAME/BASE ...] RUNS NAME=TITLE_PREFIX=COMMAND [...]

Each program is started RUNS times, the programs taking turns, each run in a fresh configuration
and data folder. A run ends when a top-level window whose title starts with TITLE_PREFIX is
mapped; the program is then ended. Prints each program's median, fastest and slowest run in
milliseconds, and for each --ratio the median of NAME's runs over BASE's taken run by run. Needs
DISPLAY; the window manager is not needed (the windows are the root's
children).
"""

import ctypes
import os
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
TIMEOUT_S = 20.0


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class XMapEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("event", ctypes.c_ulong),
        ("window", ctypes.c_ulong),
        ("override_redirect", ctypes.c_int),
    ]


class Display:
    def __init__(self):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(ctypes.c_char_p)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            sys.exit("startup-time: cannot open the display; is DISPLAY set?")
        root = self.x.XDefaultRootWindow(self.display)
        self.x.XSelectInput(self.display, root, SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.display)
        self.fd = self.x.XConnectionNumber(self.display)

    def title(self, window):
        name = ctypes.c_char_p()
        if not self.x.XFetchName(self.display, window, ctypes.byref(name)) or not name.value:
            return ""
        text = name.value.decode("utf-8", "replace")
        self.x.XFree(name)
        return text

    def drain(self):
        event = XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    # Waits for a mapped window with the title prefix; returns the time it was seen, or None.
    def wait_for_map(self, prefix, deadline):
        event = XEvent()
        while time.monotonic() < deadline:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, ctypes.byref(event))
                if event.type != MAP_NOTIFY:
                    continue
                mapped = ctypes.cast(ctypes.byref(event), ctypes.POINTER(XMapEvent)).contents
                if self.title(mapped.window).startswith(prefix):
                    return time.monotonic()
            select.select([self.fd], [], [], 0.05)
        return None


def run_once(display, prefix, command):
    with tempfile.TemporaryDirectory(prefix="startup-") as home:
        env = dict(os.environ)
        for key in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            env[key] = os.path.join(home, key.lower())
        display.drain()
        start = time.monotonic()
        process = subprocess.Popen(command, shell=True, env=env, cwd=home,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        mapped = display.wait_for_map(prefix, start + TIMEOUT_S)
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        # Lets the audio server and the X server settle between runs.
        time.sleep(0.3)
        return None if mapped is None else (mapped - start) * 1000.0


def main():
    args = sys.argv[1:]
    ratios = []
    while args[:1] == ["--ratio"] and len(args) > 1:
        ratios.append(args[1].split("/"))
        args = args[2:]
    if len(args) < 2:
        sys.exit(__doc__)
    runs = int(args[0])
    programs = []
    for program in args[1:]:
        name, prefix, command = program.split("=", 2)
        programs.append((name, prefix, command))
    display = Display()
    times = {name: [] for name, _, _ in programs}
    loads = []
    for _ in range(runs):
        for name, prefix, command in programs:
            elapsed = run_once(display, prefix, command)
            if elapsed is None:
                sys.exit(f"startup-time: no window of {name} within {TIMEOUT_S:.0f} s")
            times[name].append(elapsed)
        loads.append(os.getloadavg()[0])
    for name, values in times.items():
        print(f"{name:10} median {statistics.median(values):6.1f} ms   "
              f"fastest {min(values):6.1f}   slowest {max(values):6.1f}   ({len(values)} runs)")
    for ratio in ratios:
        # Run by run, so that both sides of each ratio met the same load.
        pairs = [a / b for a, b in zip(times[ratio[0]], times[ratio[1]])]
        print(f"{ratio[0]} / {ratio[1]}: median {statistics.median(pairs):.2f} "
              f"(run by run; the medians' ratio "
              f"{statistics.median(times[ratio[0]]) / statistics.median(times[ratio[1]]):.2f})")
    print(f"load (1 min) during the runs: median {statistics.median(loads):.2f}, "
          f"from {min(loads):.2f} to {max(loads):.2f}")


if __name__ == "__main__":
    main()

"""Drives the program in a real window system: a private Xvfb display with
openbox as window manager (or none), the program started in it, the mouse
moved and pressed with xdotool, the window read with xprop and xwininfo and
the screen grabbed for pixel comparisons.

xdotool gets a short pause between steps: a press and a release in one call
can leave openbox stuck in its move mode.
"""

import os
import re
import signal
import socket
import subprocess
import threading
import time

from PIL import ImageGrab

CAPTION = "Vellumo-Tarnwick2019"
STEP_PAUSE = 0.15


def wait_until(condition, timeout=5.0, interval=0.02):
    """Polls `condition` until it gives something true; returns it or None."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            return None
        time.sleep(interval)


class Desktop:
    """A private X display, with openbox unless told otherwise."""

    def __init__(self, width=1024, height=768, window_manager=True):
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.window_manager = None
        if window_manager:
            self.window_manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if not wait_until(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")):
                raise RuntimeError("openbox did not start")

    def run(self, *command, check=False):
        result = subprocess.run(command, env=self.env, capture_output=True, text=True, check=check)
        return result.stdout

    def xdotool(self, *arguments):
        self.run("xdotool", *map(str, arguments), check=True)
        time.sleep(STEP_PAUSE)

    def grab(self):
        return ImageGrab.grab(xdisplay=self.display).convert("RGB")

    def window_named(self, name):
        """Ids of the viewable top-level windows whose name is `name`."""
        tree = self.run("xwininfo", "-root", "-tree")
        ids = re.findall(r"^\s+(0x[0-9a-f]+) \"" + re.escape(name) + r"\"", tree, re.MULTILINE)
        return [int(i, 16) for i in ids if "IsViewable" in self.run("xwininfo", "-id", i)]

    def stop(self):
        for process in (self.window_manager, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


class Program:
    """The program (or a test build of it) running on a desktop."""

    def __init__(self, desktop, executable, *arguments, cwd=None):
        self.desktop = desktop
        self.started_at = time.monotonic()
        self.process = subprocess.Popen([executable, *arguments], env=desktop.env, cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.window = None

    def wait_for_window(self, timeout=10.0):
        found = wait_until(lambda: self.desktop.window_named(CAPTION), timeout)
        if not found:
            raise AssertionError("the window did not appear")
        self.window = found[0]
        return self.window

    def info(self):
        """xwininfo of the window as a dict of its "Name: value" lines."""
        text = self.desktop.run("xwininfo", "-id", str(self.window))
        return dict(re.findall(r"^\s+([^:\n]+):\s+(.*)$", text, re.MULTILINE))

    def position(self):
        info = self.info()
        return int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"])

    def size(self):
        info = self.info()
        return int(info["Width"]), int(info["Height"])

    def prop(self, name):
        return self.desktop.run("xprop", "-id", str(self.window), name)

    def screen_point(self, at):
        x, y = self.position()
        return x + at[0], y + at[1]

    def move_pointer(self, at):
        self.desktop.xdotool("mousemove", *self.screen_point(at))

    def press(self, at, button=1):
        self.move_pointer(at)
        self.desktop.xdotool("mousedown", button)

    def release(self, at, button=1):
        self.move_pointer(at)
        self.desktop.xdotool("mouseup", button)

    def click(self, at, button=1):
        self.press(at, button)
        self.release(at, button)

    def pixels(self):
        """The window's client area as shown on the screen."""
        x, y = self.position()
        width, height = self.size()
        return self.desktop.grab().crop((x, y, x + width, y + height))

    def exit_status(self, timeout=5.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
        self.process.stderr.close()


class SilentProxy:
    """Listens where the program fetches its pictures, counts connections and
    never answers: the refresh waits and the frame stays hidden."""

    def __init__(self, host_port):
        host, port = host_port.rsplit(":", 1)
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind((host, int(port)))
        self.server.listen(64)
        self.connections = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.server.accept()
            except OSError:
                return
            with self.lock:
                self.connections.append(connection)

    def count(self):
        with self.lock:
            return len(self.connections)

    def stop(self):
        # shutdown wakes the accepting thread; close alone leaves it holding
        # the port.
        try:
            self.server.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.server.close()
        self.thread.join(timeout=5)
        with self.lock:
            for connection in self.connections:
                connection.close()

"""Drives the program in a real window system: a private Xvfb display with
openbox as window manager (or none), the program started in it, the mouse
moved and pressed with xdotool, the window read with xprop and xwininfo and
the screen grabbed for pixel comparisons.

xdotool gets a short pause between steps: a press and a release in one call
can leave openbox stuck in its move mode.
"""

import fcntl
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image, ImageChops, ImageGrab

CAPTION = "Vellumo-Tarnwick2019"
STEP_PAUSE = 0.15


OWN_NETWORK_MARK = "VT_WINDOW_TEST_OWN_NETWORK"
UNSHARE_NETWORK = ["unshare", "--user", "--map-root-user", "--net", "--"]


def enter_own_network():
    """Runs this script again in a network namespace of its own, with only a
    loopback device: the proxy's fixed port is then free whatever else runs on
    the machine. Returns in the new namespace, or at once where namespaces are
    not allowed (then the machine's network serves)."""
    if os.environ.get(OWN_NETWORK_MARK):
        bring_loopback_up()
        return
    if subprocess.run([*UNSHARE_NETWORK, "true"], capture_output=True).returncode != 0:
        print("no network namespace allowed: the machine's loopback serves", file=sys.stderr)
        return
    sys.stdout.flush()
    sys.stderr.flush()
    os.execvpe(UNSHARE_NETWORK[0], [*UNSHARE_NETWORK, sys.executable, *sys.argv],
               dict(os.environ, **{OWN_NETWORK_MARK: "1"}))


def bring_loopback_up():
    siocgifflags, siocsifflags, iff_up = 0x8913, 0x8914, 0x1
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as control:
        request = struct.pack("16sh", b"lo", 0)
        flags = struct.unpack("16sh", fcntl.ioctl(control, siocgifflags, request))[1]
        fcntl.ioctl(control, siocsifflags, struct.pack("16sh", b"lo", flags | iff_up))


def connected_to(port):
    """Whether some TCP connection to `port` is established (the namespace's own)."""
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    # remote address is HEXIP:HEXPORT; state 01 is ESTABLISHED
    return any(int(row[2].split(":")[1], 16) == port and row[3] == "01" for row in rows)


def wait_until(condition, timeout=15.0, interval=0.02):
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

    def grab(self, box=None):
        """The screen, or the part of it in `box` (left, top, right, bottom)."""
        return ImageGrab.grab(bbox=box, xdisplay=self.display).convert("RGB")

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

    def __init__(self, desktop, executable, *arguments, cwd=None, env=None):
        self.desktop = desktop
        self.started_at = time.monotonic()
        self.process = subprocess.Popen([executable, *arguments], env=dict(desktop.env, **(env or {})), cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.window = None

    def wait_for_window(self, timeout=30.0):
        found = wait_until(lambda: self.desktop.window_named(CAPTION), timeout)
        if not found:
            status = self.process.poll()
            if status is None:
                raise AssertionError("the window did not appear; the program still runs")
            raise AssertionError(f"the window did not appear; the program ended with {status}: "
                                 + self.process.stderr.read().decode(errors="replace"))
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

    def area_on_screen(self, box):
        """`box` of the window (left, top, right, bottom) in screen coordinates."""
        x, y = self.position()
        return box[0] + x, box[1] + y, box[2] + x, box[3] + y

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
    """Listens where the program fetches its pictures and keeps the raw bytes
    of every request. It answers none until told to: until then the refresh
    waits and the frame stays hidden."""

    HEAD_END = b"\r\n\r\n"

    def __init__(self, host_port):
        host, port = host_port.rsplit(":", 1)
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind((host, int(port)))
        self.server.listen(64)
        self.connections = []
        self.received = []  # the bytes each connection sent, in order of arrival
        self.answer = None  # the response every request gets, once set
        self.answer_set = threading.Event()
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
                self.received.append(bytearray())
                index = len(self.received) - 1
            threading.Thread(target=self._serve, args=(connection, index), daemon=True).start()

    def _serve(self, connection, index):
        try:
            while self.HEAD_END not in self.received[index]:
                data = connection.recv(65536)
                if not data:
                    return
                with self.lock:
                    self.received[index] += data
            self.answer_set.wait()
            connection.sendall(self.answer)
            connection.shutdown(socket.SHUT_WR)
        except OSError:
            pass  # the program or the test closed the connection

    def answer_with(self, body, content_type="application/octet-stream"):
        """Answers the waiting requests and every later one with `body`."""
        self.answer = (f"HTTP/1.1 200 OK\r\nContent-Type: {content_type}\r\nContent-Length: {len(body)}\r\n"
                       "Connection: close\r\n\r\n").encode() + body
        self.answer_set.set()

    def count(self):
        with self.lock:
            return len(self.connections)

    def request_heads(self):
        """The request line and header lines of each complete request so far."""
        with self.lock:
            return [bytes(data[:data.index(self.HEAD_END)]) for data in self.received if self.HEAD_END in data]

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


class PictureService:
    """The picture service on the proxy's address; its access log is kept."""

    def __init__(self, bin_dir, host_port, pictures=None, delay_ms=None):
        self.log_file = tempfile.TemporaryFile(mode="w+")
        command = [str(bin_dir / "picture-service"), "--listen", host_port]
        if pictures is not None:
            command += ["--pictures", str(pictures)]
        if delay_ms is not None:
            command += ["--delay-ms", str(delay_ms)]
        self.process = subprocess.Popen(command, stdout=self.log_file, stderr=subprocess.STDOUT)
        if not wait_until(lambda: "listening" in self.log() or self.process.poll() is not None, timeout=10) \
                or self.process.poll() is not None:
            log = self.log()
            self.stop()
            raise RuntimeError("the picture service did not start: " + log)

    def log(self):
        self.log_file.seek(0)
        return self.log_file.read()

    def pictures_served(self):
        return self.log().count('" 200 ')

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=3)
            except subprocess.TimeoutExpired:  # an answer held back for long keeps it waiting
                self.process.kill()
                self.process.wait()
        self.log_file.close()


def frame_rendering(bin_dir, picture):
    """What the frame shows for `picture`, rendered by the program's own
    picture box, and the frame's box in the window (left, top, right, bottom)."""
    with tempfile.TemporaryDirectory() as folder:
        output = os.path.join(folder, "frame.ppm")
        result = subprocess.run([str(bin_dir / "window_probe"), "frame-rendering", str(picture), output],
                                capture_output=True, text=True, check=True)
        x, y, width, height = map(int, result.stdout.split())
        with Image.open(output) as image:
            return image.convert("RGB"), (x, y, x + width, y + height)


def differs_by_more_than(first, second, tolerance):
    """Whether some channel of two same-sized pictures differs by more than
    `tolerance`."""
    if first.size != second.size:
        return True
    return any(high > tolerance for _, high in ImageChops.difference(first, second).getextrema())

#!/usr/bin/python3
"""The program in a real window system, driven like a user would.

    window_test.py --bin-dir DIR --source-dir DIR --proxy HOST:PORT [unittest arguments]

Each case gets its own Xvfb display (with openbox unless it says otherwise),
and a silent listener on the picture proxy's address, so no picture arrives
unless a case asks for one.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image, ImageSequence

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from window_driver import (Desktop, PictureService, Program, SilentProxy, connected_to,  # noqa: E402
                           differs_by_more_than, enter_own_network, frame_rendering, wait_until)

OPTIONS = None

WINDOW_SIZE = (266, 255)
CLOSE_ZONE = (250, 10)
MINIMIZE_ZONE = (220, 10)
TOUCH_ZONE = (100, 100)
OUTSIDE_ZONES = (150, 10)
DRAG_POINTS = [(100, 240), (100, 10), (100, 34)]  # bottom band, title band, the frame's top row
PROXY_PATH = b"/net/a/36/link?appid=36&url="
DEFAULT_USER_AGENT = b"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"
# Presses further apart than the double-click time start new click sequences.
PRESS_SPACING = 0.6
# The window copies the picture box's pixels to a 24-bit screen as they are,
# so a grab of the frame matches the box's own rendering exactly.
CHANNEL_TOLERANCE = 0


def sample(name):
    return OPTIONS.source_dir / "resources" / "samples" / name


def picture_lines():
    return (OPTIONS.source_dir / "resources" / "picture_list.txt").read_bytes().split(b"\r\n")


def skin():
    return Image.open(OPTIONS.source_dir / "resources" / "skin.png").convert("RGB")


class WindowCase(unittest.TestCase):
    WINDOW_MANAGER = True
    SCREEN = (1024, 768)

    def setUp(self):
        self.proxy = SilentProxy(OPTIONS.proxy)
        self.addCleanup(self.proxy.stop)
        self.desktop = Desktop(*self.SCREEN, window_manager=self.WINDOW_MANAGER)
        self.addCleanup(self.desktop.stop)

    def start(self, executable="vellumo-tarnwick", *arguments, cwd=None, wait=True):
        program = Program(self.desktop, str(OPTIONS.bin_dir / executable), *arguments, cwd=cwd)
        self.addCleanup(program.stop)
        if wait:
            program.wait_for_window()
            # The first activation's refresh has reached the proxy: the
            # program is up and running its loop.
            self.assertTrue(wait_until(lambda: self.proxy.count() >= 1), "no first refresh")
        return program

    def assert_still_running(self, program, seconds=0.5):
        time.sleep(seconds)
        self.assertTrue(program.running(), "the program ended")

    def wait_for_frame(self, program, expected, box, timeout=15.0):
        """Waits until the frame shows `expected` (within a grab's rounding)."""
        shown = wait_until(lambda: not differs_by_more_than(program.pixels().crop(box), expected, CHANNEL_TOLERANCE),
                           timeout)
        if not shown:
            program.pixels().crop(box).save(os.path.join(tempfile.gettempdir(), "vt-frame-shown.png"))
            self.fail("the frame does not show the expected picture (what it showed: vt-frame-shown.png in the "
                      "temporary folder)")

    def drag(self, program, start, by):
        program.press(start)
        for _ in range(3):  # in steps, as a hand does
            program.desktop.xdotool("mousemove_relative", "--", by[0] // 3, by[1] // 3)
        program.desktop.xdotool("mouseup", 1)


class Appearance(WindowCase):
    SCREEN = (1023, 767)  # odd sizes: the centre rounds towards the top left

    def test_opens_centred_with_no_frame(self):
        program = self.start()
        self.assertEqual(program.position(), ((1023 - 266) // 2, (767 - 255) // 2))
        self.assertEqual(program.size(), WINDOW_SIZE)
        self.assertIn("= 0, 0, 0, 0", program.prop("_NET_FRAME_EXTENTS"))
        # Decorations off in the Motif hints: flags 2 (decorations), value 0.
        self.assertIn("0x2, 0x0, 0x0", program.prop("_MOTIF_WM_HINTS"))

    def test_caption_icon_class_and_taskbar(self):
        program = self.start()
        self.assertIn('"Vellumo-Tarnwick2019"', program.prop("_NET_WM_NAME"))
        self.assertIn('"Vellumo-Tarnwick2019"', program.prop("WM_NAME"))
        self.assertIn('"Vellumo-Tarnwick", "Vellumo-Tarnwick"', program.prop("WM_CLASS"))
        self.assertIn("Icon (48 x 48)", program.prop("_NET_WM_ICON"))
        self.assertIn("_NET_WM_WINDOW_TYPE_NORMAL", program.prop("_NET_WM_WINDOW_TYPE"))
        state = program.prop("_NET_WM_STATE")
        self.assertNotIn("SKIP_TASKBAR", state)
        self.assertNotIn("ABOVE", state)
        # A desktop window leaves the compositor on.
        self.assertNotIn("= 1", program.prop("_NET_WM_BYPASS_COMPOSITOR"))

    def test_skin_shows_before_any_picture(self):
        program = self.start()
        skin = Image.open(OPTIONS.source_dir / "resources" / "skin.png").convert("RGB")
        shown = wait_until(lambda: program.pixels() if program.pixels().tobytes() == skin.tobytes() else None)
        self.assertIsNotNone(shown, "the window does not show the skin pixel for pixel")


class Dragging(WindowCase):
    def test_press_outside_the_zones_moves_the_window(self):
        program = self.start()
        for start in DRAG_POINTS:
            before = program.position()
            self.drag(program, start, (60, 30))
            self.assertEqual(program.position(), (before[0] + 60, before[1] + 30), f"press at {start}")
        self.assertTrue(program.running())

    def test_press_in_the_zones_does_not_move_the_window(self):
        program = self.start()
        for start in (MINIMIZE_ZONE, TOUCH_ZONE):
            before = program.position()
            self.drag(program, start, (60, 30))
            self.assertEqual(program.position(), before, f"press at {start}")


class DraggingWithoutWindowManager(Dragging):
    WINDOW_MANAGER = False


class ZonesAndButtons(WindowCase):
    def test_close_zone_ends_on_the_release_with_status_0(self):
        program = self.start()
        program.press(CLOSE_ZONE)
        self.assert_still_running(program)
        program.release(CLOSE_ZONE)
        self.assertEqual(program.exit_status(), 0)

    def test_press_in_touch_released_in_close_ends_with_status_0(self):
        program = self.start()
        program.press(TOUCH_ZONE)
        program.release(CLOSE_ZONE)
        self.assertEqual(program.exit_status(), 0)

    def test_press_in_close_released_outside_does_nothing(self):
        program = self.start()
        before = program.position()
        program.press(CLOSE_ZONE)
        program.release(OUTSIDE_ZONES)
        self.assert_still_running(program)
        self.assertEqual(program.position(), before)
        self.assertIn("IsViewable", program.info()["Map State"])

    def test_right_click_anywhere_does_nothing(self):
        program = self.start()
        before = program.position()
        for at in (CLOSE_ZONE, MINIMIZE_ZONE, TOUCH_ZONE, (100, 240), (100, 34)):
            program.click(at, button=3)
        self.assert_still_running(program)
        self.assertEqual(program.position(), before)
        self.assertIn("IsViewable", program.info()["Map State"])
        self.assertEqual(self.proxy.count(), 1, "only the first activation fetched")

    def test_touch_zone_fetches_once_per_press_and_once_per_double_click(self):
        program = self.start()
        program.click(TOUCH_ZONE)
        self.assertTrue(wait_until(lambda: self.proxy.count() == 2), "a press fetches")
        time.sleep(0.6)  # the next press starts a new click sequence
        # A triple click: a press, a double-click, a press.
        for _ in range(3):
            program.desktop.xdotool("mousedown", 1)
            program.desktop.xdotool("mouseup", 1)
        self.assertTrue(wait_until(lambda: self.proxy.count() == 4), f"{self.proxy.count()} fetches")
        time.sleep(0.3)
        self.assertEqual(self.proxy.count(), 4)

    def test_minimize_zone_minimizes_and_restoring_fetches_nothing(self):
        program = self.start()
        program.click(MINIMIZE_ZONE)
        self.assertTrue(wait_until(lambda: "Iconic" in program.prop("WM_STATE")), "not minimized")
        self.desktop.xdotool("windowactivate", program.window)
        self.assertTrue(wait_until(lambda: "Normal" in program.prop("WM_STATE")), "not restored")
        self.assertTrue(wait_until(lambda: "IsViewable" in program.info()["Map State"]))
        time.sleep(0.3)
        self.assertEqual(self.proxy.count(), 1, "a restore starts no refresh")


class Pictures(WindowCase):
    """With the picture service where the program fetches from."""

    def setUp(self):
        self.service = None
        self.addCleanup(self.stop_service)
        self.desktop = Desktop(*self.SCREEN)
        self.addCleanup(self.desktop.stop)

    def serve(self, *pictures, delay_ms=None):
        """(Re)starts the service with these samples only (all of them when
        none are named)."""
        self.stop_service()
        folder = None
        if pictures:
            folder = tempfile.mkdtemp()
            self.addCleanup(shutil.rmtree, folder)
            for name in pictures:
                shutil.copy(sample(name), folder)
        self.service = PictureService(OPTIONS.bin_dir, OPTIONS.proxy, folder, delay_ms)

    def stop_service(self):
        if self.service:
            self.service.stop()
            self.service = None

    def requests(self):
        return self.service.log().count('"GET ')

    def start_program(self):
        program = Program(self.desktop, str(OPTIONS.bin_dir / "vellumo-tarnwick"))
        self.addCleanup(program.stop)
        program.wait_for_window()
        return program

    def test_first_activation_and_each_touch_show_a_picture_in_the_frame(self):
        self.serve()
        program = self.start_program()
        frame_box = (40, 34, 229, 223)

        def frame_differs_from_skin():
            shown = program.pixels()
            return shown.crop(frame_box).tobytes() != skin().crop(frame_box).tobytes() and shown
        shown = wait_until(frame_differs_from_skin)
        self.assertTrue(shown, "no picture in the frame")
        self.assertEqual(self.service.pictures_served(), 1)
        # Outside the frame the skin stays as it is.
        for at in ((20, 100), (250, 15), (100, 240), (39, 100), (229, 100)):
            self.assertEqual(shown.getpixel(at), skin().getpixel(at), at)

        program.click(TOUCH_ZONE)
        self.assertTrue(wait_until(lambda: self.service.pictures_served() == 2), "a press fetched no picture")

    def test_each_press_shows_the_served_picture_at_the_fit_geometry(self):
        # Small and kept at its size, then shrunk from wider than high, then
        # shrunk from a large photograph.
        pictures = ["fu_100x100.jpg", "fu_378x252.jpg", "fu_4000x3000.jpg"]
        self.serve(pictures[0])
        program = self.start_program()
        for index, name in enumerate(pictures):
            if index > 0:
                self.serve(name)
                time.sleep(PRESS_SPACING)
                program.click(TOUCH_ZONE)
            with self.subTest(picture=name):
                expected, box = frame_rendering(OPTIONS.bin_dir, sample(name))
                self.wait_for_frame(program, expected, box)
                time.sleep(0.3)
                self.assertEqual(self.requests(), 1)

    def test_close_zone_during_a_slow_download_ends_at_once(self):
        self.serve(delay_ms=30000)
        program = self.start_program()
        port = int(OPTIONS.proxy.rsplit(":", 1)[1])
        self.assertTrue(wait_until(lambda: connected_to(port)), "the download did not start")
        program.press(CLOSE_ZONE)
        released = time.monotonic()
        program.release(CLOSE_ZONE)
        self.assertEqual(program.exit_status(timeout=10), 0)
        self.assertLess(time.monotonic() - released, 2.0)

    def test_an_animated_picture_plays_at_its_delays_until_the_next_press(self):
        with Image.open(sample("fu_animated.gif")) as animation:
            delays = [animation.info["duration"] / 1000.0 for _ in ImageSequence.Iterator(animation)]
        first_frame, box = frame_rendering(OPTIONS.bin_dir, sample("fu_animated.gif"))
        self.serve("fu_animated.gif")
        program = self.start_program()
        on_screen = program.area_on_screen(box)
        self.assertTrue(wait_until(lambda: self.desktop.grab(on_screen).tobytes() != skin().crop(box).tobytes()),
                        "no picture in the frame")

        def watch(seconds):
            """The frame's pictures over `seconds`, each with when it appeared."""
            changes = []
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                shown = self.desktop.grab(on_screen)
                if not changes or shown.tobytes() != changes[-1][1].tobytes():
                    changes.append((time.monotonic(), shown))
            return changes

        changes = watch(6 * sum(delays) / len(delays))
        self.assertGreaterEqual(len(changes), 4, "the picture does not animate")
        self.assertTrue(any(not differs_by_more_than(shown, first_frame, CHANNEL_TOLERANCE) for _, shown in changes),
                        "the first frame never showed")
        gaps = sorted(later[0] - earlier[0] for earlier, later in zip(changes[1:], changes[2:]))
        median_gap = gaps[len(gaps) // 2]
        self.assertGreater(median_gap, 0.75 * min(delays), f"frames change too fast: {gaps}")
        self.assertLess(median_gap, 2.0 * max(delays), f"frames change too slowly: {gaps}")

        self.serve("fu_100x100.jpg")
        program.click(TOUCH_ZONE)
        still, _ = frame_rendering(OPTIONS.bin_dir, sample("fu_100x100.jpg"))
        self.wait_for_frame(program, still, box)
        self.assertEqual(len(watch(3 * max(delays))), 1, "the frame still changes")


class Refresh(WindowCase):
    """What the program asks the proxy for, and when the frame appears."""

    def assert_default_request(self, head):
        """`head` is a GET of the proxy path and a list line, with the default
        header block; gives the query."""
        request_line, *headers = head.split(b"\r\n")
        method, target, version = request_line.split(b" ")
        self.assertEqual((method, version), (b"GET", b"HTTP/1.1"))
        self.assertTrue(target.startswith(PROXY_PATH), target)
        self.assertIn(target[len(PROXY_PATH):], picture_lines(), "not a line of the list, byte for byte")
        host = OPTIONS.proxy.encode()
        self.assertEqual(headers, [b"Host: " + host, b"User-Agent: " + DEFAULT_USER_AGENT, b"Accept: */*",
                                   b"Referer: http://" + host + target, b"Accept-Language: zh-cn"])
        return target.split(b"?", 1)[1]

    def test_start_up_makes_one_request_and_shows_the_frame_once_it_is_answered(self):
        program = self.start()
        heads = wait_until(self.proxy.request_heads)
        self.assertTrue(heads, "the request did not arrive whole")
        self.assert_default_request(heads[0])

        expected, box = frame_rendering(OPTIONS.bin_dir, sample("fu_100x100.jpg"))
        skin_frame = skin().crop(box)
        for _ in range(5):  # the response is held back: the frame stays hidden
            self.assertEqual(program.pixels().crop(box).tobytes(), skin_frame.tobytes())
            time.sleep(0.1)
        self.proxy.answer_with(sample("fu_100x100.jpg").read_bytes(), "image/jpeg")
        self.wait_for_frame(program, expected, box)
        self.assertEqual(self.proxy.count(), 1)

    def test_spaced_presses_each_make_one_request_and_durl_comes_last(self):
        program = self.start()
        presses = 0
        durl_requested = False
        # Until five presses and a line with a second address (about one in
        # four lines has one) have been seen.
        while presses < 5 or not durl_requested:
            self.assertLess(presses, 40, "no line with a second address was drawn")
            time.sleep(PRESS_SPACING)
            program.click(TOUCH_ZONE)
            presses += 1
            self.assertTrue(wait_until(lambda: len(self.proxy.request_heads()) == presses + 1),
                            f"{self.proxy.count()} requests after {presses} presses")
            query = self.assert_default_request(self.proxy.request_heads()[-1])
            names = [parameter.split(b"=", 1)[0] for parameter in query.split(b"&")]
            if b"&durl=" in query:
                durl_requested = True
                self.assertEqual(names, [b"appid", b"url", b"durl"], query)
            else:
                self.assertEqual(names, [b"appid", b"url"], query)
        time.sleep(0.3)
        self.assertEqual(self.proxy.count(), presses + 1)


class NothingListening(WindowCase):
    """No proxy at all: every request fails at once."""

    def setUp(self):
        self.desktop = Desktop(*self.SCREEN)
        self.addCleanup(self.desktop.stop)

    def test_frame_becomes_a_plain_square_and_the_window_still_works(self):
        program = self.start(wait=False)
        program.wait_for_window()
        _, box = frame_rendering(OPTIONS.bin_dir, sample("fu_100x100.jpg"))
        plain = Image.new("RGB", (box[2] - box[0], box[3] - box[1]), (240, 240, 240))
        self.wait_for_frame(program, plain, box)

        before = program.position()
        self.drag(program, (100, 240), (60, 30))
        self.assertEqual(program.position(), (before[0] + 60, before[1] + 30))
        program.click(MINIMIZE_ZONE)
        self.assertTrue(wait_until(lambda: "Iconic" in program.prop("WM_STATE")), "not minimized")
        self.desktop.xdotool("windowactivate", program.window)
        self.assertTrue(wait_until(lambda: "IsViewable" in program.info()["Map State"]), "not restored")
        program.click(CLOSE_ZONE)
        self.assertEqual(program.exit_status(), 0)


class Lifetime(WindowCase):
    def test_runs_in_its_own_folder_when_started_elsewhere(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            program = self.start(cwd=elsewhere)
            cwd = os.readlink(f"/proc/{program.process.pid}/cwd")
            self.assertEqual(pathlib.Path(cwd).resolve(), OPTIONS.bin_dir.resolve())

    def test_window_managers_close_ends_with_status_0_during_a_refresh(self):
        program = self.start()  # its first refresh waits on the silent proxy
        self.desktop.xdotool("windowactivate", "--sync", program.window)
        self.desktop.xdotool("key", "alt+F4")
        self.assertEqual(program.exit_status(), 0)


class ErrorBox(WindowCase):
    def close_box(self, program):
        boxes = wait_until(lambda: self.desktop.window_named("Error"), timeout=20)
        self.assertTrue(boxes, "no error box")
        self.assert_still_running(program, 0.3)  # the box waits for the user
        self.desktop.xdotool("windowactivate", "--sync", boxes[0])
        self.desktop.xdotool("key", "Return")
        return program.exit_status()

    def test_unreadable_layout_shows_the_box_and_ends_with_255(self):
        program = self.start("window_probe", "broken-layout", wait=False)
        self.assertEqual(self.close_box(program), 255)
        self.assertFalse(self.desktop.window_named("Vellumo-Tarnwick2019"))

    def test_two_workers_failing_at_once_show_one_box_and_end_with_255(self):
        program = self.start("window_probe", "worker-errors", wait=False)
        program.wait_for_window()
        boxes = wait_until(lambda: self.desktop.window_named("Error"), timeout=20)
        self.assertTrue(boxes, "no error box")
        time.sleep(0.3)
        self.assertEqual(len(self.desktop.window_named("Error")), 1, "the second box waits for the first")
        # The window stays usable while the box is open.
        before = program.position()
        self.drag(program, (100, 240), (30, 30))
        self.assertEqual(program.position(), (before[0] + 30, before[1] + 30))
        self.assertEqual(self.close_box(program), 255)

    def test_missing_transport_library_shows_the_box_and_ends_with_255(self):
        with tempfile.TemporaryDirectory() as folder:
            # The program and the process library, but no transport library.
            for name in ("vellumo-tarnwick", "libkernel32.so"):
                shutil.copy2(OPTIONS.bin_dir / name, folder)
            record = os.path.join(folder, "boxes")
            program = Program(self.desktop, os.path.join(folder, "vellumo-tarnwick"),
                              env={"LD_PRELOAD": str(OPTIONS.bin_dir / "message_box_recorder.so"),
                                   "VT_MESSAGE_BOX_RECORD": record})
            self.addCleanup(program.stop)
            program.wait_for_window()
            self.assertEqual(self.close_box(program), 255)
            with open(record, "rb") as boxes:
                *shown, rest = boxes.read().decode().split("\0")
            self.assertEqual((len(shown), rest), (1, ""), "one box, recorded whole")
            caption, message = shown[0].split("\n", 1)
            self.assertEqual(caption, "Error")
            self.assertIn("wininet.dll", message)
            self.assertIn("InternetOpenA", message)

    def test_no_display_writes_the_error_and_ends_with_255(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        result = subprocess.run([str(OPTIONS.bin_dir / "vellumo-tarnwick")], env=env, capture_output=True,
                                text=True, timeout=20)
        self.assertEqual(result.returncode, 255)
        self.assertIn("start-up window could not be loaded", result.stderr)


class RunCommand(unittest.TestCase):
    """The run command with no display, on the programs built already."""

    def test_shows_the_first_picture_on_a_private_display_and_saves_a_screenshot(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        with tempfile.TemporaryDirectory() as folder:
            screenshot = os.path.join(folder, "shot.png")
            result = subprocess.run(["bash", str(OPTIONS.source_dir / "tools" / "run.sh"), "--bin-dir",
                                     str(OPTIONS.bin_dir), "--screenshot", screenshot],
                                    env=env, capture_output=True, text=True, timeout=120)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertTrue(result.stdout.rstrip().endswith(screenshot), result.stdout)
            with Image.open(screenshot) as shot:
                # The window, centred on the private screen, shows a picture
                # in its frame.
                left, top = (shot.width - WINDOW_SIZE[0]) // 2, (shot.height - WINDOW_SIZE[1]) // 2
                window = shot.convert("RGB").crop((left, top, left + WINDOW_SIZE[0], top + WINDOW_SIZE[1]))
            frame_box = frame_rendering(OPTIONS.bin_dir, sample("fu_100x100.jpg"))[1]
            self.assertEqual(window.crop((0, 0, WINDOW_SIZE[0], frame_box[1])).tobytes(),
                             skin().crop((0, 0, WINDOW_SIZE[0], frame_box[1])).tobytes(), "the window is not there")
            self.assertNotEqual(window.crop(frame_box).tobytes(), skin().crop(frame_box).tobytes())
            plain = Image.new("RGB", window.crop(frame_box).size, (240, 240, 240))
            self.assertNotEqual(window.crop(frame_box).tobytes(), plain.tobytes(), "no picture arrived")
        # The service has stopped: its port is free again.
        SilentProxy(OPTIONS.proxy).stop()


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=pathlib.Path, required=True)
    parser.add_argument("--source-dir", type=pathlib.Path, required=True)
    parser.add_argument("--proxy", required=True, help="the program's picture proxy, host:port")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.bin_dir = OPTIONS.bin_dir.resolve()
    OPTIONS.source_dir = OPTIONS.source_dir.resolve()
    enter_own_network()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()

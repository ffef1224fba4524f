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

from PIL import Image

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from window_driver import Desktop, Program, SilentProxy, wait_until  # noqa: E402

OPTIONS = None

WINDOW_SIZE = (266, 255)
CLOSE_ZONE = (250, 10)
MINIMIZE_ZONE = (220, 10)
TOUCH_ZONE = (100, 100)
OUTSIDE_ZONES = (150, 10)
DRAG_POINTS = [(100, 240), (100, 10), (100, 34)]  # bottom band, title band, the frame's top row


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
        self.service_log = tempfile.TemporaryFile(mode="w+")
        self.addCleanup(self.service_log.close)
        self.service = subprocess.Popen([str(OPTIONS.bin_dir / "picture-service"), "--listen", OPTIONS.proxy],
                                        stdout=self.service_log, stderr=subprocess.STDOUT)
        self.addCleanup(self.stop_service)
        self.assertTrue(wait_until(lambda: "listening" in self.log()), "the picture service did not start")
        self.desktop = Desktop(*self.SCREEN)
        self.addCleanup(self.desktop.stop)

    def stop_service(self):
        self.service.terminate()
        self.service.wait()

    def log(self):
        self.service_log.seek(0)
        return self.service_log.read()

    def pictures_served(self):
        return self.log().count('" 200 ')

    def test_first_activation_and_each_touch_show_a_picture_in_the_frame(self):
        program = Program(self.desktop, str(OPTIONS.bin_dir / "vellumo-tarnwick"))
        self.addCleanup(program.stop)
        program.wait_for_window()
        skin = Image.open(OPTIONS.source_dir / "resources" / "skin.png").convert("RGB")
        frame_box = (40, 34, 229, 223)

        def frame_differs_from_skin():
            shown = program.pixels()
            return shown.crop(frame_box).tobytes() != skin.crop(frame_box).tobytes() and shown
        shown = wait_until(frame_differs_from_skin)
        self.assertTrue(shown, "no picture in the frame")
        self.assertEqual(self.pictures_served(), 1)
        # Outside the frame the skin stays as it is.
        for at in ((20, 100), (250, 15), (100, 240), (39, 100), (229, 100)):
            self.assertEqual(shown.getpixel(at), skin.getpixel(at), at)

        program.click(TOUCH_ZONE)
        self.assertTrue(wait_until(lambda: self.pictures_served() == 2), "a press fetched no picture")


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
        boxes = wait_until(lambda: self.desktop.window_named("Error"), timeout=10)
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
        boxes = wait_until(lambda: self.desktop.window_named("Error"), timeout=10)
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
            program = Program(self.desktop, os.path.join(folder, "vellumo-tarnwick"))
            self.addCleanup(program.stop)
            program.wait_for_window()
            self.assertEqual(self.close_box(program), 255)

    def test_no_display_writes_the_error_and_ends_with_255(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        result = subprocess.run([str(OPTIONS.bin_dir / "vellumo-tarnwick")], env=env, capture_output=True,
                                text=True, timeout=20)
        self.assertEqual(result.returncode, 255)
        self.assertIn("start-up window could not be loaded", result.stderr)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=pathlib.Path, required=True)
    parser.add_argument("--source-dir", type=pathlib.Path, required=True)
    parser.add_argument("--proxy", required=True, help="the program's picture proxy, host:port")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.bin_dir = OPTIONS.bin_dir.resolve()
    OPTIONS.source_dir = OPTIONS.source_dir.resolve()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()

"""The main window as the operator gets it: found by its title, where and how large it is, and
how it ends. Nothing is chosen here, so no port may receive anything."""

import unittest

import wine_session as ws
from harness import OUTER_RECT, PANEL_TITLE, PanelCase

WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000


def x_geometry(env, window):
    out = ws.xdo(env, "getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return [int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")]


class MainWindow(PanelCase):
    GROUP = "window"

    def test_shown_by_its_title_at_its_outer_rectangle(self):
        run = self.start_panel()
        self.assertEqual(run.main["text"], PANEL_TITLE)
        self.assertEqual(run.main["rect"], OUTER_RECT, "outer rectangle (left, top, right, bottom)")
        self.assertTrue(run.main["foreground"], "the panel is the foreground window at start")
        # The same seen from X: the desktop at the screen's origin and the panel's X window, as
        # large as the outer rectangle, at the desktop's origin.
        desktop = run.desktop.x_window()
        self.assertIsNotNone(desktop)
        self.assertEqual(x_geometry(run.op.env, desktop)[:2], [0, 0])
        geometries = [x_geometry(run.op.env, w) for w in run.op.find_window(PANEL_TITLE, 0)]
        self.assertIn([0, 0, 344, 702], geometries)
        run.finish(self)

    def test_title_bar_has_a_close_box_and_no_sizing(self):
        run = self.start_panel()
        style = run.main["style"]
        self.assertEqual(style & WS_CAPTION, WS_CAPTION, "title bar")
        self.assertTrue(style & WS_SYSMENU, "system menu and close box")
        for flag, name in ((WS_THICKFRAME, "sizing frame"), (WS_MINIMIZEBOX, "minimise box"),
                           (WS_MAXIMIZEBOX, "maximise box")):
            self.assertFalse(style & flag, name)
        # Dragging the lower right corner outwards leaves the size as it is.
        rect = run.main["rect"]
        run.op.down(rect[2] - 1, rect[3] - 1)
        run.op.move(rect[2] + 60, rect[3] + 40)
        run.op.up(rect[2] + 60, rect[3] + 40)
        after = run.top_level(PANEL_TITLE, 10)
        self.assertEqual(after["rect"], OUTER_RECT)
        run.finish(self)

    def test_every_way_of_closing_ends_with_exit_code_0(self):
        def alt_f4(run):
            run.leave_the_list()
            run.close_with_alt_f4()

        def close_box(run):
            # The close box sits at the right end of the title bar, one frame width in.
            rect, origin = run.main["rect"], run.main["client_origin"]
            frame = origin[0] - rect[0]
            caption = origin[1] - rect[1] - frame
            run.op.click(rect[2] - frame - caption // 2 - 1, rect[1] + frame + caption // 2)

        def system_menu(run):
            run.leave_the_list()
            run.op.key("alt+space")
            run.op.key("c")

        for way in (alt_f4, close_box, system_menu):
            with self.case(way=way.__name__):
                run = self.start_panel()
                way(run)
                self.assertEqual(run.wait_exit(), 0)
                run.check_all_ports()


if __name__ == "__main__":
    unittest.main()

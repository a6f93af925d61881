"""Never letting go of a moving chassis: whenever the panel is about to lose control of a port
while the last command written to it was not the stop command, it writes "5\\n" first."""

import unittest

from harness import PANEL_TITLE, STOP, PanelCase


class Mends(PanelCase):
    GROUP = "mends"

    def test_alt_f4_while_a_button_is_held_stops_the_chassis(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        point = run.press("ForwardButton")
        run.expect(3, b"1\n")
        run.close_with_alt_f4()
        run.expect(3, STOP)
        self.assertEqual(run.wait_exit(), 0)
        run.release("ForwardButton", at=point)
        run.check_all_ports()

    def test_losing_the_foreground_while_a_button_is_held_stops_the_chassis(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        run.press("ForwardButton")
        run.expect(3, b"1\n")
        x, y = run.outside_point()
        self.assertTrue(run.desktop.popup(x - 100, y - 80), "another window took no foreground")
        run.expect(3, STOP)
        # The release comes over the other window; the panel must not write a second stop.
        run.release("ForwardButton", at=(x, y))
        run.desktop.close_window("e2e popup")
        # Back to the panel by its title bar, then the usual close.
        rect = run.main["rect"]
        run.op.click(rect[0] + 120, rect[1] + 10)
        self.assertIsNotNone(run.top_level(PANEL_TITLE, 10))
        run.finish(self)

    def test_losing_control_of_a_moving_chassis_stops_it_first(self):
        # A right-button press takes no mouse capture, so its release made away from the button
        # reaches the main window instead: the button never sees it, and the chassis still
        # moves on "1\n". Each way of letting go of the port must then write "5\n" to it.
        def switch_port(run):
            run.choose_port_by_mouse(4)
            run.expect(3, STOP)
            run.press_and_release("BackButton", "left", 4)
            run.finish(self)

        def port_not_defined(run):
            run.choose_port_by_mouse(0)
            run.expect(3, STOP)
            run.finish(self)

        def close(run):
            run.leave_the_list()
            run.close_with_alt_f4()
            run.expect(3, STOP)
            self.assertEqual(run.wait_exit(), 0)
            run.check_all_ports()

        for way in (switch_port, port_not_defined, close):
            with self.case(way=way.__name__):
                run = self.start_panel()
                run.choose_port_by_keyboard(3)
                run.press("ForwardButton", "right")
                run.expect(3, b"1\n")
                run.release("ForwardButton", "right", at=run.client_point(170, 560))
                way(run)


if __name__ == "__main__":
    unittest.main()

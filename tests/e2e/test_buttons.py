"""The five command buttons under the mouse: every press writes its command, every release the
stop command, the same for the left, right and middle buttons; a held button writes once; a
double-click writes no second press; the keyboard writes nothing."""

import unittest

from harness import PRESS, STOP, PanelCase, pause

MOUSE_BUTTONS = ("left", "right", "middle")


class Buttons(PanelCase):
    GROUP = "buttons"

    def test_press_and_release_of_each_button_with_each_mouse_button(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        for element in PRESS:
            for button in MOUSE_BUTTONS:
                with self.case(element=element, button=button):
                    run.press_and_release(element, button, 3)
        run.finish(self)

    def test_a_held_button_writes_its_command_once(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        for element, button in (("ForwardButton", "left"), ("SpeedButton", "right"),
                                ("LeftButton", "middle")):
            with self.case(element=element, button=button):
                run.press(element, button)
                run.expect(3, PRESS[element])
                # Held, and moved about on the button: nothing more until the release.
                for k in range(1, 4):
                    pause()
                    run.op.move(*run.element_point(element, k))
                run.release(element, button, at=run.element_point(element, 0))
                run.expect(3, STOP)
        run.finish(self)

    def test_quick_presses_at_points_apart_are_each_written(self):
        # Presses a few pixels apart are no double-click however fast they come: each one is a
        # press of its own and writes its command (the harness relies on this everywhere).
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        for k in range(3):
            x, y = run.element_point("ForwardButton", k)
            run.op.click(x, y)
        run.expect(3, b"1\n5\n" * 3)
        run.finish(self)

    def test_a_double_click_writes_no_second_press(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        run.op.double_click(*run.element_point("ForwardButton"))
        run.expect(3, b"1\n5\n5\n")
        run.finish(self)

    def test_a_click_with_the_keyboard_writes_nothing(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        # Right moves the focus from the list to ВПЕРЁД; Space and Enter would click it.
        run.op.key("Right", "space", "Return")
        # The next mouse command comes through alone: the keys above had been handled.
        run.press_and_release("BackButton", "left", 3)
        run.finish(self)


if __name__ == "__main__":
    unittest.main()

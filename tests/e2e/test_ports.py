"""Choosing the port: by keyboard and with the mouse in the drop-down, switching, choosing
"ПОРТ НЕ ОПРЕДЕЛЁН", and nothing written anywhere before a port is chosen."""

import unittest

from harness import PRESS, PanelCase


class Ports(PanelCase):
    GROUP = "ports"
    COMS = (1, 2, 3, 4, 12, 20)

    def test_down_three_times_in_the_list_chooses_com_3(self):
        # The list has the focus at start; each Down selects the next entry and reopens the
        # port, so COM 1 and COM 2 are opened and closed on the way and must stay silent.
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        run.press_and_release("ForwardButton", "left", 3)
        run.finish(self)

    def test_choosing_an_entry_with_the_mouse_opens_that_port(self):
        for n in (3, 1, 12, 20):
            with self.case(com=n):
                run = self.start_panel()
                run.choose_port_by_mouse(n)
                run.press_and_release("BackButton", "left", n)
                run.finish(self)

    def test_after_switching_ports_bytes_go_to_the_new_port_only(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        run.press_and_release("ForwardButton", "left", 3)
        run.choose_port_by_mouse(4)
        run.press_and_release("BackButton", "left", 4)
        run.choose_port_by_mouse(20)
        run.press_and_release("SpeedButton", "right", 20)
        run.choose_port_by_mouse(3)
        run.press_and_release("LeftButton", "middle", 3)
        run.finish(self)

    def test_choosing_the_same_entry_again_keeps_writing_to_it(self):
        run = self.start_panel()
        run.choose_port_by_mouse(3)
        run.press_and_release("RightButton", "left", 3)
        run.choose_port_by_mouse(3)
        run.press_and_release("RightButton", "left", 3)
        run.finish(self)

    def test_port_not_defined_closes_the_port(self):
        run = self.start_panel()
        run.choose_port_by_keyboard(3)
        run.press_and_release("ForwardButton", "left", 3)
        run.choose_port_by_mouse(0)
        for element in PRESS:
            run.press(element)
            run.release(element)
        # COM 4 then gets exactly its own commands: the presses above were handled by then,
        # and wrote nowhere.
        run.choose_port_by_mouse(4)
        run.press_and_release("SpeedButton", "left", 4)
        run.finish(self)

    def test_nothing_is_written_before_a_port_is_chosen(self):
        run = self.start_panel()
        for element in PRESS:
            for button in ("left", "right", "middle"):
                run.press(element, button)
                run.release(element, button)
        run.choose_port_by_mouse(3)
        run.press_and_release("ForwardButton", "left", 3)
        run.finish(self)


if __name__ == "__main__":
    unittest.main()

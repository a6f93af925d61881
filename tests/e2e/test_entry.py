"""The first argument: "/ih" shows the information box and ends, everything else starts the
panel. Each case starts the program with an exact command line: the quoted program path, a
blank, then the text in the table, byte for byte."""

import unittest

from harness import INFO_TEXT, INFO_TITLE, PANEL_TITLE, START_TIMEOUT, PanelCase

# (what the case is, the command line after the program name)
NORMAL_START = [
    ("no argument", ""),
    ("upper case", "/IH"),
    ("a dash", "-ih"),
    ("one character more", "/ih2"),
    ("one character less", "/i"),
    ("/ih as the second argument", "first /ih"),
    ("an opening quote alone", "\"/ih"),
    ("a quote inside", "/i\"h\""),
]

INFO_BOX = [
    ("/ih", "/ih"),
    ("in double quotes", "\"/ih\""),
    ("after an empty pair of quotes", "\"\" /ih"),
    ("right after an empty pair of quotes", "\"\"/ih"),
    ("followed by further arguments", "/ih /IH more"),
    ("after blanks and a tab", "   \t/ih"),
]


class NormalStart(PanelCase):
    GROUP = "entry_normal"

    def test_arguments_other_than_ih_start_the_panel(self):
        for case, arguments in NORMAL_START:
            with self.case(case=case, arguments=arguments):
                run = self.start_panel(arguments=arguments)
                titles = [w["text"] for w in run.own_windows() if w.get("parent") == 0]
                self.assertNotIn(INFO_TITLE, titles)
                run.finish(self)


class InfoBox(PanelCase):
    GROUP = "entry_box"

    def test_ih_shows_the_box_and_ends_with_exit_code_0(self):
        for case, arguments in INFO_BOX:
            with self.case(case=case, arguments=arguments):
                run = self.start_panel(arguments=arguments, wait_window=False)
                self.assertTrue(run.op.find_window(INFO_TITLE, START_TIMEOUT),
                                f"no window titled {INFO_TITLE!r} appeared")
                box = run.top_level(INFO_TITLE, START_TIMEOUT)
                self.assertIsNotNone(box)
                children = run.children(box)
                self.assertIn(INFO_TEXT, [w["text"] for w in children])
                buttons = [w for w in children if w["class"].lower() == "button"
                           and w.get("visible")]
                self.assertEqual([w["text"] for w in buttons], ["OK"], "one OK button")
                # No window of the panel, shown or hidden: the scheme is never built.
                own = [w["text"] for w in run.own_windows() if w.get("parent") == 0]
                self.assertNotIn(PANEL_TITLE, own)
                left, top, right, bottom = buttons[0]["rect"]
                run.op.click((left + right) // 2, (top + bottom) // 2)
                self.assertEqual(run.wait_exit(), 0)
                run.check_all_ports()


if __name__ == "__main__":
    unittest.main()

"""Watching and driving a running Nimbrel bar from the outside (the X server's view plus the lab's probe)."""

import os

from winesession import Failure, check, wait_for

BUTTONS_ON_BAR = 16  # Exit | seven menus | four settings pages, About Me, Help, with two separators


class Bar:
    def __init__(self, session):
        self.session = session
        self.window_id = None

    def find_window(self, timeout=40):
        self.window_id = self.session.find_window('Nimbrel', timeout=timeout, viewable=False)
        return self.window_id

    def start_docked_at_top(self, folder):
        """Starts folder\\Nimbrel.exe with the pointer in the top band; returns (program, docked geometry,
        bytes of the Nimbrel.Txt that the program has beside itself)."""
        # Keep the pointer inside the top band, away from the buttons, so that the bar stays docked.
        self.session.move_pointer(1279, 2)
        program = self.session.start(os.path.join(folder, 'Nimbrel.exe'))
        self.find_window()
        docked = self.wait_docked('TOP', 10)
        check(docked, 'the program did not dock at the top edge: %r' % (self.geometry(),))
        print('docked at', docked)
        settings = os.path.join(folder, 'Nimbrel.Txt')
        check(wait_for(lambda: os.path.exists(settings), 5), 'no Nimbrel.Txt was written into %s' % folder)
        with open(settings, 'rb') as f:
            return program, docked, f.read()

    def geometry(self):
        return self.session.geometry(self.window_id)

    def wait_docked(self, edge, timeout=10):
        def docked():
            g = self.geometry()
            if not g.viewable or g.w <= 0 or g.h <= 0:
                return None
            if (edge == 'TOP' and g.y == 0 and g.w > g.h) or (edge == 'LEFT' and g.x == 0 and g.h > g.w):
                return g.rect
            return None

        return wait_for(docked, timeout, interval=0.25)

    def wait_parked(self, timeout=10):
        def parked():
            g = self.geometry()
            return (not g.viewable) or g.x + g.w <= 0 or g.y + g.h <= 0

        return wait_for(parked, timeout, interval=0.25)

    def bar_buttons(self):
        buttons = self.session.toolbar()
        check(len(buttons) == BUTTONS_ON_BAR,
              'the bar has %d buttons, expected %d: %r' % (len(buttons), BUTTONS_ON_BAR, buttons))
        separators = [b.index for b in buttons if b.separator]
        check(len(separators) == 2, 'expected two separators on the bar, found %r' % separators)
        return buttons

    def click(self, button):
        check(button.right > button.left and button.bottom > button.top and not button.hidden,
              'button %d is not shown: %r' % (button.index, button))
        self.session.move_pointer(*button.centre)
        self.session.click()

    def help_button(self):
        return self.bar_buttons()[-1]

    def exit_button(self):
        return self.bar_buttons()[0]

    def recall(self, edge='TOP', timeout=8):
        """Pushes the pointer against the edge and waits for the bar to dock again (it looks every 2 s)."""
        self.session.move_pointer(*{'TOP': (600, 0), 'LEFT': (0, 500)}[edge])
        return self.wait_docked(edge, timeout)

    def exit_by_button(self, program, edge='TOP'):
        """Clicks Exit (recalling the bar first if it is parked) and waits for the process to end."""
        if not self.wait_docked(edge, 0.5):
            check(self.recall(edge), 'the parked bar did not come back when the pointer touched the %s edge' % edge)
        self.click(self.exit_button())
        try:
            program.wait(15)
        except Exception as error:  # subprocess.TimeoutExpired
            raise Failure('Nimbrel did not end after a click on Exit') from error

"""Watching and driving a running Nimbrel bar from the outside (X server view plus the tbrects helper)."""

import os
import re
import shutil

from winesession import TestFailure, check, wait_for

BUTTONS_ON_BAR = 16  # Exit | seven menus | four settings pages, About Me, Help, with two separators
BTNS_SEP = 0x01
TBSTATE_HIDDEN = 0x08


class Bar:
    def __init__(self, session, tbrects_exe):
        self.session = session
        os.makedirs(session.drive_c("handlers"), exist_ok=True)
        shutil.copy(tbrects_exe, session.drive_c('handlers', 'tbrects.exe'))
        self.tbrects = r'C:\handlers\tbrects.exe'
        self.window_id = None

    def find_window(self, timeout=40):
        def search():
            out = self.session.xdotool('search', '--name', '^Nimbrel$', check_rc=False).stdout.decode().split()
            return out[0] if out else None

        self.window_id = wait_for(search, timeout, interval=0.5)
        check(self.window_id, 'no window named "Nimbrel" appeared within %d s' % timeout)
        return self.window_id

    def start_docked_at_top(self, folder):
        """Starts folder\\Nimbrel.exe with the pointer in the top band; returns (program, docked geometry,
        bytes of the Nimbrel.Txt that the program has beside itself)."""
        # Keep the pointer inside the top band, away from the buttons, so that the bar stays docked.
        self.session.xdotool('mousemove', 1279, 2)
        program = self.session.start_program(os.path.join(folder, 'Nimbrel.exe'))
        self.find_window()
        docked = self.wait_docked('TOP', 10)
        check(docked, 'the program did not dock at the top edge: %r' % (self.geometry(),))
        print('docked at', docked)
        settings = os.path.join(folder, 'Nimbrel.Txt')
        check(wait_for(lambda: os.path.exists(settings), 5), 'no Nimbrel.Txt was written into %s' % folder)
        with open(settings, 'rb') as f:
            return program, docked, f.read()

    def geometry(self):
        """(x, y, width, height, viewable) of the bar's X window."""
        out = self.session.run(['xwininfo', '-id', self.window_id]).stdout.decode()

        def field(name):
            match = re.search(r'%s:\s+(-?\d+)' % re.escape(name), out)
            check(match, 'xwininfo gave no "%s"' % name)
            return int(match.group(1))

        viewable = 'IsViewable' in out
        return (field('Absolute upper-left X'), field('Absolute upper-left Y'), field('Width'), field('Height'),
                viewable)

    def wait_docked(self, edge, timeout=10):
        def docked():
            x, y, w, h, viewable = self.geometry()
            if not viewable or w <= 0 or h <= 0:
                return None
            if edge == 'TOP' and y == 0 and w > h:
                return (x, y, w, h)
            if edge == 'LEFT' and x == 0 and h > w:
                return (x, y, w, h)
            return None

        return wait_for(docked, timeout, interval=0.25)

    def wait_parked(self, timeout=10):
        def parked():
            x, y, w, h, viewable = self.geometry()
            return (not viewable) or x + w <= 0 or y + h <= 0

        return wait_for(parked, timeout, interval=0.25)

    def buttons(self):
        """The bar's buttons as dicts: index, id, style, state, rect (screen pixels)."""
        out = self.session.wine(self.tbrects, 'Nimbrel', check_rc=False)
        text = out.stdout.decode(errors='replace')
        check(out.returncode == 0, 'tbrects failed: %s %s' % (text, out.stderr.decode(errors='replace')))
        result = []
        for line in text.splitlines():
            fields = line.split()
            if fields and fields[0] == 'button':
                values = [int(v) for v in fields[1:]]
                result.append({'index': values[0], 'id': values[1], 'style': values[2], 'state': values[3],
                               'rect': tuple(values[4:8])})
        return result

    def bar_buttons(self):
        buttons = self.buttons()
        check(len(buttons) == BUTTONS_ON_BAR,
              'the bar has %d buttons, expected %d: %r' % (len(buttons), BUTTONS_ON_BAR, buttons))
        separators = [b['index'] for b in buttons if b['style'] & BTNS_SEP]
        check(len(separators) == 2, 'expected two separators on the bar, found %r' % separators)
        return buttons

    def click(self, button):
        left, top, right, bottom = button['rect']
        check(right > left and bottom > top and not button['state'] & TBSTATE_HIDDEN,
              'button %d is not shown: %r' % (button['index'], button))
        self.session.xdotool('mousemove', (left + right) // 2, (top + bottom) // 2)
        self.session.xdotool('click', 1)

    def help_button(self):
        buttons = self.bar_buttons()
        return buttons[-1]

    def exit_button(self):
        return self.bar_buttons()[0]

    def recall(self, edge='TOP', timeout=8):
        """Pushes the pointer against the edge and waits for the bar to dock again (it looks every 2 s)."""
        if edge == 'TOP':
            self.session.xdotool('mousemove', 600, 0)
        elif edge == 'LEFT':
            self.session.xdotool('mousemove', 0, 500)
        return self.wait_docked(edge, timeout)

    def exit_by_button(self, program, edge='TOP'):
        """Clicks Exit (recalling the bar first if it is parked) and waits for the process to end."""
        if not self.wait_docked(edge, 0.5):
            check(self.recall(edge), 'the parked bar did not come back when the pointer touched the %s edge' % edge)
        self.click(self.exit_button())
        try:
            program.wait(15)
        except Exception as error:  # subprocess.TimeoutExpired
            raise TestFailure('Nimbrel did not end after a click on Exit') from error

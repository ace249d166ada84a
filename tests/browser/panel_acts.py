"""The action form, as a user fills it in: each step checks what the page
says became of the act."""

import time

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

# How long a quiet page is watched to see that nothing happens.
QUIET_SECONDS = 1.5
# Frank and Eve take turns at one id every 12 s (processes.SCENARIO).
SWAP_WAIT_SECONDS = 30
# Times an act the client did not start in time is sent again.
BUSY_RETRIES = 2


class ActSteps:
    """Mixed into PanelPages, whose tools (wait, click_soon, ...) it uses."""

    def open_act(self, scope, action, name):
        """Opens the form of `action` on `name` from the buttons under the
        CSS selector `scope`."""
        self.click_soon(f"{scope} button[aria-label='{action} {name}']",
                        f"a {action} button for {name} in {scope}")
        self.wait(lambda browser: browser.find_element(By.ID, "act-dialog").is_displayed(),
                  f"the {action} form")

    def fill_act(self, reason=None, preset=None, duration=None, text=None):
        form = self.browser.find_element(By.ID, "act-form")
        for field, value in (("reason", reason), ("duration", duration), ("text", text)):
            if value is not None:
                element = form.find_element(By.NAME, field)
                element.clear()
                element.send_keys(value)
        if preset is not None:
            form.find_element(By.CSS_SELECTOR, f"input[name=preset][value='{preset}']").click()

    def send_act(self):
        self.browser.find_element(By.ID, "act-ok").click()

    def dialog_closed(self):
        """Waits for the form to close. An act the client could not start in
        time (a loaded machine) leaves the form open saying so; it is sent
        again, as its user would."""
        closed = lambda browser: not browser.find_element(By.ID, "act-dialog").is_displayed()
        for attempt in range(BUSY_RETRIES + 1):
            try:
                self.wait(closed, "the form closed")
                return
            except AssertionError:
                said = self.browser.find_element(By.ID, "act-error").text
                if attempt == BUSY_RETRIES or "not done" not in said:
                    raise AssertionError(f"the form stayed open: {said!r}") from None
                self.send_act()

    def expect_outcome(self, text, audit=None):
        self.expect_text(By.ID, "outcome-line", text)
        if audit is not None:
            self.expect_text(By.ID, "outcome-audit", audit)

    def act(self, scope, action, name, outcome="done", audit=None, picture=None, **answers):
        self.open_act(scope, action, name)
        self.fill_act(**answers)
        if picture:
            self.picture(picture)
        self.send_act()
        self.dialog_closed()
        self.expect_outcome(f"{action} {name}: {outcome}", audit)

    def act_on_row(self, action, name, audit, **answers):
        """Acts on a player of the table, who then leaves it."""
        self.act("#players", action, name, audit=audit, **answers)
        self.wait(lambda _: name not in self.player_names(), f"{name} gone from the table")

    def cancel_does_nothing(self, name):
        """Cancel, then Escape, on a filled-in kick: the player stays, no
        outcome is said."""
        self.open_act("#players", "kick", name)
        self.fill_act(reason="this is only a test")
        self.browser.find_element(By.ID, "act-cancel").click()
        self.dialog_closed()
        self.open_act("#players", "kick", name)
        self.fill_act(reason="this neither")
        self.browser.find_element(By.ID, "act-form").find_element(
            By.NAME, "reason").send_keys(Keys.ESCAPE)
        self.dialog_closed()
        time.sleep(QUIET_SECONDS)
        assert name in self.player_names(), f"{name} was kicked by a cancelled form"
        assert not self.browser.find_element(By.ID, "outcome").is_displayed(), \
            "a cancelled form said an outcome"

    def reason_needed(self, name):
        """A warn without a reason is not sent: the form says why."""
        self.open_act("#players", "warn", name)
        self.send_act()
        self.expect_text(By.ID, "act-error", "a warn needs a reason")
        assert self.browser.find_element(By.ID, "act-dialog").is_displayed()
        self.browser.find_element(By.ID, "act-cancel").click()
        self.dialog_closed()

    def id_passed_to_another(self):
        """The form opened on Frank is sent once Frank's id is Eve's: the
        client refuses and the page says so."""
        for attempt in range(2):
            # On a slow machine Frank may be away when this starts, or leave
            # between being seen and his button's click: he is back in 12 s.
            self.wait(lambda _: "Frank" in self.player_names(), "Frank on the server",
                      SWAP_WAIT_SECONDS)
            try:
                self.open_act("#players", "warn", "Frank")
                break
            except AssertionError:
                if attempt == 1:
                    raise
        self.fill_act(reason="camping")
        self.wait(lambda _: "Eve" in self.player_names() and "Frank" not in self.player_names(),
                  "Eve in Frank's place", SWAP_WAIT_SECONDS)
        self.send_act()
        self.dialog_closed()
        self.expect_outcome("warn Frank: not done: #20 is now Eve, not Frank: nothing done")

    def tempban_from_history(self, name):
        """`name`, not on the server, tempbanned from the history's view of
        the player, then noted; both are listed there afterwards."""
        self.open_page("history")
        self.look_up(name)
        self.act("#player-actions", "tempban", name, audit="tempban " + name,
                 picture="act-form", duration="2h", reason="spamming while away")
        self.expect_row("player-sanctions", ["tempban", "2h", "alice", "spamming while away"])
        self.act("#player-actions", "note", name, audit="note " + name,
                 text="tempbanned from the history")
        self.expect_text(By.ID, "player-notes", "tempbanned from the history")

    def edit_ban(self, name, reason, length):
        """The ban on `name` given a new reason, then a new length, from its
        row of the bans page."""
        self.act("#bans", "ban reason", name, audit="ban reason " + name, reason=reason)
        self.expect_row("bans", [name, reason])
        self.act("#bans", "ban length", name, audit="ban length " + name, duration=length)
        self.expect_text(By.ID, "outcome-audit", ": " + length)

    def unban(self, name):
        """Lifted from the bans page with a reason, which the audit keeps."""
        self.act("#bans", "unban", name, outcome="done: lifted 1 of the client's ban(s)",
                 audit="unban " + name + ": served", reason="served")
        self.expect_text(By.ID, "outcome-line", "the server's own ban remains")
        self.expect_text(By.ID, "bans", "no active bans")

    def player_names(self):
        """Read in one step by the page's script: the table is drawn anew
        at every update, so cells found one by one may be gone."""
        return set(self.browser.execute_script(
            "return Array.from(document.querySelectorAll('#players tr td:nth-child(2)'),"
            " (cell) => cell.textContent)"))

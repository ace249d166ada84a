"""Accounts as a team runs them: a one-time code used twice, an account
enrolled by the client logging in with its code and a recovery code, a role that
sees only its own pages and acts, and a password changed in the users file
while a browser is logged in with the old one."""

from selenium.webdriver.common.by import By

import processes

# A login whose password changed is ended at the hang-up; its page learns
# it when its stream closes (within 15 s) and is refused again.
ENDED_WAIT_SECONDS = 40


class AccountSteps:
    """Mixed into PanelPages, whose tools (wait, log_in, ...) it uses;
    `self.change_password(name, password)` rewrites the users file and
    hangs the client up."""

    def code_replay_refused(self, password, code):
        self.log_in("tess", password, code)
        self.expect_login_error("wrong name, password or code")

    def enrolled_code_and_recovery(self, password):
        """rita, enrolled with --enroll-totp: her code, then a recovery code
        once; the second time it is refused."""
        self.log_in("rita", password, processes.totp_now(processes.ENROLLED["secret"]))
        self.expect_text(By.ID, "who", "rita (level 1)")
        self.log_out()
        recovery = processes.ENROLLED["recovery"][3]
        self.log_in("rita", password, recovery)
        self.expect_text(By.ID, "who", "rita (level 1)")
        self.log_out()
        self.log_in("rita", password, recovery)
        self.expect_login_error("wrong name, password or code")

    def role_shows_only_its_own(self, password):
        """tina's role may kick and tempban for a day, and read the bans."""
        self.log_in("tina", password)
        self.wait_visible("panel")
        links = {link.get_attribute("href").rsplit("#", 1)[1]: link.is_displayed()
                 for link in self.browser.find_elements(By.CSS_SELECTOR, "#nav a")}
        assert links["bans"] and links["players"], links
        assert not links["audit"] and not links["history"] and not links["appeals"], links
        self.browser.get(self.url + "#audit")
        self.wait_visible("page-players")
        may = self.browser.execute_script(
            "return ['kick', 'tempban', 'ban', 'unban'].map((act) => mayAct(act));")
        assert may == [True, True, False, False], may
        self.log_out()

    def hang_up_ends_a_changed_login(self, password):
        self.log_in("mia", password)
        self.wait_visible("panel")
        self.change_password("mia", "changed-" + password)
        self.wait(lambda _: self.browser.find_element(By.ID, "login").is_displayed(),
                  "the login form after mia's password changed", ENDED_WAIT_SECONDS)
        self.expect_text(By.ID, "login-error", "Your session has ended")
        self.log_in("mia", password)
        self.expect_login_error("wrong name, password or code")
        self.log_in("mia", "changed-" + password)
        self.expect_text(By.ID, "who", "mia (level 1)")
        self.log_out()

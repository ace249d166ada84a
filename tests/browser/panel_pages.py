"""What a user does with the panel's page in the browser, step by step, each
step checking what the page shows."""

import os

from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as seen
from selenium.webdriver.support.ui import WebDriverWait

import processes

# One size for every run, so that the pictures stay alike.
WINDOW = (1100, 760)
WAIT_SECONDS = 10
FAILED_LOGINS_ALLOWED = 5


def open_browser(chromium, driver_path, webdriver, home):
    """Headless Chromium with its profile, cache and log inside `home`;
    `webdriver` is selenium's module."""
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for argument in ("--headless=new", "--disable-gpu", "--no-first-run",
                     "--no-default-browser-check", "--disable-extensions",
                     "--disable-dev-shm-usage", "--hide-scrollbars", "--force-device-scale-factor=1",
                     f"--window-size={WINDOW[0]},{WINDOW[1]}",
                     "--user-data-dir=" + home.file("chromium-profile"),
                     "--disk-cache-dir=" + home.file("chromium-cache")):
        options.add_argument(argument)
    # Chromium's sandbox needs user namespaces, which containers often lack.
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")
    service = webdriver.chrome.service.Service(
        driver_path, log_path=home.file("chromedriver.log"), env=home.env,
        popen_kw={"preexec_fn": processes.die_with_parent})
    return webdriver.Chrome(service=service, options=options)


class PanelPages:
    """The panel at `url` in `browser`; pictures go to `shots` when given."""

    def __init__(self, browser, url, shots):
        self.browser = browser
        self.url = url
        self.shots = shots
        self.failed_logins = 0

    def run_all(self, password):
        self.browser.get(self.url)
        self.wait_visible("login")
        self.log_in_wrongly("alice", "not the password")
        self.expect_login_error("wrong name or password")
        self.picture("login")
        self.log_in("alice", password)
        self.wait_visible("panel")
        self.expect_text(By.ID, "who", "alice (level 4)")
        self.expect_players(["Alice", "Bob", "Carol", "Dave"])
        self.picture("players")
        self.act_on_row("kick", "Bob", ["spamming"])
        self.act_on_row("tempban", "Dave", ["1d", "griefing"])
        self.open_page("console")
        self.expect_console("Bob has been kicked from the game")
        self.picture("console")
        self.open_page("audit")
        self.expect_row("audit", ["panel:alice", "kick", "Bob", "spamming"])
        self.expect_row("audit", ["panel:alice", "tempban", "Dave"])
        self.picture("audit")
        self.open_page("bans")
        self.expect_row("bans", ["Dave", "tempban", "alice", "griefing"])
        self.picture("bans")
        self.edit_ban("reason", "Dave", ["=griefing, \"again\""])
        self.expect_row("bans", ["Dave", "tempban", "alice", "=griefing, \"again\""])
        self.expect_export("bans", "'=griefing, \"\"again\"\"")
        self.unban("Dave")
        self.open_page("history")
        self.look_up("Carol")
        self.picture("history")
        self.open_page("charts")
        self.expect_charts()
        self.picture("charts")
        self.log_out()
        self.log_in("mia", password)
        self.expect_text(By.ID, "who", "mia (level 1)")
        self.open_page("console")
        self.say("/slap Carol")
        self.expect_console("* a line starting with / is a server command, which needs level 4")
        self.log_out()
        self.hold_off_failed_logins(password)

    # Steps.

    def log_in(self, name, password):
        form = self.wait_visible("login")
        for field, value in (("name", name), ("password", password)):
            element = form.find_element(By.NAME, field)
            element.clear()
            element.send_keys(value)
        form.find_element(By.TAG_NAME, "button").click()

    def log_in_wrongly(self, name, password):
        self.log_in(name, password)
        self.failed_logins += 1

    def expect_login_error(self, text):
        self.expect_text(By.ID, "login-error", text)
        assert self.browser.find_element(By.ID, "panel").is_displayed() is False

    def expect_players(self, names):
        def listed(_):
            cells = self.browser.find_elements(By.CSS_SELECTOR, "#players tr td:nth-child(2)")
            shown = {cell.text for cell in cells}
            return all(name in shown for name in names) and shown
        self.wait(listed, f"players {names} in the table")

    def act_on_row(self, action, name, answers):
        """Clicks the player's `action` button and answers its prompts."""
        self.click_soon(f"button[aria-label='{action} {name}']", f"a {action} button for {name}")
        for answer in answers:
            prompt = self.wait(seen.alert_is_present(), f"a prompt of the {action}")
            prompt.send_keys(answer)
            prompt.accept()
        self.expect_text(By.ID, "action-result", f"{action} {name}: done")

        def gone(_):
            cells = self.browser.find_elements(By.CSS_SELECTOR, "#players tr td:nth-child(2)")
            return cells and name not in {cell.text for cell in cells}
        self.wait(gone, f"{name} gone from the table")

    def open_page(self, name):
        self.browser.find_element(By.CSS_SELECTOR, f"#nav a[href='#{name}']").click()
        self.wait_visible("page-" + name)

    def expect_row(self, table, texts):
        """A row of the table body `table` whose cells hold each of `texts`."""
        def found(_):
            for row in self.browser.find_elements(By.CSS_SELECTOR, f"#{table} tr"):
                cells = [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
                if all(text in cells for text in texts):
                    return True
            return False
        self.wait(found, f"a row {texts} in #{table}")

    def edit_ban(self, what, name, answers):
        """Clicks the ban's `what` button and answers its prompts."""
        self.click_soon(f"button[aria-label='{what} {name}']", f"a {what} button for {name}")
        for answer in answers:
            prompt = self.wait(seen.alert_is_present(), f"a prompt of the {what}")
            prompt.send_keys(answer)
            prompt.accept()
        self.expect_text(By.ID, "bans-result", f"ban {what} {name}: done")

    def expect_export(self, table, text):
        """The page's CSV export of `table`, fetched as its link would be, holds
        `text`."""
        exported = self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(document.getElementById(arguments[0] + '-export-csv').href,"
            " {credentials: 'same-origin'}).then((r) => r.text()).then(done, () => done(''));",
            table)
        assert text in exported, f"{text!r} not in the export: {exported!r}"

    def unban(self, name):
        self.click_soon(f"button[aria-label='unban {name}']", f"an unban button for {name}")
        prompt = self.wait(seen.alert_is_present(), "the unban's prompt of a reason")
        prompt.send_keys("served")
        prompt.accept()
        self.expect_text(By.ID, "bans-result", f"unban {name}: done")
        self.expect_text(By.ID, "bans", "no active bans")

    def look_up(self, name):
        """Searches the history for `name` and opens the player's record."""
        field = self.browser.find_element(By.CSS_SELECTOR, "#search input[name=q]")
        field.send_keys(name)
        field.submit()
        self.wait(seen.element_to_be_clickable((By.LINK_TEXT, name)),
                  f"{name} among the results").click()
        self.wait_visible("player")
        self.expect_text(By.ID, "player-name", name)
        self.expect_text(By.ID, "player-record", "Visits")

    def expect_charts(self):
        """The players and chat drawn; the kills drawn, or said to be none yet
        (the history may not have written the kill down by now)."""
        self.expect_text(By.ID, "charts-result", "as of")
        for chart in ("chart-players", "chart-chat"):
            self.wait(seen.presence_of_element_located((By.CSS_SELECTOR, f"#{chart} canvas")),
                      f"a drawn #{chart}")
        self.wait(lambda browser: browser.find_elements(By.CSS_SELECTOR, "#chart-kills canvas")
                  or "nothing recorded" in browser.find_element(By.ID, "chart-kills").text,
                  "the kills drawn or said to be none")

    def expect_console(self, text):
        def shown(_):
            return any(text in item.text
                       for item in self.browser.find_elements(By.CSS_SELECTOR, "#console li"))
        self.wait(shown, f"the console line {text!r}")

    def say(self, line):
        field = self.browser.find_element(By.CSS_SELECTOR, "#say input[name=line]")
        field.clear()
        field.send_keys(line)
        field.submit()

    def log_out(self):
        self.browser.find_element(By.ID, "logout").click()
        self.wait_visible("login")
        assert not self.browser.find_element(By.ID, "panel").is_displayed()
        status = self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch('/api/session').then((r) => done(r.status));")
        assert status == 401, f"the session still answers {status} after the logout"

    def hold_off_failed_logins(self, password):
        while self.failed_logins < FAILED_LOGINS_ALLOWED:
            self.log_in_wrongly("alice", "wrong " + str(self.failed_logins))
            self.expect_login_error("wrong name or password")
            # Each answer clears the message; wait for it before the next try.
            self.browser.execute_script("document.getElementById('login-error').textContent=''")
        self.log_in("alice", password)
        self.expect_login_error("too many failed logins")

    # Tools.

    def click_soon(self, selector, what):
        """Clicks the element `selector` once it is there. Found and clicked by
        the page's own script in one step: the tables are drawn anew at every
        update, so an element found first may be gone by the click. The click
        comes after the script returns, as it may open a prompt."""
        self.wait(lambda browser: browser.execute_script(
            "const found = document.querySelector(arguments[0]);"
            "if (found) setTimeout(() => found.click(), 0);"
            "return found !== null;", selector), what)

    def wait(self, condition, what):
        try:
            # Stale elements too: the tables are drawn anew at every update.
            return WebDriverWait(self.browser, WAIT_SECONDS,
                                 ignored_exceptions=(StaleElementReferenceException,)
                                 ).until(condition)
        except TimeoutException:
            raise AssertionError(f"timed out waiting for {what}") from None

    def wait_visible(self, element_id):
        return self.wait(seen.visibility_of_element_located((By.ID, element_id)),
                         f"#{element_id} to show")

    def expect_text(self, by, selector, text):
        self.wait(seen.text_to_be_present_in_element((by, selector), text),
                  f"{text!r} in {selector}")

    def picture(self, name):
        """Saves the window, scrolled to the top, as NAME.png in the pictures'
        directory."""
        if not self.shots:
            return
        # No focus ring: the pages move the focus to their titles.
        self.browser.execute_script("document.activeElement.blur(); window.scrollTo(0, 0)")
        os.makedirs(self.shots, exist_ok=True)
        self.browser.save_screenshot(os.path.join(self.shots, name + ".png"))

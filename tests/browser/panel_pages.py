"""What a user does with the panel's page in the browser, step by step, each
step checking what the page shows."""

import os

from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as seen
from selenium.webdriver.support.ui import Select, WebDriverWait

import processes
from panel_accounts import AccountSteps
from panel_acts import ActSteps
from panel_checks import PageChecks
from panel_moderation import ModerationSteps

# One size for every run, so that the pictures stay alike.
WINDOW = (1280, 800)
WAIT_SECONDS = 10
# A restarted client is found by the page's stream, which waits longer
# after each failed try.
RESTART_WAIT_SECONDS = 40
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


class PanelPages(ActSteps, AccountSteps, PageChecks, ModerationSteps):
    """The panel at `url` in `browser`; pictures go to `shots` when given;
    `restart()` stops the client and starts it again on the same port,
    `stop_game_server()` stops the simulator; `public_url` is the client's
    public ban record; `change_password(name, password)` gives an account a
    new one and hangs the client up."""

    def __init__(self, browser, url, shots, restart, stop_game_server, public_url,
                 change_password):
        self.browser = browser
        self.url = url
        self.shots = shots
        self.restart = restart
        self.stop_game_server = stop_game_server
        self.change_password = change_password
        self.public_url = public_url
        self.window = WINDOW
        self.failed_logins = 0

    def run_all(self, password):
        self.browser.get(self.url)
        self.wait_visible("login")
        self.log_in_wrongly("alice", "not the password")
        self.expect_login_error("wrong name, password or code")
        self.picture("login")
        self.log_in("alice", password)
        self.wait_visible("panel")
        self.expect_text(By.ID, "who", "alice (level 4)")
        self.expect_players(["Alice", "Bob", "Carol", "Dave"])
        self.expect_text(By.ID, "server", "Browser Test Arena")
        self.expect_text(By.ID, "server", "Client up since")
        self.picture("players")
        self.cancel_does_nothing("Bob")
        self.reason_needed("Carol")
        self.warn_by_keyboard("Carol")
        self.act_on_row("kick", "Bob", "kick Bob", reason="spamming")
        self.act_on_row("tempban", "Dave", "tempban Dave", preset="1d", reason="griefing")
        self.id_passed_to_another()
        self.open_page("console")
        self.expect_console("Bob has been kicked from the game")
        self.filter_console()
        self.picture("console")
        self.open_page("audit")
        self.expect_row("audit", ["panel:alice", "kick", "Bob", "spamming"])
        self.expect_row("audit", ["panel:alice", "tempban", "Dave"])
        self.picture("audit")
        self.open_page("bans")
        self.expect_row("bans", ["Dave", "tempban", "alice", "griefing"])
        self.picture("bans")
        self.edit_ban("Dave", "=griefing, \"again\"", "3d")
        self.expect_export("bans", "'=griefing, \"\"again\"\"")
        self.unban("Dave")
        self.search_records("bans", state="all")
        self.expect_row("bans", ["Dave", "=griefing, \"again\""])
        self.open_page("audit")
        self.search_records("audit", action="unban")
        self.expect_row("audit", ["panel:alice", "unban", "Dave", "served"])
        self.tempban_from_history("Bob")
        self.picture("history")
        self.work_a_report()
        self.work_an_appeal(self.public_url, "Bob")
        self.open_page("rules")
        self.expect_row("rules", ["slurs", "words", "warn, kick", "0"])
        self.open_page("account")
        self.expect_row("sessions", ["this browser"])
        self.picture("account")
        self.open_page("charts")
        self.expect_charts()
        self.picture("charts")
        self.check_every_page("1280x800")
        self.check_phone()
        self.restart_ends_the_session()
        self.log_in("alice", password)
        self.wait_visible("panel")
        self.game_server_lost()
        self.log_out()
        self.log_in("mia", password)
        self.expect_text(By.ID, "who", "mia (level 1)")
        self.open_page("console")
        self.say("/slap Carol")
        self.expect_console("* a line starting with / is a server command, which needs level 4")
        self.log_out()
        # Without the code; tess's failure is not one of alice's below.
        self.log_in("tess", password)
        self.expect_login_error("wrong name, password or code")
        code = processes.totp_now()
        self.log_in("tess", password, code)
        self.expect_text(By.ID, "who", "tess (level 1)")
        self.log_out()
        self.code_replay_refused(password, code)
        self.enrolled_code_and_recovery(password)
        self.role_shows_only_its_own(password)
        self.hang_up_ends_a_changed_login(password)
        self.hold_off_failed_logins(password)

    # Steps.

    def log_in(self, name, password, code=""):
        form = self.wait_visible("login")
        for field, value in (("name", name), ("password", password), ("code", code)):
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

    def warn_by_keyboard(self, name):
        """The keyboard alone: Enter on the row's button opens the form,
        whose reason takes the focus; Enter sends it."""
        self.wait(lambda browser: browser.execute_script(
            "const b = document.querySelector(arguments[0]); if (b) b.focus(); return !!b;",
            f"#players button[aria-label='warn {name}']"), f"a warn button for {name}")
        ActionChains(self.browser).send_keys(Keys.ENTER).perform()
        self.wait(lambda browser: browser.find_element(By.ID, "act-dialog").is_displayed(),
                  "the warn form")
        self.wait(lambda browser: browser.execute_script(
            "return document.activeElement && document.activeElement.name === 'reason';"),
            "the focus in the reason")
        ActionChains(self.browser).send_keys("keyboard warning", Keys.ENTER).perform()
        self.dialog_closed()
        self.expect_outcome(f"warn {name}: done", f"warn {name}")

    def filter_console(self):
        """Typing in the filter leaves the matching lines alone in view;
        the kills' toggle hides the kills."""
        tools = self.browser.find_element(By.ID, "console-tools")
        tools.find_element(By.NAME, "filter").send_keys("has been kicked")
        self.wait(lambda browser: all("has been kicked" in item.text for item in
                                      browser.find_elements(By.CSS_SELECTOR, "#console li")
                                      if item.is_displayed()), "only the kicks shown")
        tools.find_element(By.NAME, "filter").clear()
        self.browser.execute_script(
            "document.getElementById('console-tools').dispatchEvent(new Event('input'))")
        tools.find_element(By.CSS_SELECTOR, "input[value=kill]").click()
        shown = [item.text for item in self.browser.find_elements(
            By.CSS_SELECTOR, "#console li.kind-kill") if item.is_displayed()]
        assert not shown, f"kills shown while toggled off: {shown}"
        tools.find_element(By.CSS_SELECTOR, "input[value=kill]").click()

    def restart_ends_the_session(self):
        """The client restarts: the page says the live updates are lost,
        then, once the client answers again, that the session has ended,
        on the login form."""
        self.restart()
        # The new client has counted no failed login yet.
        self.failed_logins = 0
        self.wait(seen.visibility_of_element_located((By.ID, "login")),
                  "the login form after the restart", RESTART_WAIT_SECONDS)
        self.expect_text(By.ID, "login-error", "Your session has ended")
        assert not self.browser.find_element(By.ID, "panel").is_displayed()

    def game_server_lost(self):
        """The game server stops: once the client has heard nothing for its
        time-out, the page says since when it is not connected."""
        self.stop_game_server()
        self.wait(seen.visibility_of_element_located((By.ID, "server-banner")),
                  "the banner of a lost game server", RESTART_WAIT_SECONDS)
        self.expect_text(By.ID, "server-banner", "Not connected to the game server since")
        self.open_page("players")
        self.expect_text(By.ID, "server", "no, since")

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

    def expect_export(self, table, text):
        """The page's CSV export of `table`, fetched as its link would be, holds
        `text`."""
        exported = self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(document.getElementById(arguments[0] + '-export-csv').href,"
            " {credentials: 'same-origin'}).then((r) => r.text()).then(done, () => done(''));",
            table)
        assert text in exported, f"{text!r} not in the export: {exported!r}"

    def search_records(self, table, **filters):
        """Fills in the filters of `table`'s search (by their keys) and sends it."""
        for key, value in filters.items():
            field = self.browser.find_element(By.ID, f"{table}-filter-{key}")
            if field.tag_name == "select":
                Select(field).select_by_value(value)
            else:
                field.clear()
                field.send_keys(value)
        self.browser.find_element(By.CSS_SELECTOR, f"#{table}-filters button[type=submit]").click()

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
            self.expect_login_error("wrong name, password or code")
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

    def wait(self, condition, what, seconds=WAIT_SECONDS):
        try:
            # Stale elements too: the tables are drawn anew at every update.
            return WebDriverWait(self.browser, seconds,
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

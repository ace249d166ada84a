"""What a user does with the panel's page in the browser, step by step, each
step checking what the page shows."""

import os

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as seen
from selenium.webdriver.support.ui import WebDriverWait

# One size for every run, so that the pictures stay alike.
WINDOW = (1100, 760)
WAIT_SECONDS = 10
FAILED_LOGINS_ALLOWED = 5


def open_browser(found, home):
    """Headless Chromium with its profile, cache and log inside `home`."""
    chromium, driver_path, webdriver = found
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
        popen_kw={"start_new_session": True})
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
        self.picture("players", "players-title")
        self.kick("Bob", "spamming")
        self.expect_console("Bob has been kicked from the game")
        self.picture("console", "console-title")
        self.expect_audit("kick", "alice", "Bob", "spamming")
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

    def kick(self, name, reason):
        button = self.wait(seen.element_to_be_clickable(
            (By.CSS_SELECTOR, f"button[aria-label='kick {name}']")), f"a kick button for {name}")
        button.click()
        prompt = self.wait(seen.alert_is_present(), "the prompt for a reason")
        prompt.send_keys(reason)
        prompt.accept()
        self.expect_text(By.ID, "action-result", f"kick {name}: done")

        def gone(_):
            cells = self.browser.find_elements(By.CSS_SELECTOR, "#players tr td:nth-child(2)")
            return cells and name not in {cell.text for cell in cells}
        self.wait(gone, f"{name} gone from the table")

    def expect_console(self, text):
        def shown(_):
            return any(text in item.text
                       for item in self.browser.find_elements(By.CSS_SELECTOR, "#console li"))
        self.wait(shown, f"the console line {text!r}")

    def expect_audit(self, action, actor, target, detail):
        """The audit, as the page's own session reads it."""
        entries = self.fetch_json("/api/audit")
        wanted = {"action": action, "actor": actor, "target": target, "detail": detail}
        assert any(all(entry.get(k) == v for k, v in wanted.items()) for entry in entries), \
            f"no audit entry {wanted} in {entries}"

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

    def fetch_json(self, path):
        return self.browser.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(arguments[0], {credentials: 'same-origin'})"
            ".then((r) => r.json()).then(done, (e) => done({error: String(e)}));", path)

    def wait(self, condition, what):
        try:
            return WebDriverWait(self.browser, WAIT_SECONDS).until(condition)
        except TimeoutException:
            raise AssertionError(f"timed out waiting for {what}") from None

    def wait_visible(self, element_id):
        return self.wait(seen.visibility_of_element_located((By.ID, element_id)),
                         f"#{element_id} to show")

    def expect_text(self, by, selector, text):
        self.wait(seen.text_to_be_present_in_element((by, selector), text),
                  f"{text!r} in {selector}")

    def picture(self, name, heading=None):
        """Saves the window as NAME.png, scrolled to `heading` when given."""
        if not self.shots:
            return
        if heading:
            self.browser.execute_script(
                "document.getElementById(arguments[0]).scrollIntoView(true)", heading)
        os.makedirs(self.shots, exist_ok=True)
        self.browser.save_screenshot(os.path.join(self.shots, name + ".png"))

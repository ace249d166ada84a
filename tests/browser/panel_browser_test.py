"""The web panel in a real browser: headless Chromium, driven through its
WebDriver, against the real client logged in to the simulator.

    panel_browser_test.py --gsadmin PATH --sim PATH

Logs in, watches the players arrive; a kick's form cancelled (button, then
Escape) does nothing, a warn without a reason is not sent, a warn is sent
by the keyboard alone; kicks one and bans another for a day from their
rows, each form's outcome and audit entry shown; a form opened on a player
whose id passes to another before it is sent is refused (409) and says so;
finds the console lines and filters them, the audit entries, lifts the ban
from the bans page (saying that a ban of the server's own would remain),
tempbans and notes a player who has left from the history's view of the
player, opens the charts; claims and closes on the Reports page the report
a player made in game, and rejects on the Appeals page an appeal posted to
the public listener, whose reply the appellant then reads; checks every page with axe-core at 1280x800 and
at a phone's 390x844 (no sideways scrolling, controls of 44 px); restarts
the client, which sends the page to the login form; stops the game
server, which the page then says with a banner; logs out; a level-1
account's chat box refuses a server command; a wrong password is refused
and the sixth failed login within a minute is held off. With GSADMIN_SCREENSHOTS set to a directory it also saves a picture of
each page there (login, players, players-phone, act-form, console, audit,
bans, history, reports, appeals, charts).

With GSADMIN_BROWSER_DEBUG set to a file name, a failure saves the window
there and prints the focused element, the form's error and the last outcome.

Exit status: 0 passed, 1 failed (or no Selenium), 77 skipped (no Chromium
or chromedriver here)."""

import argparse
import os
import shutil
import signal
import sys
import traceback

# No bytecode caches beside the sources: the test writes only in its
# temporary directory.
sys.dont_write_bytecode = True

import processes  # pylint: disable=wrong-import-position

SKIP = 77


def find_browser():
    """(chromium, chromedriver), or nothing when one of them is missing."""
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver")
    return (chromium, driver) if chromium and driver else None


def end_group(group):
    try:
        os.killpg(group, signal.SIGKILL)
    except ProcessLookupError:
        pass


def quit_browser(browser):
    """Ends `browser` (if any) and whatever of Chromium outlives its quit:
    Chromium runs in chromedriver's process group."""
    if browser is None:
        return
    group = browser.service.process.pid
    try:
        browser.quit()
    finally:
        end_group(group)


def end_on_signal(number, _frame):
    """A TERM (ctest's timeout) unwinds the test, so everything it started ends."""
    raise SystemExit(128 + number)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gsadmin", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    # The programs run in the temporary directory.
    gsadmin, sim = os.path.abspath(args.gsadmin), os.path.abspath(args.sim)
    found = find_browser()
    if found is None:
        print("SKIP: chromium or chromedriver is not installed")
        return SKIP
    try:
        from selenium import webdriver  # pylint: disable=import-outside-toplevel
    except ImportError:
        print("panel_browser_test: python3-selenium is not installed "
              "(GSADMIN_WITH_TESTS=1 scripts/install-deps installs it)")
        return 1
    signal.signal(signal.SIGTERM, end_on_signal)
    signal.signal(signal.SIGHUP, end_on_signal)
    # The test's own modules beside it, whatever the directory it runs in.
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

    # Imported here: the module needs selenium, which may be missing.
    import panel_pages  # pylint: disable=import-outside-toplevel

    home = processes.TempHome()
    started = []
    browser = None
    try:
        sim, sim_port = processes.start_simulator(sim, home)
        started.append(sim)
        client, url, public_url = processes.start_client(gsadmin, home, sim_port)
        started.append(client)
        browser = panel_pages.open_browser(*found, webdriver, home)

        def restart():
            """The client stopped and started again on the same port."""
            started.pop().stop()
            port = int(url.rstrip("/").rsplit(":", 1)[1])
            started.append(processes.start_client(gsadmin, home, sim_port, port)[0])

        def change_password(name, password):
            processes.change_password(gsadmin, home, started[-1], name, password)

        pages = panel_pages.PanelPages(browser, url, os.environ.get("GSADMIN_SCREENSHOTS"),
                                       restart, sim.stop, public_url, change_password)
        pages.run_all(processes.PASSWORD)
        print("panel in the browser: passed")
        return 0
    except Exception:  # pylint: disable=broad-except
        traceback.print_exc()
        if browser is not None and os.environ.get("GSADMIN_BROWSER_DEBUG"):
            browser.save_screenshot(os.environ["GSADMIN_BROWSER_DEBUG"])
            print(browser.execute_script(
                "return [document.activeElement.outerHTML.slice(0, 200),"
                " document.getElementById('act-error').textContent,"
                " document.getElementById('outcome-line').textContent]"))
        for program in started:
            print(f"--- {program.log} (last lines)\n{program.output()[-3000:]}")
        return 1
    finally:
        quit_browser(browser)
        for program in reversed(started):
            program.stop()
        home.remove()


if __name__ == "__main__":
    sys.exit(main())

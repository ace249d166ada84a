#!/usr/bin/env python3
"""The fleet in a real browser: two clients on two simulators share one
PostgreSQL database the test starts. Alpha's panel lists beta's players with
their server; the server selector shows beta's alone; a kick from alpha's
form lands on beta (beta's simulator sees it) and the page says beta's
answer, at 1280x800 and again at a phone's 390x844. Exits 77 (skipped) without Chromium, chromedriver or PostgreSQL."""

import argparse
import glob
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import processes  # pylint: disable=wrong-import-position
from panel_browser_test import SKIP, find_browser, quit_browser  # pylint: disable=wrong-import-position
from panel_checks import PHONE  # pylint: disable=wrong-import-position

ALPHA = "server-name Alpha\nonline Ann\n120 end\n"
BETA = "server-name Beta\nonline Troll\nonline Carl\n120 end\n"
UNPRIVILEGED = "nobody"  # the server refuses to run as root


class Postgres:
    """A PostgreSQL server of the test's own, on a Unix socket alone."""

    def __init__(self):
        found = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"))
        self.bin = os.path.dirname(found[-1]) if found else None
        self.dir = tempfile.mkdtemp(prefix="gsadmin-browser-pg-")
        self.running = False

    def tool(self, name, *args):
        argv = [os.path.join(self.bin, name), *args]
        if os.geteuid() == 0:
            argv = ["/usr/bin/setpriv", "--reuid=" + UNPRIVILEGED, "--regid=nogroup",
                    "--clear-groups", "--", *argv]
        with open(os.path.join(self.dir, "tools.log"), "ab") as log:
            return subprocess.run(argv, cwd=self.dir, stdout=log, stderr=subprocess.STDOUT,
                                  env={"HOME": self.dir, "PATH": "/usr/bin:/bin"},
                                  timeout=120, check=False).returncode == 0

    def start(self):
        if os.geteuid() == 0:
            user = pwd.getpwnam(UNPRIVILEGED)
            os.chown(self.dir, user.pw_uid, user.pw_gid)
        data = os.path.join(self.dir, "data")
        if not self.tool("initdb", "-D", data, "-U", "gsadmin", "--auth=trust", "--no-sync",
                         "--no-locale", "-E", "UTF8"):
            raise AssertionError("initdb failed; see " + self.dir + "/tools.log")
        with open(os.path.join(data, "postgresql.conf"), "a", encoding="utf-8") as conf:
            conf.write(f"listen_addresses = ''\nunix_socket_directories = '{self.dir}'\n"
                       "port = 5432\nfsync = off\nmax_connections = 20\n")
        self.running = self.tool("pg_ctl", "-D", data, "-l", os.path.join(self.dir, "server.log"),
                                 "-w", "-t", "60", "start")
        if not self.running:
            raise AssertionError("the server did not start; see " + self.dir + "/server.log")

    def uri(self):
        return f"postgresql:///postgres?host={self.dir}&port=5432&user=gsadmin"

    def stop(self):
        if self.running:
            self.tool("pg_ctl", "-D", os.path.join(self.dir, "data"), "-m", "immediate", "-w",
                      "stop")
        shutil.rmtree(self.dir, ignore_errors=True)


def start_pair(gsadmin, sim, home, uri):
    """Both simulators and both clients, alpha with the panel; (programs, URL)."""
    started = []
    ports = {}
    for name, scenario in (("alpha", ALPHA), ("beta", BETA)):
        home.write(name + ".txt", scenario)
        program = processes.Program(home, name + "-sim",
                                    [sim, "--port", "0", "--scenario", name + ".txt", "--once"])
        started.append(program)
        ports[name] = int(program.wait_for(r"listening on 127\.0\.0\.1:(\d+)").group(1))
    hashed = processes.hash_password(gsadmin, home, processes.PASSWORD)
    home.write("users", f"alice 4 {hashed}\n")
    url = None
    for name in ("alpha", "beta"):
        panel = ["--http=127.0.0.1:0", "--http-users=users"] if name == "alpha" else []
        program = processes.Program(home, name, [
            gsadmin, "--no-input", *panel, "--db=" + uri, "--server-name=" + name, "127.0.0.1",
            str(ports[name]), "Admin", "73519"])
        started.append(program)
        if panel:
            url = program.wait_for(r"Panel: (http://127\.0\.0\.1:\d+/)").group(1)
        program.wait_for(r"Successfully connected")
    return started, url


def wait(browser, condition, what, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            if condition(browser):
                return
        except Exception:  # pylint: disable=broad-except
            pass  # a table drawn anew meanwhile
        time.sleep(0.1)
    raise AssertionError("no " + what)


def rows(browser):
    return browser.execute_script(
        "return Array.from(document.querySelectorAll('#players tr'),"
        " (tr) => Array.from(tr.cells, (td) => td.textContent))")


def log_in_to_alpha(browser, by, url):
    browser.get(url)
    form = browser.find_element(by.ID, "login")
    form.find_element(by.NAME, "name").send_keys("alice")
    form.find_element(by.NAME, "password").send_keys(processes.PASSWORD)
    form.find_element(by.TAG_NAME, "button").click()
    wait(browser, lambda b: any(r[1:3] == ["Ann", "alpha"] for r in rows(b)),
         "Ann of alpha in alpha's players")


def kick_on_beta(browser, by, select_class, name, beta_sim):
    """Kicks `name`, a player of beta, from alpha's page."""
    wait(browser, lambda b: any(r[1:3] == [name, "beta"] for r in rows(b)),
         name + " of beta in alpha's players")
    select_class(browser.find_element(by.ID, "fleet-server")).select_by_value("beta")
    wait(browser, lambda b: all(r[2] == "beta" for r in rows(b)), "beta's players alone")
    browser.find_element(by.CSS_SELECTOR, f"#players button[aria-label='kick {name}']").click()
    assert "on beta" in browser.find_element(by.ID, "act-target").text
    browser.find_element(by.ID, "act-form").find_element(by.NAME, "reason").send_keys("flooding")
    browser.find_element(by.ID, "act-ok").click()
    wait(browser, lambda b: b.find_element(by.ID, "outcome-line").text ==
         f"kick {name}: done: kick done on beta", "beta's answer in the page")
    beta_sim.wait_for(f"admin kicks {name}")


def charts_choose_a_server(browser, by, select_class):
    """The charts' selector offers each server and all of them; choosing all
    draws the players online chart again."""
    browser.get(browser.current_url.split("#")[0] + "#charts")
    wait(browser, lambda b: b.find_element(by.ID, "chart-server-label").is_displayed(),
         "the charts' server selector")
    select = select_class(browser.find_element(by.ID, "chart-server"))
    assert [o.text for o in select.options] == ["alpha", "beta", "all servers"], \
        [o.text for o in select.options]
    select.select_by_value("all")
    wait(browser, lambda b: "as of" in b.find_element(by.ID, "charts-result").text,
         "the charts of all servers")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gsadmin", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    gsadmin, sim = os.path.abspath(args.gsadmin), os.path.abspath(args.sim)
    found = find_browser()
    postgres = Postgres()
    if found is None or postgres.bin is None:
        print("SKIP: chromium, chromedriver or PostgreSQL is not installed")
        postgres.stop()
        return SKIP
    from selenium import webdriver  # pylint: disable=import-outside-toplevel
    from selenium.webdriver.common.by import By  # pylint: disable=import-outside-toplevel
    from selenium.webdriver.support.ui import Select  # pylint: disable=import-outside-toplevel
    import panel_pages  # pylint: disable=import-outside-toplevel

    home = processes.TempHome()
    started, browser = [], None
    try:
        postgres.start()
        started, url = start_pair(gsadmin, sim, home, postgres.uri())
        browser = panel_pages.open_browser(*found, webdriver, home)
        log_in_to_alpha(browser, By, url)
        kick_on_beta(browser, By, Select, "Troll", started[1])
        # Again at a phone's size, with the other of beta's players.
        browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": PHONE[0], "height": PHONE[1], "deviceScaleFactor": 1, "mobile": True})
        kick_on_beta(browser, By, Select, "Carl", started[1])
        charts_choose_a_server(browser, By, Select)
        print("the fleet in the browser: passed")
        return 0
    except Exception:  # pylint: disable=broad-except
        traceback.print_exc()
        for program in started:
            print(f"--- {program.log} (last lines)\n{program.output()[-2000:]}")
        return 1
    finally:
        quit_browser(browser)
        for program in reversed(started):
            program.stop()
        postgres.stop()
        home.remove()


if __name__ == "__main__":
    sys.exit(main())

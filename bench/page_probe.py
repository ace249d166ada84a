#!/usr/bin/env python3
"""Watches the panel's players table in headless Chromium for gsadmin_bench:
logs in to the panel at URL as alice, then notes the time (milliseconds
since the epoch, the page's own clock) of every change of the health shown
for the player with id WATCHED, for SECONDS, and writes them to OUT as JSON
lines {"at": ms, "health": text}, after a first line {"watched": [from,
to]}. Exits 77 when Chromium or selenium is
missing."""

import json
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "browser"))
sys.dont_write_bytecode = True

import processes  # pylint: disable=wrong-import-position
from panel_browser_test import SKIP, find_browser, quit_browser  # pylint: disable=wrong-import-position

# Noted by the page: the watched row's health cell, whenever the table changes.
WATCH = """
const watched = arguments[0];
window.healthSeen = [];
const column = Array.from(document.getElementById('players').parentElement
  .querySelectorAll('th'), (th) => th.textContent).indexOf('Health');
let last = null;
new MutationObserver(() => {
  const at = performance.timeOrigin + performance.now();
  for (const row of document.querySelectorAll('#players tr')) {
    const cells = row.querySelectorAll('td');
    if (cells.length <= column || cells[0].textContent !== watched) continue;
    const health = cells[column].textContent;
    if (health !== last) window.healthSeen.push({ at, health });
    last = health;
    return;
  }
}).observe(document.getElementById('players'), { childList: true, subtree: true,
  characterData: true });
"""


def main():
    url, watched, seconds, out = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
    try:
        from selenium import webdriver  # pylint: disable=import-outside-toplevel
        from selenium.webdriver.common.by import By  # pylint: disable=import-outside-toplevel
        from selenium.webdriver.support.ui import WebDriverWait  # pylint: disable=import-outside-toplevel
        import panel_pages  # pylint: disable=import-outside-toplevel
    except ImportError:
        return SKIP
    found = find_browser()
    if found is None:
        return SKIP
    home = processes.TempHome()
    browser = None
    try:
        browser = panel_pages.open_browser(*found, webdriver, home)
        browser.get(url)
        form = WebDriverWait(browser, 20).until(lambda b: b.find_element(By.ID, "login"))
        form.find_element(By.NAME, "name").send_keys("alice")
        form.find_element(By.NAME, "password").send_keys("secret")
        form.find_element(By.TAG_NAME, "button").click()
        WebDriverWait(browser, 20).until(
            lambda b: len(b.find_elements(By.CSS_SELECTOR, "#players tr")) > 200)
        browser.execute_script(WATCH, watched)
        began = time.time() * 1000
        time.sleep(seconds)
        seen = browser.execute_script("return window.healthSeen;")
        with open(out, "w", encoding="utf-8") as lines:
            lines.write(json.dumps({"watched": [began, time.time() * 1000]}) + "\n")
            for change in seen:
                lines.write(json.dumps(change) + "\n")
        return 0
    finally:
        quit_browser(browser)
        home.remove()


if __name__ == "__main__":
    sys.exit(main())

"""Checks of every page: the accessibility checker (axe-core, which
scripts/install-deps fetches from npm into vendor/ for the tests), and a phone's width: nothing scrolls sideways
and every control is big enough to tap."""

import os

AXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vendor", "axe-core",
                   "axe.min.js")
PAGES = ("players", "console", "charts", "history", "bans", "audit", "rules", "reports",
         "appeals")
PHONE = (390, 844)
# The least width and height of a control, in CSS pixels.
TAP_PIXELS = 44

# The controls shown on the page that are smaller than TAP_PIXELS; a
# checkbox or a radio button counts by its label, which takes the tap.
SMALL_TARGETS = """
const small = [];
for (const node of document.querySelectorAll('button, a, input, select')) {
  if (!node.offsetParent) continue;
  const target = (node.type === 'checkbox' || node.type === 'radio') ? node.closest('label') : node;
  const box = target.getBoundingClientRect();
  if (box.width < arguments[0] || box.height < arguments[0]) {
    small.push((node.getAttribute('aria-label') || node.textContent || node.name || node.tagName)
      .trim() + ' ' + Math.round(box.width) + 'x' + Math.round(box.height));
  }
}
return small;
"""

RUN_AXE = """
const done = arguments[arguments.length - 1];
axe.run(document, { resultTypes: ['violations'] }).then((results) => done(
  results.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => v.id + ': ' + v.help + ' (' + v.nodes.map((n) => n.target.join(' '))
      .slice(0, 3).join(', ') + ')')));
"""


class PageChecks:
    """Mixed into PanelPages."""

    def check_every_page(self, width_name):
        for page in PAGES:
            self.open_page(page)
            self.wait(lambda browser: browser.execute_script(
                "return document.readyState") == "complete", "the page loaded")
            self.check_accessible(f"{page} at {width_name}")
        self.open_act("#players", "tempban", "Alice")
        self.check_accessible(f"the tempban form at {width_name}")
        self.browser.find_element("id", "act-cancel").click()
        self.dialog_closed()

    def check_accessible(self, where):
        if not self.browser.execute_script("return typeof axe !== 'undefined'"):
            with open(AXE, encoding="utf-8") as source:
                self.browser.execute_script(source.read())
        self.browser.set_script_timeout(30)
        found = self.browser.execute_async_script(RUN_AXE)
        assert not found, f"serious accessibility faults on {where}: {found}"

    def check_phone(self):
        """At a phone's size: every page fits its width and every control
        takes a finger; the actions are all there."""
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": PHONE[0], "height": PHONE[1], "deviceScaleFactor": 1, "mobile": True})
        try:
            for page in PAGES:
                self.open_page(page)
                wide = self.browser.execute_script(
                    "return [document.documentElement.scrollWidth, "
                    "document.documentElement.clientWidth]")
                assert wide[0] <= wide[1], f"{page} scrolls sideways at {PHONE}: {wide}"
                small = self.browser.execute_script(SMALL_TARGETS, TAP_PIXELS)
                assert not small, f"controls under {TAP_PIXELS} px on {page}: {small}"
            self.open_page("players")
            self.picture("players-phone")
            for action in ("message", "slap", "warn", "kick", "tempban", "ban"):
                # Found and looked at in one step: the table is drawn anew
                # at every update.
                shown = self.browser.execute_script(
                    "const b = document.querySelector(arguments[0]);"
                    "return b !== null && b.offsetParent !== null;",
                    f"#players button[aria-label='{action} Alice']")
                assert shown, f"no {action} button at {PHONE}"
            self.check_every_page("390x844")
        finally:
            self.browser.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

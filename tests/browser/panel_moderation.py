"""The Reports and Appeals pages, as an admin works through them: a report
made in game by the simulator's scenario is claimed and closed, and an
appeal posted to the public listener, as a banned player's browser would,
is rejected with a reply."""

import json
import urllib.parse
import urllib.request

from selenium.webdriver.common.by import By

# processes.SCENARIO: Alice reports Carol in game.
REPORTED, REPORTER, REASON = "Carol", "Alice", "aimbot"
APPEAL_TEXT = "I was away from the keyboard"


def public_json(url, path, body=None):
    """The public listener's answer to a GET, or to a POST of `body` as JSON:
    (status, decoded JSON)."""
    data = None if body is None else json.dumps(body).encode()
    request = urllib.request.Request(urllib.parse.urljoin(url, path), data=data,
                                     headers={"Content-Type": "application/json"})
    try:
        with urllib.request.urlopen(request, timeout=10) as answer:
            return answer.status, json.load(answer)
    except urllib.error.HTTPError as error:
        return error.code, json.load(error)


class ModerationSteps:
    """Mixed into PanelPages, whose tools (wait, act, expect_row, ...) it uses."""

    def work_a_report(self):
        """The scenario's report is listed open, shown with its players,
        claimed by alice, then closed with no action: the page shows each state."""
        self.open_page("reports")
        self.click_soon("#reports-refresh", "the reports' refresh")
        self.expect_row("reports", [REPORTED, REPORTER, REASON, "open"])
        self.click_soon("#reports button[aria-label^='show report #']", "a report's show button")
        self.expect_text(By.ID, "report-title", "on " + REPORTED)
        self.expect_text(By.ID, "report-record", REPORTER)
        self.picture("reports")
        self.act("#reports", "report claim", REPORTED)
        self.expect_text(By.ID, "reports", "claimed by")
        self.act("#reports", "report close", REPORTED, text="nothing seen in the evidence")
        self.expect_text(By.ID, "report-record", "closed, no action: nothing seen in the evidence")

    def work_an_appeal(self, public_url, name):
        """An appeal of `name`'s ban, posted to the public listener, is
        listed on the Appeals page and rejected with a reply there, which
        the appellant then reads with the token."""
        status, found = public_json(public_url, "/api/bans?name=" + urllib.parse.quote(name))
        assert status == 200 and found["bans"], f"no ban on {name}: {status} {found}"
        ban = found["bans"][0]["id"]
        status, filed = public_json(public_url, "/api/appeals",
                                    {"ban": ban, "name": name, "text": APPEAL_TEXT})
        assert status == 200 and "token" in filed, f"the appeal was refused: {status} {filed}"
        self.open_page("appeals")
        self.click_soon("#appeals-refresh", "the appeals' refresh")
        self.expect_row("appeals", [f"#{ban}", name, APPEAL_TEXT])
        self.picture("appeals")
        self.act("#appeals", "appeal reject", name, text="the evidence is clear")
        self.expect_text(By.ID, "appeals", "no open appeals")
        status, seen = public_json(public_url, "/api/appeals/" + filed["token"])
        assert status == 200 and seen.get("state") == "rejected", f"{status} {seen}"
        assert seen.get("reply") == "the evidence is clear", seen

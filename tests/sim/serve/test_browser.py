"""serve's page in a real browser (headless Chromium, driven by Selenium) as a person uses it:
Camera in slow motion at 240 chosen by clicks and keys, a recording, Photos' "Save Slo-mo",
the steps saved and replayed by run; then the time from a click to the changed screen."""

import os
import re
import statistics
import subprocess
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from served import SIM, Served

# Where a person touches on an iPhone 6 with iOS 8 (screen points). The dial shows the mode in
# the middle and its neighbours beside it.
DIAL_LEFT = (75, 488)
DIAL_RIGHT = (245, 488)
INDICATOR = (160, 458)
ALERT_SET = (160, 289)
SHUTTER = (160, 530)
FIRST_TILE = (54, 116)
SAVE_SLO_MO = (258, 42)

CLICKS_TIMED = 50


def browser(downloads, scale=2):
    """Headless Chromium on a high-density display (`scale` pixels a CSS pixel)."""
    options = webdriver.ChromeOptions()
    for argument in (
        "--headless=new",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-dev-shm-usage",
        "--window-size=1280,1000",
        f"--force-device-scale-factor={scale}",
    ):
        options.add_argument(argument)
    options.add_experimental_option(
        "prefs", {"download.default_directory": downloads, "download.prompt_for_download": False}
    )
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd(
        "Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads}
    )
    return driver


def comparable(trace):
    """The trace's events without what differs between runs: locations, process ids, roots and
    the reason the apps ended."""
    lines = []
    for line in trace.splitlines():
        if re.search(r"root |files are kept|snapshots are in|ended: the|passed: |FAILED: ", line):
            continue
        line = re.sub(r"\S+:\d+: ", "", line)
        line = re.sub(r"pid \d+", "pid N", line)
        lines.append(line)
    return lines


class Page:
    """The page as a person sees it, through the browser."""

    def __init__(self, driver, url):
        self.driver = driver
        driver.get(url)
        self.wait_for(lambda: self.driver.find_element(By.ID, "role").text)

    def wait_for(self, condition, seconds=30, what="the page to change"):
        try:
            return WebDriverWait(self.driver, seconds, poll_frequency=0.02).until(
                lambda _: condition()
            )
        except TimeoutException:
            raise AssertionError(f"waited {seconds} s for {what}") from None

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def click_css(self, selector):
        self.driver.find_element(By.CSS_SELECTOR, selector).click()

    def screen(self):
        return self.driver.find_element(By.ID, "screen")

    def touch(self, point, double=False):
        screen = self.screen()
        x = point[0] - screen.size["width"] / 2
        y = point[1] - screen.size["height"] / 2
        actions = ActionChains(self.driver).move_to_element_with_offset(screen, x, y)
        (actions.double_click() if double else actions.click()).perform()

    def state(self, key):
        """The state panel's row of the key, read at once: the page redraws the panel."""
        return self.driver.execute_script(
            "for (const row of document.querySelectorAll('#state tr'))"
            "  if (row.cells[0].textContent === arguments[0]) return row.cells[1].textContent;"
            "return null;",
            key,
        )

    def wait_for_state(self, key, predicate, what):
        return self.wait_for(lambda: predicate(self.state(key) or ""), what=f"{key}: {what}")

    def picture(self):
        return self.screen().get_attribute("src")

    def trace(self):
        return self.driver.find_element(By.ID, "trace").text

    def latencies(self):
        return self.driver.execute_script("return window.quorvane.latencies.length")


class InTheBrowser(unittest.TestCase):
    def setUp(self):
        self.served = Served(drive=False)
        self.downloads = tempfile.mkdtemp(prefix="quorvane-downloads-")
        self.driver = browser(self.downloads)
        self.addCleanup(lambda: self.assertEqual(self.served.stop(), 0, self.served.trace()))
        self.addCleanup(self.driver.quit)
        self.page = Page(self.driver, self.served.url)

    def test_a_person_films_slow_motion_saves_it_and_replays_the_steps(self):
        page = self.page
        self.assertFalse(self.driver.find_element(By.ID, "home").get_attribute("hidden"))

        page.click_css("[data-launch=Camera]")
        page.wait_for_state("preview", lambda v: v == "running", "the preview runs")
        page.touch(DIAL_LEFT)
        page.wait_for_state("camera_mode", lambda v: v == "video", "video")
        page.touch(DIAL_LEFT)
        page.wait_for_state("camera_mode", lambda v: v == "slow_motion", "slow motion")

        before = page.picture()
        page.touch(INDICATOR)
        page.wait_for_state("alert", lambda v: "title" in v, "the chooser's alert")
        ActionChains(self.driver).send_keys("240").perform()
        page.wait_for_state("alert", lambda v: 'text: "240"' in v, "240 typed")
        page.touch(ALERT_SET)
        page.wait_for_state("min_frame_duration", lambda v: v == "1/240", "1/240")
        page.wait_for(lambda: page.picture() != before, what="a new picture")

        page.touch(SHUTTER)
        page.click("plus1")
        page.touch(SHUTTER)
        page.wait_for_state("album", lambda v: v.count(".MOV") == 1, "the recording")

        page.click_css("#home-row [data-app=MobileSlideShow] .launch")
        page.wait_for(lambda: page.driver.find_element(By.ID, "state-of").text == "Photos")
        page.touch(FIRST_TILE)
        page.wait_for_state("clip", lambda v: "IMG_0001.MOV" in v, "the clip open")
        page.touch(SAVE_SLO_MO)
        page.wait_for_state("album", lambda v: v.count(".MOV") == 2, "the saved slow motion")
        self.assertNotIn("FAILED", page.trace())

        page.click("save")
        saved = os.path.join(self.downloads, "quorvane-scenario.yaml")
        page.wait_for(lambda: os.path.exists(saved), what="the scenario's download")
        served_trace = page.trace()
        replay = subprocess.run(
            [SIM, "run", saved, "--root", tempfile.mkdtemp(prefix="quorvane-replay-")],
            capture_output=True,
            text=True,
            timeout=300,
        )
        self.assertEqual(replay.returncode, 0, replay.stdout + replay.stderr)
        replayed = comparable(replay.stdout)
        self.assertIn("Save Slo-mo", "\n".join(replayed))
        self.assertEqual(replayed, comparable(served_trace))

    def test_the_time_from_a_click_to_the_changed_screen(self):
        page = self.page
        page.click_css("[data-launch=Camera]")
        page.wait_for_state("preview", lambda v: v == "running", "the preview runs")
        before = page.latencies()
        page.touch(DIAL_LEFT)
        page.wait_for_state("camera_mode", lambda v: v == "video", "video")
        # The state panel can show video before that click's picture has loaded and
        # counted: the timed clicks start once it has.
        page.wait_for(lambda: page.latencies() > before, what="the first click's picture")
        start = page.latencies()
        for click in range(CLICKS_TIMED):
            # Video and slow motion in turn: each is the other's left or right neighbour.
            page.touch(DIAL_LEFT if click % 2 == 0 else DIAL_RIGHT)
            page.wait_for(lambda: page.latencies() > start + click, what=f"click {click + 1}")
        latencies = self.driver.execute_script("return window.quorvane.latencies")[start:]
        median = statistics.median(latencies)
        print(
            f"\nclick to changed screen, median of {len(latencies)} clicks: {median:.1f} ms "
            f"(fastest {min(latencies):.1f}, slowest {max(latencies):.1f})"
        )
        self.assertEqual(len(latencies), CLICKS_TIMED)


if __name__ == "__main__":
    unittest.main()

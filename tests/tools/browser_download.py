#!/usr/bin/python3
"""Saves a download with headless Chromium.

browser_download.py URL COOKIE_NAME COOKIE_VALUE DOWNLOAD_DIR [SECONDS]

Opens the server's root first to set the cookie, then the download URL,
and waits (at most SECONDS, default 60) until one finished file lies in
DOWNLOAD_DIR; prints its name. Exit status 1 when none arrived.
"""
import os
import shutil
import sys
import tempfile
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def main():
    url, name, value, folder = sys.argv[1:5]
    limit = float(sys.argv[5]) if len(sys.argv) > 5 else 60.0
    profile = None
    driver = None
    try:
        profile = tempfile.mkdtemp(prefix="rvchrome.")
        opts = webdriver.ChromeOptions()
        opts.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + profile):
            opts.add_argument(flag)
        opts.add_experimental_option("prefs", {
            "download.default_directory": folder,
            "download.prompt_for_download": False,
            "safebrowsing.enabled": False,
        })
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
        driver.set_page_load_timeout(limit)
        driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": folder})
        parts = urllib.parse.urlsplit(url)
        driver.get("%s://%s/" % (parts.scheme, parts.netloc))
        driver.add_cookie({"name": name, "value": value, "path": "/"})
        driver.get(url)
        end = time.monotonic() + limit
        while time.monotonic() < end:
            done = [f for f in os.listdir(folder) if not f.endswith(".crdownload")]
            if done and not any(f.endswith(".crdownload") for f in os.listdir(folder)):
                print(done[0])
                return 0
            time.sleep(0.2)
        print("no download in %s" % folder, file=sys.stderr)
        return 1
    finally:
        try:
            if driver is not None:
                driver.quit()
        finally:
            if profile is not None:
                shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

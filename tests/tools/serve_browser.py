#!/usr/bin/env python3
"""The register's pages in headless Chromium, for tests/cli/register_serve.sh.

serve_browser.py token URL WORK UPLOAD...: the one person's server: the printed address
  exchanged for a session, the machines listed, a search, a machine's history in words, the
  conflicts, an upload with its verdicts, a hostile computer name shown as text with no script
  run.
serve_browser.py login URL WORK USER PASSWORD: a server with users over TLS: a wrong password
  refused, the right one let in.
Exits 77 when Chromium or its driver cannot be started.
"""
import os
import sys

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("SKIP: python3-selenium is not installed")
    sys.exit(77)


def fail(what):
    print(f"FAIL: browser: {what}", file=sys.stderr)
    sys.exit(1)


def browser(work):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--disable-gpu", f"--user-data-dir={work}/chromium"):
        options.add_argument(argument)
    # The test's own certificate, made a moment ago, is signed by no authority.
    options.accept_insecure_certs = True
    try:
        return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    except Exception as e:  # noqa: BLE001 - any failure to start is a missing tool here
        print(f"SKIP: headless Chromium cannot be started: {e}")
        sys.exit(77)


def wait_for(driver, css):
    """The page a click or a submit opens, once it has come."""
    WebDriverWait(driver, 30).until(
        expected_conditions.presence_of_element_located((By.CSS_SELECTOR, css)))


def rows(driver):
    return [[td.text for td in tr.find_elements(By.TAG_NAME, "td")]
            for tr in driver.find_elements(By.CSS_SELECTOR, "tbody tr")]


def expect_in(text, needle, what):
    if needle not in text:
        print(text, file=sys.stderr)
        fail(f"{what}: missing {needle!r}")


def token_server(driver, url, uploads):
    base = url.split("?")[0]
    driver.get(url)
    if "token=" in driver.current_url:
        fail(f"the token stayed in the address: {driver.current_url}")
    machines = rows(driver)
    names = sorted(r[3] for r in machines)
    hostile = '<script>window.pwned=1</script><img src=x onerror="window.pwned=2">'
    if names != sorted(["LAB-3", "PC-1", "PC-2", "PC-4", "PC-5", "PC-9", hostile]):
        fail(f"machines listed: {names}")
    dates = [r[6] for r in machines]
    if dates != sorted(dates, reverse=True):
        fail(f"not the newest last report first: {dates}")
    # The hostile name is text in its cell: no element came of it and nothing of it ran.
    if driver.find_elements(By.CSS_SELECTOR, "main img, main script"):
        fail("the hostile computer name became elements of the page")
    if driver.execute_script("return window.pwned") is not None:
        fail("a script of the hostile computer name ran")

    box = driver.find_element(By.NAME, "q")
    box.send_keys("pc-4")
    box.submit()
    wait_for(driver, "p.summary:not(:empty)")
    WebDriverWait(driver, 30).until(lambda d: "q=pc-4" in d.current_url)
    found = rows(driver)
    if [r[0] for r in found] != ["4"]:
        fail(f"search pc-4: {found}")
    expect_in(driver.find_element(By.CLASS_NAME, "summary").text, "1 machine hold", "search")

    driver.get(base + "machines/3")
    history = driver.find_element(By.CLASS_NAME, "history").text
    said = [e.text for e in driver.find_elements(By.CSS_SELECTOR, ".history .said")]
    if said != ["first report", "renamed", "another user"]:
        fail(f"machine 3's history in words: {said}")
    expect_in(history, "pc3-b@example.com", "a report's source")

    driver.find_element(By.LINK_TEXT, "Conflicts").click()
    wait_for(driver, "ul.conflicts")
    conflicts = driver.find_element(By.TAG_NAME, "main").text
    for needle in ("disk WD-AAA1 under machines 1 6", "product id PID-VL across machines 4 5",
                   "pc2-c@example.com"):
        expect_in(conflicts, needle, "conflicts page")

    driver.find_element(By.LINK_TEXT, "Add reports").click()
    wait_for(driver, "form.upload")
    driver.find_element(By.ID, "files").send_keys("\n".join(uploads))
    driver.find_element(By.CSS_SELECTOR, "form.upload button").click()
    wait_for(driver, "table.verdicts")
    verdicts = {r[0]: r[1] for r in rows(driver)}
    expected = {
        "Lumbrook20261215LAB-3.kik": "known with changes: machine 3: another user",
        "Lumbrook20261216PC-NEW.kik": "new: no machine of the register",
        "Lumbrook20261202PC-3.kik": "failed: the file is too short",
    }
    for name, words in expected.items():
        got = [v for k, v in verdicts.items() if k.startswith(name) or name in k]
        if not got or not got[0].startswith(words):
            fail(f"upload verdict of {name}: {verdicts}")
    mail = [v for k, v in verdicts.items() if "mail-new@example.com" in k]
    if mail != ["new: no machine of the register"]:
        fail(f"upload verdict of the .eml message: {verdicts}")
    driver.find_element(By.LINK_TEXT, "Machines").click()
    WebDriverWait(driver, 30).until(lambda d: not d.current_url.endswith("/add"))
    wait_for(driver, "tbody tr")
    if len(rows(driver)) != 9:
        fail(f"machines after the upload: {rows(driver)}")


def login_server(driver, url, user, password):
    driver.get(url)
    driver.find_element(By.ID, "user").send_keys(user)
    driver.find_element(By.ID, "password").send_keys(password + "-wrong")
    driver.find_element(By.CSS_SELECTOR, "form.login button").click()
    wait_for(driver, "p.error")
    expect_in(driver.find_element(By.TAG_NAME, "main").text, "Wrong user or password",
              "a wrong password")
    driver.find_element(By.ID, "user").send_keys(user)
    driver.find_element(By.ID, "password").send_keys(password)
    driver.find_element(By.CSS_SELECTOR, "form.login button").click()
    wait_for(driver, "tbody tr")
    if len(rows(driver)) != 9:
        fail(f"machines after logging in: {rows(driver)}")
    expect_in(driver.find_element(By.TAG_NAME, "header").text, f"Log out {user}", "logged in")


def main():
    mode, url, work = sys.argv[1:4]
    os.makedirs(f"{work}/chromium", exist_ok=True)
    driver = browser(work)
    try:
        if mode == "token":
            token_server(driver, url, sys.argv[4:])
        else:
            login_server(driver, url, sys.argv[4], sys.argv[5])
    finally:
        driver.quit()


if __name__ == "__main__":
    main()

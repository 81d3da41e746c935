"""Opens a report folder's page in a headless Chromium and prints how long it took to be ready, and to
sort the grid by a column and back by name (each the median of five), then to open a pair's page.
Usage: browser.py FOLDER"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "report"))
import cdp  # noqa: E402


def main():
    folder = os.path.abspath(sys.argv[1])
    try:
        cdp.find_browser()
    except SystemExit as e:
        print("browser: skipped,", e)
        return 0
    loads, sorts = [], []
    with cdp.Page() as page:
        for _ in range(5):
            start = time.monotonic()
            page.open("file://" + folder + "/index.html?" + str(time.monotonic()))
            loads.append(time.monotonic() - start)
            sorts.append(page.js("""new Promise(done => {
                const start = performance.now();
                document.querySelector('#grid th[data-key="0"]').click();
                document.querySelector('#grid th[data-key="name"]').click();
                requestAnimationFrame(() => setTimeout(() => done((performance.now() - start) / 1000)));
            })"""))
        start = time.monotonic()
        page.js("location.hash = document.querySelector('#grid td[data-verdict=\"FAIL\"] a').getAttribute('href')")
        page.wait("document.querySelector('#first-difference') !== null")
        opened = time.monotonic() - start
        rows = page.js("document.querySelectorAll('#grid tbody tr').length")
        errors = page.errors
    print("browser: %d rows; loaded and ready in %.3f s, sorted twice and drawn in %.3f s (medians of 5); "
          "a pair's page in %.3f s%s" % (rows, statistics.median(loads), statistics.median(sorts), opened,
                                          "" if not errors else "; errors: %r" % errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Opens the expected HTML certificates in headless Chromium, the way an auditor would, and
checks the DOM it builds: Japanese text decoded as UTF-8, the badge, the notes shown as
text and not as markup, 27 table rows (the firmware row, the hidden-capacity row, then the signer row, right after the
verification row), and nothing loaded from elsewhere.
Usage: check_html_chromium.py CHROMIUM GOLDEN_DIR OUT_DIR (OUT_DIR holds Chromium's profile)
"""
import re
import subprocess
import sys
from html import escape
from pathlib import Path

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--dump-dom"]
# Badge and notes as a reader sees them.
CASES = {"completed_real": ("COMPLETED & VERIFIED (完全消去済)", '返却前消去 <b>&"至急"'),
         "cancelled_sim": ("CANCELLED (中断)", "-"),
         "skipped_real": ("COMPLETED - NOT VERIFIED (消去完了・検証なし)", "-")}


def main():
    chromium, golden, out = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
    failures = []
    for stem, (badge, notes) in CASES.items():
        url = (golden / f"{stem}_Certificate.html").resolve().as_uri()
        run = subprocess.run([chromium, *FLAGS, f"--user-data-dir={out / 'profile'}", url], capture_output=True, timeout=120)
        dom = run.stdout.decode("utf-8")  # Chromium writes text with only &, < and > escaped
        checks = {
            "badge": f'<div class="badge">{escape(badge, quote=False)}</div>' in dom,
            "notes as text": f"<tr><th>Notes (備考)</th><td>{escape(notes, quote=False)}</td></tr>" in dom,
            "27 rows": len(re.findall(r"<tr><th>[^<]*</th><td>.*?</td></tr>", dom, re.S)) == 27,
            "firmware, hidden-capacity and signer rows after verification": re.search(r"<tr><th>Verification \(ベリファイ検証\)</th><td>.*?</td></tr>\s*"
                                                         r"<tr><th>Firmware sanitize \(ファームウェア消去\)</th><td><strong>"
                                                         r"None - NOT APPLICABLE</strong>[^<]*</td></tr>\s*"
                                                         r"<tr><th>Hidden capacity \(隠し領域 HPA/DCO\)</th><td><strong>"
                                                         r"(NOT APPLICABLE|UNKNOWN)</strong>[^<]*</td></tr>\s*"
                                                         r"<tr><th>Signer certificate", dom) is not None,
            "markup or external content": not re.search(r"<(b|script|img|link|iframe|object)\b", dom),
        }
        failures += [f"{stem}: {what}" for what, ok in checks.items() if not ok]
    print("".join(f"FAIL: {f}\n" for f in failures) + f"checked {len(CASES)} certificates, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

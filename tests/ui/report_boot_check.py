#!/usr/bin/env python3
"""The report window's stamp switch zeroes an image file and engraves it again under
Wine; the image is then booted under SeaBIOS and the screen must show that stamp's
certificate ID."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "stamp"))
import qemu_boot  # noqa: E402


def main(argv):
    wine_run, prefix, test_exe = argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "reengraved.img")
        env = dict(os.environ, MORVANE_REPORT_BOOT_IMAGE="Z:" + image.replace("/", "\\"))
        run = subprocess.run([wine_run, prefix, test_exe,
                              "--gtest_filter=ReportWindowTest.ReengravedImageForTheBootCheck"],
                             env=env, capture_output=True, text=True)
        print(run.stdout[-2000:])
        if run.returncode != 0 or not os.path.exists(image + ".certid"):
            print("FAIL: the stamp switch did not leave a re-engraved image")
            return 1
        cert_id = open(image + ".certid").read().strip()
        screen = qemu_boot.bios_screen(image, until=lambda s: cert_id in s.text(), timeout=30)
        print(screen.text())
        if cert_id not in screen.text():
            print("FAIL: certificate ID %s not on the BIOS screen" % cert_id)
            return 1
        print("OK: the re-engraved disk boots into its report (%s)" % cert_id)
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

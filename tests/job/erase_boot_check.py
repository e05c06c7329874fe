#!/usr/bin/env python3
"""A real-mode erase of an image file, then a SeaBIOS boot of that image: the
screen must show the run's own certificate ID."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "stamp"))
import qemu_boot  # noqa: E402


def main(argv):
    wine_run, prefix, test_exe = argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "erased.img")
        env = dict(os.environ, MORVANE_BOOT_IMAGE="Z:" + image.replace("/", "\\"))
        run = subprocess.run([wine_run, prefix, test_exe,
                              "--gtest_filter=EraseJobTest.StampedImageForTheBootCheck"],
                             env=env, capture_output=True, text=True)
        print(run.stdout[-2000:])
        if run.returncode != 0 or not os.path.exists(image + ".certid"):
            print("FAIL: the erase did not leave a stamped image")
            return 1
        cert_id = open(image + ".certid").read().strip()
        screen = qemu_boot.bios_screen(image, until=lambda s: cert_id in s.text(), timeout=30)
        print(screen.text())
        if cert_id not in screen.text():
            print("FAIL: certificate ID %s not on the BIOS screen" % cert_id)
            return 1
        print("OK: the erased disk boots into its own report (%s)" % cert_id)
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""image_boot_check.py WINE_RUN PREFIX TEST_EXE GTEST_TEST: boots under SeaBIOS the image that
the GoogleTest case writes to MORVANE_BOOT_IMAGE (with its certificate ID beside it, ".certid");
the screen must show that ID. Without the variable the case writes no image."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qemu_boot  # noqa: E402


def main(wine_run, prefix, test_exe, test):
    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "stamped.img")
        env = dict(os.environ, MORVANE_BOOT_IMAGE="Z:" + image.replace("/", "\\"))
        run = subprocess.run([wine_run, prefix, test_exe, "--gtest_filter=" + test], env=env, capture_output=True, text=True)
        print(run.stdout[-2000:])
        if run.returncode != 0 or not os.path.exists(image + ".certid"):
            return "FAIL: %s did not leave a stamped image" % test
        cert_id = open(image + ".certid").read().strip()
        screen = qemu_boot.bios_screen(image, until=lambda s: cert_id in s.text(), timeout=30)
        print(screen.text())
        return 0 if cert_id in screen.text() else "FAIL: certificate ID %s not on the BIOS screen" % cert_id


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))

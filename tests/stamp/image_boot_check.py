#!/usr/bin/env python3
"""Boots an image that a GoogleTest case stamped under Wine (the erase job, or the
report window's stamp switch) under SeaBIOS: the screen must show that stamp's own
certificate ID.

  image_boot_check.py WINE_RUN PREFIX TEST_EXE GTEST_TEST

The test case writes the image to the path in MORVANE_BOOT_IMAGE and the certificate
ID beside it (".certid"); it skips itself when the variable is not set.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qemu_boot  # noqa: E402


def main(argv):
    wine_run, prefix, test_exe, test = argv[1:5]
    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "stamped.img")
        env = dict(os.environ, MORVANE_BOOT_IMAGE="Z:" + image.replace("/", "\\"))
        run = subprocess.run([wine_run, prefix, test_exe, "--gtest_filter=" + test],
                             env=env, capture_output=True, text=True)
        print(run.stdout[-2000:])
        if run.returncode != 0 or not os.path.exists(image + ".certid"):
            print("FAIL: %s did not leave a stamped image" % test)
            return 1
        cert_id = open(image + ".certid").read().strip()
        screen = qemu_boot.bios_screen(image, until=lambda s: cert_id in s.text(), timeout=30)
        print(screen.text())
        if cert_id not in screen.text():
            print("FAIL: certificate ID %s not on the BIOS screen" % cert_id)
            return 1
        print("OK: the stamped image boots into its own report (%s)" % cert_id)
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Boots a disk image file in QEMU (SeaBIOS, OVMF x64, OVMF ia32) and reads back what
the machine shows: the 80x25 text screen through bios_screen(), or GOP screenshots and
the serial log through Machine.

Safety: the image is copied into a private temporary folder (and padded there with
a sparse tail so firmware sees the whole EFI partition); QEMU opens the copy with
snapshot=on, so no file is ever written by the guest. QEMU is started so that it
dies with this process (parent-death signal) and is always stopped by its PID.
"""
import ctypes
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

# LBA 64 + 8192 sectors: OVMF only mounts the EFI volume when the file covers it.
MIN_IMAGE_BYTES = 4227072
OVMF_DIR = "/usr/share/OVMF"
PR_SET_PDEATHSIG = 1


def _die_with_parent():
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Qmp:
    def __init__(self, path, deadline):
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if time.time() > deadline:
                    raise RuntimeError("QMP socket never came up")
                time.sleep(0.05)
        self.sock.settimeout(10)
        self.file = self.sock.makefile("rwb")
        self._read_reply(greeting=True)
        self.command("qmp_capabilities")

    def _read_reply(self, greeting=False):
        while True:
            line = self.file.readline()
            if not line:
                raise RuntimeError("QMP connection closed")
            msg = json.loads(line)
            if greeting and "QMP" in msg:
                return msg
            if "return" in msg:
                return msg["return"]
            if "error" in msg:
                raise RuntimeError("QMP error: %s" % msg["error"])

    def command(self, name, **arguments):
        request = {"execute": name}
        if arguments:
            request["arguments"] = arguments
        self.file.write(json.dumps(request).encode() + b"\n")
        self.file.flush()
        return self._read_reply()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


class Machine:
    """One QEMU run over a private copy of an image; use as a context manager."""

    def __init__(self, image, firmware="bios", gop=True, pad=True, timeout=60):
        self.dir = tempfile.mkdtemp(prefix="qb")  # short: unix sockets allow 108 bytes
        self.timeout = timeout
        self.serial = os.path.join(self.dir, "serial.log")
        disk = os.path.join(self.dir, "disk.img")
        shutil.copyfile(image, disk)
        if pad and os.path.getsize(disk) < MIN_IMAGE_BYTES:
            os.truncate(disk, MIN_IMAGE_BYTES)
        sock = os.path.join(self.dir, "q")
        common = ["-nodefaults", "-display", "none", "-nic", "none", "-no-reboot",
                  "-qmp", "unix:%s,server=on,wait=off" % sock,
                  "-serial", "file:%s" % self.serial, "-m", "256"]
        common += ["-vga", "std"] if gop else ["-vga", "none"]
        if firmware == "bios":
            cmd = ["qemu-system-x86_64", "-machine", "pc",
                   "-drive", "file=%s,format=raw,if=ide,snapshot=on" % disk]
        elif firmware == "uefi-x64":
            vars_copy = os.path.join(self.dir, "vars.fd")
            shutil.copyfile(os.path.join(OVMF_DIR, "OVMF_VARS_4M.fd"), vars_copy)
            cmd = ["qemu-system-x86_64", "-machine", "q35",
                   "-drive", "if=pflash,format=raw,readonly=on,file=%s/OVMF_CODE_4M.fd" % OVMF_DIR,
                   "-drive", "if=pflash,format=raw,file=%s" % vars_copy,
                   "-drive", "file=%s,format=raw,if=ide,snapshot=on" % disk]
        elif firmware == "uefi-ia32":
            vars_copy = os.path.join(self.dir, "vars.fd")
            shutil.copyfile(os.path.join(OVMF_DIR, "OVMF32_VARS_4M.fd"), vars_copy)
            cmd = ["qemu-system-i386", "-machine", "q35,smm=on",
                   "-global", "driver=cfi.pflash01,property=secure,value=on",
                   "-drive", "if=pflash,format=raw,readonly=on,file=%s/OVMF32_CODE_4M.secboot.fd" % OVMF_DIR,
                   "-drive", "if=pflash,format=raw,file=%s" % vars_copy,
                   "-drive", "file=%s,format=raw,if=ide,snapshot=on" % disk]
        else:
            raise ValueError(firmware)
        self.proc = subprocess.Popen(cmd + common, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, preexec_fn=_die_with_parent)
        self.start = time.time()
        try:
            self.qmp = Qmp(sock, self.start + 15)
        except Exception:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def elapsed(self):
        return time.time() - self.start

    def expired(self):
        return self.elapsed() > self.timeout

    def alive(self):
        return self.proc.poll() is None

    def serial_text(self):
        try:
            with open(self.serial, "rb") as f:
                return f.read().decode("latin-1")
        except OSError:
            return ""

    def read_memory(self, address, size):
        path = os.path.join(self.dir, "mem.bin")
        self.qmp.command("pmemsave", val=address, size=size, filename=path)
        with open(path, "rb") as f:
            return f.read()

    def screendump(self, path):
        self.qmp.command("screendump", filename=path)
        return read_ppm(path)

    def close(self):
        if getattr(self, "qmp", None):
            try:
                self.qmp.command("quit")
            except Exception:
                pass
            self.qmp.close()
            self.qmp = None
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class TextScreen:
    def __init__(self, raw, cursor_shape):
        self.chars = [bytes(raw[r * 160 + c * 2] for c in range(80)) for r in range(25)]
        self.attrs = [[raw[r * 160 + c * 2 + 1] for c in range(80)] for r in range(25)]
        self.lines = [row.decode("latin-1").rstrip(" \0") for row in self.chars]
        # BIOS data area 0x460: cursor end line, start line; start bit 5 hides it.
        self.cursor_hidden = bool(cursor_shape[1] & 0x20)

    def text(self):
        return "\n".join(self.lines)


def bios_screen(image, until=None, timeout=20, pad=True):
    """Boots under SeaBIOS and returns the text screen once `until(screen)` holds
    (by default: the screen stopped changing after showing something), or the last
    screen read when the time runs out."""
    with Machine(image, "bios", pad=pad, timeout=timeout) as m:
        previous = None
        screen = None
        while True:
            time.sleep(0.3)
            raw = m.read_memory(0xB8000, 4000)
            screen = TextScreen(raw, m.read_memory(0x460, 2))
            if until is not None:
                if until(screen):
                    return screen
            elif previous == raw and screen.text().strip() and m.elapsed() > 1.0:
                return screen
            previous = raw
            if m.expired() or not m.alive():
                return screen


def read_ppm(path):
    """A binary PPM as QEMU's screendump writes it: "P6", width, height, 255, then RGB."""
    with open(path, "rb") as f:
        data = f.read()
    magic, width, height = data.split(None, 3)[:3]
    if magic != b"P6":
        raise ValueError("not a binary PPM")
    width, height = int(width), int(height)
    return Picture(width, height, data[len(data) - width * height * 3:])


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        """0xRRGGBB, or -1 outside the picture (early frames are smaller)."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            return -1
        i = (y * self.width + x) * 3
        return (self.rgb[i] << 16) | (self.rgb[i + 1] << 8) | self.rgb[i + 2]

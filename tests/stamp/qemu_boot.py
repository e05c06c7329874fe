"""Boots a disk image file in QEMU (SeaBIOS, OVMF x64, OVMF ia32) and reads back what the
machine shows: the 80x25 text screen (bios_screen), GOP screenshots and the serial log.
Safety: QEMU opens, with snapshot=on, a copy in a private temporary folder (padded there so
firmware sees the whole EFI partition); it dies with this process and is stopped by its PID."""
import ctypes
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

MIN_IMAGE_BYTES = 4227072  # LBA 64 + 8192 sectors: OVMF mounts the volume only when covered
OVMF = "/usr/share/OVMF/"
# Per firmware: the QEMU command and the OVMF code and variable store images.
MACHINES = {"bios": (["qemu-system-x86_64", "-machine", "pc"], None, None),
            "uefi-x64": (["qemu-system-x86_64", "-machine", "q35"], "OVMF_CODE_4M.fd", "OVMF_VARS_4M.fd"),
            "uefi-ia32": (["qemu-system-i386", "-machine", "q35,smm=on", "-global",
                           "driver=cfi.pflash01,property=secure,value=on"], "OVMF32_CODE_4M.secboot.fd", "OVMF32_VARS_4M.fd")}


class Machine:
    """One QEMU run over a private copy of an image; use as a context manager."""

    def __init__(self, image, firmware="bios", gop=True, pad=True, timeout=60):
        self.dir = tempfile.mkdtemp(prefix="qb")  # short: unix sockets allow 108 bytes
        self.timeout, self.serial, self.qmp = timeout, os.path.join(self.dir, "serial.log"), None
        disk, sock = os.path.join(self.dir, "disk.img"), os.path.join(self.dir, "q")
        shutil.copyfile(image, disk)
        if pad and os.path.getsize(disk) < MIN_IMAGE_BYTES:
            os.truncate(disk, MIN_IMAGE_BYTES)
        cmd, code, vars_ = MACHINES[firmware]
        if code:
            shutil.copyfile(OVMF + vars_, os.path.join(self.dir, "vars.fd"))
            cmd = cmd + ["-drive", "if=pflash,format=raw,readonly=on,file=" + OVMF + code,
                         "-drive", "if=pflash,format=raw,file=" + os.path.join(self.dir, "vars.fd")]
        cmd = cmd + ["-drive", "file=%s,format=raw,if=ide,snapshot=on" % disk, "-nodefaults", "-display", "none",
                     "-nic", "none", "-no-reboot", "-qmp", "unix:%s,server=on,wait=off" % sock,
                     "-serial", "file:" + self.serial, "-m", "256", "-vga", "std" if gop else "none"]
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     preexec_fn=lambda: ctypes.CDLL("libc.so.6").prctl(1, signal.SIGKILL))  # PDEATHSIG
        self.start = time.time()
        try:
            self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            while self.sock.connect_ex(sock) != 0:  # until QEMU listens
                if self.elapsed() > 15:
                    raise RuntimeError("QMP socket never came up")
                time.sleep(0.05)
            self.sock.settimeout(10)
            self.qmp = self.sock.makefile("rwb")
            self.command("qmp_capabilities")
        except Exception:
            self.close()
            raise

    def command(self, name, **arguments):
        self.qmp.write(json.dumps({"execute": name, "arguments": arguments}).encode() + b"\n")
        self.qmp.flush()
        while True:  # skips the greeting and events
            line = self.qmp.readline()
            msg = json.loads(line) if line else {"error": "QMP connection closed"}
            if "error" in msg:
                raise RuntimeError("QMP error: %s" % msg["error"])
            if "return" in msg:
                return msg["return"]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def elapsed(self):
        return time.time() - self.start

    def running(self):
        return self.elapsed() <= self.timeout and self.proc.poll() is None

    def serial_text(self):
        try:
            with open(self.serial, "rb") as f:
                return f.read().decode("latin-1")
        except OSError:
            return ""

    def read_memory(self, address, size):
        self.command("pmemsave", val=address, size=size, filename=os.path.join(self.dir, "mem.bin"))
        with open(os.path.join(self.dir, "mem.bin"), "rb") as f:
            return f.read()

    def screendump(self, path):
        """The display as a Picture (QEMU writes a binary PPM: P6, width, height, 255, RGB)."""
        self.command("screendump", filename=path)
        with open(path, "rb") as f:
            data = f.read()
        return Picture(*(int(v) for v in data.split(None, 3)[1:3]), data)

    def close(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)  # by its PID; the copy is thrown away anyway
        self.proc.wait()
        if self.qmp:
            self.sock.close()
            self.qmp = None
        shutil.rmtree(self.dir, ignore_errors=True)


class TextScreen:
    def __init__(self, raw, cursor_shape):
        self.lines = [bytes(raw[r * 160:r * 160 + 160:2]).decode("latin-1").rstrip(" \0") for r in range(25)]
        self.attrs = [raw[r * 160 + 1:r * 160 + 160:2] for r in range(25)]
        self.cursor_hidden = bool(cursor_shape[1] & 0x20)  # BIOS data 0x460: start line bit 5

    def text(self):
        return "\n".join(self.lines)


def bios_screen(image, until, timeout=20, pad=True):
    """Boots under SeaBIOS; the text screen once `until(screen)` holds, or the last one read."""
    with Machine(image, "bios", pad=pad, timeout=timeout) as m:
        while True:
            time.sleep(0.3)
            screen = TextScreen(m.read_memory(0xB8000, 4000), m.read_memory(0x460, 2))
            if until(screen) or not m.running():
                return screen


class Picture:
    def __init__(self, width, height, ppm):
        self.width, self.height, self.rgb = width, height, ppm[len(ppm) - width * height * 3:]

    def pixel(self, x, y):
        """0xRRGGBB, or -1 outside the picture (early frames are smaller)."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            return -1
        return int.from_bytes(self.rgb[(y * self.width + x) * 3:(y * self.width + x) * 3 + 3], "big")

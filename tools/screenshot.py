#!/usr/bin/env python3
"""README screenshot: the calculator's real window with an answer, under a private Xvfb, as a PNG.

Usage: tools/screenshot.py BRIGHTNESS_BINARY OUT.png   (make screenshot writes docs/screenshot.png)

Starts Xvfb, runs the calculator there at its plain 640 x 400 size, types 550 and Enter
with xdotool, waits until END's prompt is drawn on the bottom row, grabs the window with
xwd and writes it as a PNG (the standard library's zlib; no image package needed).
"""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib


def start_server():
    """Xvfb on a free display number, told back through -displayfd."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            sys.exit("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return server, ":" + number.decode().strip()


def xwd_pixels(data):
    """(width, height, rows of (r, g, b)) from an xwd dump of a 24/32-bit ZPixmap."""
    header = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    red_mask, green_mask, blue_mask = header[14:17]
    colormap_entries = header[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32:
        sys.exit("unexpected xwd image: version %d, format %d, %d bits" % (version, pixmap_format, bits_per_pixel))
    start = header_size + colormap_entries * 12
    order = ">I" if byte_order else "<I"

    def channel(value, mask):
        shift = (mask & -mask).bit_length() - 1
        return ((value & mask) >> shift) * 255 // (mask >> shift)

    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
        rows.append([tuple(channel(v, m) for m in (red_mask, green_mask, blue_mask))
                     for (v,) in struct.iter_unpack(order, line)])
    return width, height, rows


def png_bytes(width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[2])
    program, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    server, display = start_server()
    env = dict(os.environ, DISPLAY=display, GDK_SCALE="1", NO_AT_BRIDGE="1")
    calculator = None
    try:
        calculator = subprocess.Popen([program], env=env)
        window = subprocess.run(["xdotool", "search", "--sync", "--name", "^Untitled$"], env=env, check=True,
                                capture_output=True, text=True).stdout.split()[0]
        # Wholly on the screen (a toolkit window at the default place starts at -1, -1).
        subprocess.run(["xdotool", "windowmove", "--sync", window, "10", "10"], env=env, check=True)
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
        subprocess.run(["xdotool", "type", "--delay", "50", "550"], env=env, check=True)
        subprocess.run(["xdotool", "key", "Return"], env=env, check=True)
        with tempfile.TemporaryDirectory() as scratch:
            dump = os.path.join(scratch, "window.xwd")
            for _ in range(200):
                time.sleep(0.05)
                subprocess.run(["xwd", "-id", window, "-silent", "-out", dump], env=env, check=True)
                width, height, rows = xwd_pixels(open(dump, "rb").read())
                # END's prompt stands on the bottom text row once the answer is drawn.
                if any(pixel != (0, 0, 0) for row in rows[height - 16:] for pixel in row):
                    break
            else:
                sys.exit("the answer never appeared")
        with open(out, "wb") as f:
            f.write(png_bytes(width, height, rows))
        subprocess.run(["xdotool", "key", "space"], env=env, check=True)
        calculator.wait(timeout=10)
    finally:
        if calculator and calculator.poll() is None:
            calculator.kill()
        server.terminate()
        server.wait()
    print("wrote %s (%d x %d)" % (out, width, height))


if __name__ == "__main__":
    main()

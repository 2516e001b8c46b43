#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A local feed for resource runs: answers /v2/point/... with COUNT aircraft built from the
records of tests/fixtures/aggregator-point.json, spread over the radius around home, and
serves plain map tiles at /tiles/{z}/{x}/{y}.png.

With --move every aircraft flies a circle round home at its own speed, so each poll finds
every one somewhere else; without it the answer is the same every time.

Prints the port it listens on, then serves until killed."""

import argparse
import copy
import http.server
import json
import math
import random
import struct
import sys
import threading
import time
import zlib

EARTH_NM = 3440.065


def destination(lat, lon, bearing_deg, distance_nm):
    """The point distance_nm from (lat, lon) along bearing_deg, on a sphere."""
    d = distance_nm / EARTH_NM
    b = math.radians(bearing_deg)
    p1 = math.radians(lat)
    l1 = math.radians(lon)
    p2 = math.asin(math.sin(p1) * math.cos(d) + math.cos(p1) * math.sin(d) * math.cos(b))
    l2 = l1 + math.atan2(math.sin(b) * math.sin(d) * math.cos(p1),
                         math.cos(d) - math.sin(p1) * math.sin(p2))
    return math.degrees(p2), (math.degrees(l2) + 540.0) % 360.0 - 180.0


def png(width, height, rgb_at):
    rows = b"".join(b"\x00" + bytes(c for x in range(width) for c in rgb_at(x, y))
                    for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


class Sky:
    def __init__(self, fixture, count, home, radius_nm, move):
        with open(fixture, encoding="utf-8") as f:
            samples = json.load(f)["ac"]
        rng = random.Random(1)
        self.home = home
        self.move = move
        self.started = time.monotonic()
        self.aircraft = []
        for i in range(count):
            record = copy.deepcopy(samples[i % len(samples)])
            record["hex"] = "%06x" % (0xA00000 + i)
            record["seen_pos"] = 0.5
            record["seen"] = 0.5
            if isinstance(record.get("alt_baro"), str):
                record["alt_baro"] = 1500 + rng.randrange(38000)
            record["gs"] = 120.0 + rng.random() * 350.0
            self.aircraft.append({
                "record": record,
                # Polar place round home, and which way round it flies.
                "distance": math.sqrt(rng.random()) * radius_nm * 0.95 + 0.5,
                "bearing": rng.random() * 360.0,
                "sense": 1.0 if rng.random() < 0.5 else -1.0,
            })
        self.lock = threading.Lock()

    def answer(self):
        elapsed = time.monotonic() - self.started if self.move else 0.0
        records = []
        for a in self.aircraft:
            record = dict(a["record"])
            # Degrees round home flown since the start: speed over circumference.
            turned = a["sense"] * record["gs"] * elapsed / 3600.0 / (2 * math.pi * a["distance"]) * 360.0
            bearing = (a["bearing"] + turned) % 360.0
            lat, lon = destination(self.home[0], self.home[1], bearing, a["distance"])
            record["lat"] = round(lat, 6)
            record["lon"] = round(lon, 6)
            record["track"] = round((bearing + 90.0 * a["sense"]) % 360.0, 2)
            record["dst"] = round(a["distance"], 3)
            records.append(record)
        now = time.time() * 1000.0
        return json.dumps({"ac": records, "msg": "No error", "now": now, "total": len(records),
                           "ctime": now, "ptime": 1}, separators=(",", ":")).encode()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--fixture", required=True)
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--home", default="45.5,-122.6")
    parser.add_argument("--radius", type=float, default=60.0)
    parser.add_argument("--move", action="store_true")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    home = tuple(float(v) for v in args.home.split(","))
    sky = Sky(args.fixture, args.count, home, args.radius, args.move)
    tiles = {}
    counts = {"feed": 0, "tiles": 0}

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *unused):
            pass

        def reply(self, body, kind, status=200):
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "max-age=86400")
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            if self.path.startswith("/v2/point/"):
                counts["feed"] += 1
                self.reply(sky.answer(), "application/json")
            elif self.path.startswith("/tiles/"):
                counts["tiles"] += 1
                parts = self.path.split("/")
                try:
                    z, x, y = int(parts[2]), int(parts[3]), int(parts[4].split(".")[0])
                except (IndexError, ValueError):
                    self.reply(b"", "text/plain", 404)
                    return
                key = (z, x, y)
                if key not in tiles:
                    shade = 200 + (x * 7 + y * 13) % 40
                    tiles[key] = png(256, 256, lambda px, py: (
                        (170, 190, 200) if px % 64 == 0 or py % 64 == 0 else (shade, shade - 6, shade - 16)))
                self.reply(tiles[key], "image/png")
            elif self.path == "/stats":
                self.reply(json.dumps(counts).encode(), "application/json")
            else:
                self.reply(b"not here", "text/plain", 404)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())

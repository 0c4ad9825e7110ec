"""Writes the hand-made logs of the golden cases into the folder given as the argument."""
import os
import struct
import sys

MARKER = b"\xaa\x55"
BIAS = [6, 2, 2, 6]
TELM = [56, 56, 63, 63]


def base(alt=1000, baro=2992, asi=90, tas=98, vsi=-120, gs=12, rotor=0x8005, mv=141, bv=127,
         amps=-35, aoa=4, oat=-7):
    return struct.pack("<ihhhhhHBBhhh", alt, baro, asi, tas, vsi, gs, rotor, mv, bv, amps, aoa, oat)


def section(sid, body):
    return bytes([sid, len(body)]) + body


def attitude():
    return section(3, struct.pack("<hhhhHbBh", -15, 4, 1, 271, 2, 11, 5, 12))


def telm(layout, sid=1):
    body = struct.pack("<15H", 2450, 11, 12, 21, 22, 1025, 245, 31, 32, 187, 185, 652, 0, 0, 0)
    body = body[:24] + struct.pack("<hBB", -3, 52, 7) + struct.pack("<12H", *range(1301, 1313))
    body += struct.pack("<5HB", 41, 42, 43, 44, 45, 46) if TELM[layout] == 63 else struct.pack(
        "<HBB", 45, 46, 47)
    return section(sid, body)


def body(layout, ts, payload, offset_byte=28):
    return bytes([len(payload) + BIAS[layout], offset_byte]) + struct.pack("<I", ts) + payload


def record(layout, ts, payload=None, offset_byte=28):
    return MARKER + body(layout, ts, base() if payload is None else payload, offset_byte)


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def bad_packets():
    log = bytes(range(1, 161)) * 16  # 2560 bytes before the first marker: two progress dots
    log += record(0, 100)
    log += MARKER  # an empty packet
    log += MARKER + b"\x01\x02\x03"  # a packet too short to be a record
    log += MARKER + bytes(20)  # too short for a payload
    log += record(0, 101)
    log += MARKER + body(0, 1, base())[:-1] + b"\xaa\x01\x02"  # a lone 0xAA, the length is off
    log += MARKER + bytes(1200)  # longer than the packet buffer
    log += record(0, 102, base() + attitude())  # another set of sections: a warning
    log += MARKER + body(1, 103, base() + telm(1, 2) + telm(1, 1))  # sections out of order
    log += record(1, 104, base(alt=-5) + b"\x00\x00" + attitude(), offset_byte=30)
    # The section offset byte 2 points into the timestamp, where an engine-monitor section starts:
    # its body is the payload.
    log += record(1, 0x38010000 + 105, telm(1)[2:], offset_byte=2)
    log += MARKER + body(1, 106, base())[:20]  # a record cut short by the end of the file
    return log


def split_records():
    log = b""
    # The timestamp bytes 00 AA 55 12 hold a start marker.
    log += record(1, 0x1255AA00)
    # Three pairs inside the payload: four packets.
    pairs3 = base(alt=0x0055AA00, baro=0x55AA, asi=0x55AA)
    log += record(2, 0x13000001, pairs3)
    # Four pairs: five packets.
    pairs4 = base(alt=0x0055AA00, baro=0x55AA, asi=0x55AA, tas=0x55AA)
    log += record(2, 0x13000002, pairs4)
    # A 3-byte packet (the head of a record split by its timestamp), a whole record, then the
    # rest of the split one.
    split = body(1, 0x1355AA07, base())
    log += MARKER + split[:3] + record(1, 0x13000010) + MARKER + split[5:]
    # A split record at the end of the file.
    log += record(3, 0x13600000, base(alt=0x0055AA00) + attitude())
    return log


def gps(lat, lon, layout=1):
    body = struct.pack("<ffiii", lat, lon, 90, 100, 1500)
    return section(4, body + (struct.pack("<bbbb", 3, 9, 4, 6) if layout > 0 else b""))


def flights():
    """Three flights at the default gap of 300 s (four at 100 s): dated with an engine monitor and
    GPS (one record without a fix), then raw with GPS only, then dated with the base payload only,
    whose last five records follow a pause of 200 s."""
    log = b""
    t = 834750000
    for i in range(4):
        fix = (0.0, 0.0) if i == 2 else (47.5 + i * 0.01, 122.25)
        log += record(2, t + i, base(alt=1000 + 100 * i, asi=90 + i) + telm(2) + gps(*fix))
    t += 3 + 600
    for i in range(3):
        log += record(1, t + i, base(alt=2000 - 10 * i) + gps(47.6, 122.3 + i * 0.01))
    t += 2 + 301
    for i in range(2):
        log += record(2, t + i, base(alt=500 + i))
    t += 1 + 200
    for i in range(2):
        log += record(2, t + i, base(alt=600 + i))
    return log


def tracks():
    """GPS of every kind: dated fixes with one record without a fix (zeros) and one beyond the
    earth's coordinates; raw fixes with a negative satellite count; a flight of one fix; layout 0
    (no satellite count); and a flight without GPS."""
    log = b""
    t = 834760000
    for i, fix in enumerate([(46.1, 121.1), (0.0, 0.0), (46.11, 121.1), (95.0, 121.1), (46.12, 121.11)]):
        log += record(2, t + i, base(alt=3000 + i) + telm(2) + gps(*fix))
    t += 1000
    for i in range(3):
        body = struct.pack("<ffiii", 46.2, 121.2 + i * 0.01, 90, 100, 2000 + i) + struct.pack("<bbbb", 1, -1, 4, 6)
        log += record(1, t + i, base() + section(4, body))
    t += 1000
    log += record(2, t, base() + telm(2) + gps(46.3, 121.3))
    t += 1000
    for i in range(2):
        log += record(0, t + i, base() + gps(46.4, 121.4 + i * 0.01, layout=0))
    t += 1000
    for i in range(2):
        log += record(2, t + i, base() + telm(2))
    return log


def main():
    folder = sys.argv[1]
    write(folder, "bad-packets.rec", bad_packets())
    write(folder, "split.rec", split_records())
    write(folder, "flights.rec", flights())
    write(folder, "tracks.rec", tracks())
    write(folder, "zero-stamps.rec", record(2, 0) * 3)
    write(folder, "ones-stamps.rec", record(3, 0xFFFFFFFF, base() + telm(3)) * 2)
    write(folder, "empty.rec", b"")
    write(folder, "no-records.rec", bytes(900) + MARKER + b"\x05\x06" + MARKER + bytes(25))


main()

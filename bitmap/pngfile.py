# Just enough of PNG and ICO for the pictures: read what rsvg-convert writes (8-bit RGB or RGBA,
# not interlaced), write plain RGB pictures, and pack an icon of several sizes. The standard
# library only, so the build needs nothing beyond Python itself.
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_rgba(data):
    """Returns (width, height, pixels): pixels is a list of (r, g, b, a) rows."""
    if data[:8] != SIGNATURE:
        raise ValueError("not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("only 8-bit RGB or RGBA pictures without interlacing are read")
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                corner = previous[i - channels] if i >= channels else 0
                line[i] = (line[i] + _paeth(left, up, corner)) & 0xFF
        previous = line
        if channels == 4:
            rows.append([tuple(line[x:x + 4]) for x in range(0, stride, 4)])
        else:
            rows.append([tuple(line[x:x + 3]) + (255,) for x in range(0, stride, 3)])
    return width, height, rows


def _chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_rgb(width, height, rows):
    """PNG bytes of opaque (r, g, b) rows: no alpha, so the library's magenta mask is the only
    transparency and every toolkit draws the picture the same way."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))


def write_ico(images):
    """ICO bytes from [(size, rgba rows)]: 32-bit entries with their alpha, plus the 1-bit mask
    that older readers use."""
    header = struct.pack("<HHH", 0, 1, len(images))
    directory, bodies = b"", b""
    offset = 6 + 16 * len(images)
    for size, rows in images:
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a < 128:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        body = info + colour + bytes(mask)
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset)
        bodies += body
        offset += len(body)
    return header + directory + bodies

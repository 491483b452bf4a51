#!/usr/bin/env python3
"""Points the context map of a compiled help file at the topics inside it.

chmcmd stores the target of every context alias as the topic's path on the build machine
("/build/dir/topic.htm") instead of its path inside the file ("/topic.htm"), so a help request
by context number finds no topic. This rewrites the #STRINGS table: each such string becomes
the inner path, padded with NUL bytes to its old length so that every offset into the table
stays valid. The new table is appended to the uncompressed section and its directory entry
moved there; the compressed copy is left unused.

usage: chmfix.py FILE.chm BUILD_DIR_PREFIX EXTRACT_CHMLIB
"""
import os
import struct
import subprocess
import sys
import tempfile


def read_encint(buf, pos):
    value = 0
    while True:
        b = buf[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            return value, pos


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def fixed_strings(table, prefix):
    out = bytearray(table)
    count = 0
    start = 0
    while start < len(table):
        end = table.find(b"\0", start)
        if end < 0:
            end = len(table)
        text = table[start:end]
        if text.startswith(prefix):
            inner = b"/" + text[len(prefix):]
            out[start:end] = inner + b"\0" * (len(text) - len(inner))
            count += 1
        start = end + 1
    return bytes(out), count


def main():
    path, prefix, extractor = sys.argv[1], sys.argv[2].encode(), sys.argv[3]
    if not prefix.endswith(b"/"):
        prefix += b"/"
    with tempfile.TemporaryDirectory() as scratch:
        subprocess.run([extractor, path, scratch], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(scratch, "#STRINGS"), "rb") as f:
            table = f.read()
    table, count = fixed_strings(table, prefix)
    if count == 0:
        return 0

    data = bytearray(open(path, "rb").read())
    if data[:4] != b"ITSF":
        sys.exit("chmfix: not a compiled help file: " + path)
    version = struct.unpack_from("<I", data, 4)[0]
    hs0_off, _, dir_off, dir_len = struct.unpack_from("<QQQQ", data, 0x38)
    content_off = struct.unpack_from("<Q", data, 0x58)[0] if version >= 3 else dir_off + dir_len
    if data[dir_off:dir_off + 4] != b"ITSP":
        sys.exit("chmfix: no directory in " + path)
    itsp_len, _, chunk_size = struct.unpack_from("<III", data, dir_off + 8)
    chunk_count = struct.unpack_from("<I", data, dir_off + 0x2C)[0]

    new_offset = len(data) - content_off
    for c in range(chunk_count):
        chunk = dir_off + itsp_len + c * chunk_size
        if data[chunk:chunk + 4] != b"PMGL":
            continue
        free = struct.unpack_from("<I", data, chunk + 4)[0]
        end = chunk + chunk_size - free
        pos = chunk + 0x14
        starts = []
        while pos < end:
            entry = pos
            starts.append(entry - chunk)
            length, pos = read_encint(data, pos)
            name = bytes(data[pos:pos + length])
            pos += length
            section, pos = read_encint(data, pos)
            offset, pos = read_encint(data, pos)
            size, pos = read_encint(data, pos)
            if name != b"/#STRINGS":
                continue
            if size != len(table):
                sys.exit("chmfix: #STRINGS is %d bytes, expected %d" % (size, len(table)))
            new = encint(length) + name + encint(0) + encint(new_offset) + encint(size)
            delta = len(new) - (pos - entry)
            entry_count = struct.unpack_from("<H", data, chunk + chunk_size - 2)[0]
            # The entries behind this one, to rebuild the quickref area: one word per n-th
            # entry, its offset from the start of the entries, written backwards before the
            # entry count.
            while pos < end:
                starts.append(pos - chunk)
                length2, pos = read_encint(data, pos)
                pos += length2
                for _ in range(3):
                    _, pos = read_encint(data, pos)
            n = 1 + (1 << struct.unpack_from("<I", data, dir_off + 0x14)[0])
            rel_starts = [x - 0x14 for x in starts]
            quick_old = [rel_starts[i] for i in range(n - 1, len(rel_starts), n)]
            stored = [struct.unpack_from("<H", data, chunk + chunk_size - 4 - 2 * i)[0]
                      for i in range(len(quick_old))]
            if entry_count != len(starts) or stored != quick_old:
                sys.exit("chmfix: unexpected directory layout in " + path)
            rel = entry - chunk - 0x14
            body = bytes(data[chunk + 0x14:end])
            body = body[:rel] + new + body[rel + (len(new) - delta):]
            quick = [w + delta if w > rel else w for w in quick_old]
            if 0x14 + len(body) + 2 * len(quick) + 2 > chunk_size:
                sys.exit("chmfix: no room in the directory chunk")
            new_free = chunk_size - 0x14 - len(body)
            block = bytearray(chunk_size)
            block[:0x14] = data[chunk:chunk + 0x14]
            struct.pack_into("<I", block, 4, new_free)
            block[0x14:0x14 + len(body)] = body
            struct.pack_into("<H", block, chunk_size - 2, entry_count)
            for i, w in enumerate(quick):
                struct.pack_into("<H", block, chunk_size - 4 - 2 * i, w)
            data[chunk:chunk + chunk_size] = block
            data += table
            struct.pack_into("<Q", data, hs0_off + 8, len(data))
            with open(path + ".tmp", "wb") as f:
                f.write(data)
            os.replace(path + ".tmp", path)
            return 0
    sys.exit("chmfix: no #STRINGS entry in " + path)


if __name__ == "__main__":
    sys.exit(main())

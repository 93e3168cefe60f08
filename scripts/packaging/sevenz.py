"""Reads the header of a 7z archive: its items (path as stored, folder flag,
size) and the coders of every block, including those of a packed header.
Only what the package rules need; the data itself is never unpacked here."""
import lzma
import struct
import zlib
from dataclasses import dataclass, field

SIGNATURE = bytes.fromhex("377ABCAF271C")
AES = 0x06F10701
LZMA = 0x030101


class ArchiveError(Exception):
    """The file is a 7z archive whose header cannot be read."""


@dataclass
class Item:
    path: str
    is_folder: bool
    size: int


@dataclass
class Archive:
    items: list = field(default_factory=list)
    coders: set = field(default_factory=set)  # method ids of every data block
    header_coders: set = field(default_factory=set)  # method ids of the packed header, if packed


class _Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def byte(self):
        if self.pos >= len(self.data):
            raise ArchiveError("header ends early")
        self.pos += 1
        return self.data[self.pos - 1]

    def take(self, n):
        if n < 0 or self.pos + n > len(self.data):
            raise ArchiveError("header ends early")
        self.pos += n
        return self.data[self.pos - n:self.pos]

    def number(self):
        # 7z's variable-length integer: leading one bits of the first byte
        # tell how many little-endian bytes follow.
        first, mask, value = self.byte(), 0x80, 0
        for i in range(8):
            if not first & mask:
                return value | ((first & (mask - 1)) << (8 * i))
            value |= self.byte() << (8 * i)
            mask >>= 1
        return value

    def bits(self, count):
        all_defined = self.byte()
        return [True] * count if all_defined else self.raw_bits(count)

    def raw_bits(self, count):
        out, byte, mask = [], 0, 0
        for _ in range(count):
            if not mask:
                byte, mask = self.byte(), 0x80
            out.append(bool(byte & mask))
            mask >>= 1
        return out


@dataclass
class _Folder:
    coders: list  # (method id, properties, in streams, out streams)
    bind_out: set
    unpack_sizes: list = field(default_factory=list)
    has_digest: bool = False

    def final_size(self):
        outs = sum(c[3] for c in self.coders)
        for i in range(outs):
            if i not in self.bind_out:
                return self.unpack_sizes[i]
        raise ArchiveError("block without a final output")


def _folder(r):
    coders = []
    for _ in range(r.number()):
        flags = r.byte()
        method = int.from_bytes(r.take(flags & 0x0F), "big")
        ins, outs = (r.number(), r.number()) if flags & 0x10 else (1, 1)
        props = r.take(r.number()) if flags & 0x20 else b""
        coders.append((method, props, ins, outs))
    if not coders or len(coders) > 64:
        raise ArchiveError("bad coder count")
    total_out = sum(c[3] for c in coders)
    total_in = sum(c[2] for c in coders)
    bind_out = set()
    for _ in range(total_out - 1):
        r.number()
        bind_out.add(r.number())
    packed = total_in - (total_out - 1)
    if packed > 1:
        for _ in range(packed):
            r.number()
    return _Folder(coders, bind_out)


def _streams_info(r):
    """PackInfo, UnpackInfo and SubStreamsInfo: (pack position, pack sizes,
    folders, sizes of the streams inside the folders)."""
    pack_pos, pack_sizes, folders, sub_sizes = 0, [], [], None
    prop = r.byte()
    if prop == 0x06:
        pack_pos, count = r.number(), r.number()
        while (prop := r.byte()) != 0x00:
            if prop == 0x09:
                pack_sizes = [r.number() for _ in range(count)]
            elif prop == 0x0A:
                defined = r.bits(count)
                r.take(4 * sum(defined))
            else:
                raise ArchiveError("bad pack info")
        prop = r.byte()
    if prop == 0x07:
        if r.byte() != 0x0B:
            raise ArchiveError("bad unpack info")
        count = r.number()
        if r.byte() != 0:
            raise ArchiveError("external folders")
        folders = [_folder(r) for _ in range(count)]
        if r.byte() != 0x0C:
            raise ArchiveError("bad unpack info")
        for f in folders:
            f.unpack_sizes = [r.number() for _ in range(sum(c[3] for c in f.coders))]
        while (prop := r.byte()) != 0x00:
            if prop == 0x0A:
                defined = r.bits(len(folders))
                r.take(4 * sum(defined))
                for f, d in zip(folders, defined):
                    f.has_digest = d
            else:
                raise ArchiveError("bad unpack info")
        prop = r.byte()
    if prop == 0x08:
        counts = [1] * len(folders)
        prop = r.byte()
        if prop == 0x0D:
            counts = [r.number() for _ in folders]
            prop = r.byte()
        sub_sizes = []
        for f, n in zip(folders, counts):
            if n == 0:
                continue
            sizes = [r.number() for _ in range(n - 1)] if prop == 0x09 else []
            sub_sizes += sizes + [f.final_size() - sum(sizes)]
        if prop == 0x09:
            prop = r.byte()
        while prop != 0x00:
            if prop == 0x0A:
                # Digests of the streams whose block digest does not cover them.
                unknown = sum(n for f, n in zip(folders, counts) if n != 1 or not f.has_digest)
                defined = r.bits(unknown)
                r.take(4 * sum(defined))
            else:
                raise ArchiveError("bad substreams info")
            prop = r.byte()
        prop = r.byte()
    if prop != 0x00:
        raise ArchiveError("bad streams info")
    if sub_sizes is None:
        sub_sizes = [f.final_size() for f in folders]
    return pack_pos, pack_sizes, folders, sub_sizes


def _unpack_header(data, r):
    """The packed header: LZMA only, as every 7-Zip writes it."""
    pack_pos, pack_sizes, folders, _ = _streams_info(r)
    if len(folders) != 1 or not pack_sizes:
        raise ArchiveError("bad packed header")
    folder = folders[0]
    methods = {c[0] for c in folder.coders}
    if AES in methods:
        return None, methods
    if len(folder.coders) != 1 or folder.coders[0][0] != LZMA:
        raise ArchiveError("header packed with a method other than LZMA")
    props = folder.coders[0][1]
    if len(props) != 5:
        raise ArchiveError("bad LZMA properties")
    lc, rest = props[0] % 9, props[0] // 9
    lp, pb = rest % 5, rest // 5
    start = 32 + pack_pos
    packed = data[start:start + pack_sizes[0]]
    dec = lzma.LZMADecompressor(lzma.FORMAT_RAW, filters=[{
        "id": lzma.FILTER_LZMA1, "lc": lc, "lp": lp, "pb": pb,
        "dict_size": struct.unpack("<I", props[1:])[0]}])
    try:
        header = dec.decompress(packed, folder.unpack_sizes[0])
    except lzma.LZMAError as e:
        raise ArchiveError(f"packed header: {e}") from None
    if len(header) != folder.unpack_sizes[0]:
        raise ArchiveError("packed header too short")
    return header, methods


def _files(r, sizes):
    count = r.number()
    empty_stream = [False] * count
    empty_file = []
    names = None
    attributes = [None] * count
    while (prop := r.byte()) != 0x00:
        size = r.number()
        body = _Reader(r.take(size))
        if prop == 0x0E:
            empty_stream = body.raw_bits(count)
        elif prop == 0x0F:
            empty_file = body.raw_bits(sum(empty_stream))
        elif prop == 0x11:
            if body.byte() != 0:
                raise ArchiveError("external names")
            text = body.data[1:].decode("utf-16-le", "surrogatepass")
            names = text.split("\0")[:-1]
            if len(names) != count:
                raise ArchiveError("name count differs from item count")
        elif prop == 0x15:
            defined = body.bits(count)
            if body.byte() != 0:
                raise ArchiveError("external attributes")
            for i, d in enumerate(defined):
                if d:
                    attributes[i] = struct.unpack("<I", body.take(4))[0]
    if names is None and count:
        raise ArchiveError("items without names")
    items, stream, empty = [], 0, 0
    for i in range(count):
        if empty_stream[i]:
            is_file = empty < len(empty_file) and empty_file[empty]
            empty += 1
            is_folder = not is_file
            size = 0
        else:
            if stream >= len(sizes):
                raise ArchiveError("more items than streams")
            is_folder, size = False, sizes[stream]
            stream += 1
        if attributes[i] is not None and attributes[i] & 0x10:
            is_folder = True
        items.append(Item(names[i], is_folder, size))
    return items


def read(path):
    """The archive's items and coders; None when the file is not a 7z archive."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:6] != SIGNATURE:
        return None
    if len(data) < 32 or zlib.crc32(data[12:32]) != struct.unpack_from("<I", data, 8)[0]:
        raise ArchiveError("start header damaged")
    offset, size, crc = struct.unpack_from("<QQI", data, 12)
    archive = Archive()
    if size == 0:
        return archive
    header = data[32 + offset:32 + offset + size]
    if len(header) != size or zlib.crc32(header) != crc:
        raise ArchiveError("header damaged or archive cut short")
    r = _Reader(header)
    prop = r.byte()
    while prop == 0x17:
        header, archive.header_coders = _unpack_header(data, r)
        if header is None:
            return archive
        r = _Reader(header)
        prop = r.byte()
    if prop != 0x01:
        raise ArchiveError("no header")
    prop = r.byte()
    if prop == 0x02:
        while r.byte() != 0x00:
            r.take(r.number())
        prop = r.byte()
    if prop == 0x03:
        _streams_info(r)
        prop = r.byte()
    sizes = []
    if prop == 0x04:
        _, _, folders, sizes = _streams_info(r)
        archive.coders = {c[0] for f in folders for c in f.coders}
        prop = r.byte()
    if prop == 0x05:
        archive.items = _files(r, sizes)
        prop = r.byte()
    if prop != 0x00:
        raise ArchiveError("bad header end")
    return archive

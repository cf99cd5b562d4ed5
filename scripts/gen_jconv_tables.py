#!/usr/bin/env python3
"""Generate MakeCommon/comjconv_tables.cpp, the JIS/UCS tables of comjconv.

Source of the character sets: the C library's iconv(3) converters (glibc),
called through ctypes, so the tables follow the sets glibc ships:
  - JIS X 0208 rows 0x21-0x74 from "EUC-JP" (bytes = JIS + 0x80),
  - the vendor row 0x2D from "CP932" 0x8740-0x879C,
  - the vendor-selected rows 0x79-0x7C from "CP932" 0xED40-0xEEFC,
  - the extension rows 0x93-0x97 from "CP932" 0xFA40-0xFC4B.
Shift_JIS codes are turned into JIS pairs by the plain Shift_JIS arithmetic.
Python standard library only. Run once and check the output in:

    python3 scripts/gen_jconv_tables.py > MakeCommon/comjconv_tables.cpp
"""

import ctypes
import ctypes.util
import sys

_libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p,
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
_libc.iconv_close.argtypes = [ctypes.c_void_p]


class Decoder:
    """Decodes one character of a multibyte set to a code point, or None."""

    def __init__(self, charset):
        self.cd = _libc.iconv_open(b"UTF-32BE", charset.encode())
        if self.cd in (None, ctypes.c_void_p(-1).value):
            sys.exit("iconv_open failed for " + charset)

    def decode(self, data):
        _libc.iconv(self.cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        outbuf = ctypes.create_string_buffer(16)
        inp = ctypes.c_char_p(ctypes.addressof(inbuf))
        outp = ctypes.c_char_p(ctypes.addressof(outbuf))
        inleft = ctypes.c_size_t(len(data))
        outleft = ctypes.c_size_t(16)
        rc = _libc.iconv(self.cd, ctypes.byref(inp), ctypes.byref(inleft),
                         ctypes.byref(outp), ctypes.byref(outleft))
        if rc == ctypes.c_size_t(-1).value or inleft.value != 0 or outleft.value != 12:
            return None
        return int.from_bytes(outbuf.raw[:4], "big")


def sjis_to_jis(lead, trail):
    adjust = 1 if trail <= 0x9E else 0
    high = (lead - (0x70 if lead <= 0x9F else 0xB0)) * 2 - adjust
    if adjust:
        low = trail - 0x1F if trail < 0x80 else trail - 0x20
    else:
        low = trail - 0x7E
    return high, low


def sjis_range(first, last):
    for code in range(first, last + 1):
        trail = code & 0xFF
        if 0x40 <= trail <= 0xFC and trail != 0x7F:
            yield code


def main():
    euc = Decoder("EUC-JP")
    cp932 = Decoder("CP932")

    # JIS X 0208 in row and cell order.
    moved = {0x2140, 0x2141, 0x2142, 0x215D, 0x2171, 0x2172, 0x224C}
    main_rows = []
    row_counts = {}
    for high in range(0x21, 0x7F):
        for low in range(0x21, 0x7F):
            ucs = euc.decode(bytes([high | 0x80, low | 0x80]))
            if ucs is None:
                continue
            assert 0x21 <= high <= 0x28 or 0x30 <= high <= 0x74, hex(high)
            if (high << 8 | low) in moved:
                continue
            main_rows.append((high, low, ucs))
            row_counts[high] = row_counts.get(high, 0) + 1
    assert len(main_rows) == 6872, len(main_rows)

    main_ucs = {u for _, _, u in main_rows}

    # Vendor row 0x2D.
    row2d = []
    for code in sjis_range(0x8740, 0x879C):
        ucs = cp932.decode(bytes([code >> 8, code & 0xFF]))
        if ucs is not None:
            high, low = sjis_to_jis(code >> 8, code & 0xFF)
            assert high == 0x2D
            row2d.append((high, low, ucs))
    assert len(row2d) == 83, len(row2d)
    row2d_by_jis = {(h << 8 | l): u for h, l, u in row2d}

    # Vendor-selected rows 0x79-0x7C (0xEEF9 left out).
    nec_sel = []
    for code in sjis_range(0xED40, 0xEEFC):
        ucs = cp932.decode(bytes([code >> 8, code & 0xFF]))
        if ucs is None:
            continue
        high, low = sjis_to_jis(code >> 8, code & 0xFF)
        assert 0x79 <= high <= 0x7C
        nec_sel.append((code, high, low, ucs))
    assert len(nec_sel) == 374, len(nec_sel)
    rows79 = [(h, l, u) for c, h, l, u in nec_sel if c != 0xEEF9]
    assert len(rows79) == 373
    assert (0x79, 0x21, 0x7E8A) in rows79

    # Extension rows 0x93-0x97, without the characters held earlier.
    dup_codes = set(range(0xFA4A, 0xFA55)) | {0xFA58, 0xFA59, 0xFA5A, 0xFA5B}
    ext = []
    dups = []
    for code in sjis_range(0xFA40, 0xFC4B):
        ucs = cp932.decode(bytes([code >> 8, code & 0xFF]))
        if ucs is None:
            continue
        high, low = sjis_to_jis(code >> 8, code & 0xFF)
        assert 0x93 <= high <= 0x97
        held = ucs in main_ucs or ucs in row2d_by_jis.values() or ucs == 0xFFE2
        assert held == (code in dup_codes), hex(code)
        if held:
            dups.append(code)
        else:
            ext.append((high, low, ucs))
    assert len(ext) == 373 and len(dups) == 15
    assert (ext[0][0], ext[0][1]) == (0x93, 0x21) and (ext[-1][0], ext[-1][1]) == (0x97, 0x2C)
    assert sorted(u for _, _, u in ext) == sorted(u for _, _, u in rows79)

    # Two more records each for 0x2268 and 13 cells of row 0x2D.
    jis_of_main = {(h << 8 | l): u for h, l, u in main_rows}
    again = []
    for jis in [0x2268] + list(range(0x2D35, 0x2D3F)) + [0x2D62, 0x2D64, 0x2D6A]:
        ucs = jis_of_main.get(jis, row2d_by_jis.get(jis))
        again.append((jis >> 8, jis & 0xFF, ucs))
        again.append((jis >> 8, jis & 0xFF, ucs))

    extra = [(0x21, 0x40, 0xFF3C), (0x21, 0x41, 0xFF5E), (0x21, 0x42, 0x2225),
             (0x21, 0x5D, 0xFF0D), (0x21, 0x71, 0xFFE0), (0x21, 0x72, 0xFFE1)]

    table = list(main_rows)
    table += row2d
    table.append((0x22, 0x4C, 0xFFE2))
    catch_all_first = len(table)
    table.append((0x22, 0x4C, 0x00AC))
    table += rows79 + ext + again
    table.append((0x22, 0x4C, 0xFFE2))
    table += extra
    assert catch_all_first == 6956 and len(table) == 7738, len(table)

    banned = {0x301C, 0x2016, 0x2212, 0x00A2, 0x00A3, 0x005C, 0x00A5, 0x203E}
    for _, _, ucs in table:
        assert ucs is not None and 0 < ucs <= 0xFFFF
        assert ucs not in banned and not 0xE000 <= ucs <= 0xF8FF, hex(ucs)

    # Row index.
    index = []
    pos = 0
    for high in list(range(0x21, 0x29)) + list(range(0x30, 0x75)):
        n = row_counts[high]
        index.append((high, pos, pos + n - 1))
        pos += n
    assert pos == 6872
    index.append((0x2D, 6872, 6955))
    index.append((0x00, 6956, 7738))
    index.append((0xFF, 0, 0))
    assert len(index) == 80
    starts = [first for _, first, _ in index[:8]]
    assert starts == [0, 88, 140, 202, 285, 371, 419, 485], starts
    assert index[8][1] == 517 and index[76] == (0x74, 6866, 6871)

    # JIS X 0201: Roman, then katakana in its 7-bit form.
    single = []
    for b in range(0x20, 0x7F):
        single.append((b, {0x5C: 0x00A5, 0x7E: 0x203E}.get(b, b)))
    for b in range(0x21, 0x60):
        single.append((b, 0xFF61 + b - 0x21))
    assert len(single) == 158

    out = []
    out.append("// Generated by scripts/gen_jconv_tables.py; do not edit.")
    out.append('#include "comjconv.h"')
    out.append("")
    out.append("const ComJisUcsRecord comJisUcsTable[COM_JIS_UCS_RECORDS] = {")
    recs = ["{0x%02X,0x%02X,0x%02X,0x%02X}" % (h, l, u >> 8, u & 0xFF) for h, l, u in table]
    recs.append("{0x00,0x00,0x00,0x00}")
    for i in range(0, len(recs), 6):
        out.append("    " + ", ".join(recs[i:i + 6]) + ",")
    out.append("};")
    out.append("")
    out.append("const ComJisRowRange comJisRowIndex[COM_JIS_ROW_RECORDS] = {")
    for row, first, last in index:
        out.append("    {0x%02X, {0, 0, 0}, %d, %d}," % (row, first, last))
    out.append("};")
    out.append("")
    out.append("const ComSingleByteUcsRecord comSingleByteUcsTable[COM_SINGLE_BYTE_UCS_RECORDS] = {")
    recs = ["{0x%02X,0x%02X,0x%02X}" % (b, u >> 8, u & 0xFF) for b, u in single]
    recs.append("{0x00,0x00,0x00}")
    for i in range(0, len(recs), 8):
        out.append("    " + ", ".join(recs[i:i + 8]) + ",")
    out.append("};")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()

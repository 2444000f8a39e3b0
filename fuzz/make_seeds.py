#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ (run from anywhere; the files are
committed, so this is only needed when a seed is added or changed).

The seeds are the traffic of a run: the replies an analyzer gives (settings,
the frequency and level readings, spectrum blocks) and the numbers a run
writes, plus the malformed shapes the reader must refuse. Each reply reader
seed starts with the control bytes that fuzz_reply_reader.cpp describes.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_REPLY_RUN, MAX_BLOCK_RUN = 10, 14  # indices into kRunLengths


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def floats(*values):
    return b"".join(struct.pack("<f", v) for v in values)


def block(data):
    count = str(len(data)).encode()
    return b"#" + str(len(count)).encode() + count + data + b"\n"


def reader_seed(reads, stream, pieces=(128,), run=None):
    """reads: "L"/"B" per read; pieces: Receive sizes (1..128, or a larger
    size by its selector >= 128); run: (length index, byte, where in 256ths)."""
    assert 1 <= len(reads) <= 16 and 1 <= len(pieces) <= 8
    head = (len(reads) - 1) | (len(pieces) - 1) << 4 | (0x80 if run else 0)
    out = bytes([head]) + bytes(1 if r == "B" else 0 for r in reads)
    out += bytes(p - 1 if p <= 128 else p for p in pieces)
    if run:
        out += bytes(run)
    return out + stream


def reply_reader():
    t = "fuzz_reply_reader"
    spectrum = floats(*[0.5 * 10 ** (-k / 8) for k in range(64)])
    write(t, "settings_replies", reader_seed("LLLLL", b"V\nV\nFLAT\nS16K\nB22\n", pieces=(3, 7)))
    write(t, "frequency_reply", reader_seed("L", b"1.00120000E+03\n"))
    write(t, "frequency_reply_bytewise", reader_seed("L", b" 999.5\n", pieces=(1,)))
    write(t, "level_replies", reader_seed("LL", b" 7.0712E-01\n.70712\n", pieces=(5, 64)))
    write(t, "memory_string_replies", reader_seed("LL", b"-.120000000000009\n 240\n"))
    write(t, "too_large_number", reader_seed("L", b"1E400\n"))
    write(t, "block_of_4", reader_seed("B", block(floats(0.70712, 1e-3, 2.5e-7, 0.0))))
    # 0.01f is 0x3C23D70A: its first byte is an LF.
    write(t, "block_with_lf_inside", reader_seed("B", block(floats(0.01, 0.01, 1.0)), pieces=(1, 2, 3)))
    write(t, "spectrum_block", reader_seed("B", block(spectrum), pieces=(100, 128 + 5)))
    write(t, "two_blocks", reader_seed("BB", block(floats(1.0, 2.0)) * 2, pieces=(7,)))
    write(t, "line_block_line", reader_seed("LBL", b"V\n" + block(floats(0.25, 4.0)) + b"1.5\n", pieces=(2, 9)))
    write(t, "nine_digit_header", reader_seed("B", b"#9000000008" + floats(3.0, -3.0) + b"\n"))
    write(t, "block_truncated", reader_seed("B", b"#3128" + spectrum[:40]))
    write(t, "block_header_truncated", reader_seed("B", b"#51638"))
    write(t, "block_without_lf", reader_seed("B", b"#14" + floats(1.0) + b"X"))
    write(t, "indefinite_block", reader_seed("B", b"#0" + floats(1.0, 2.0) + b"\n"))
    write(t, "block_of_5_bytes", reader_seed("B", b"#15abcde\n"))
    write(t, "block_over_16_mib", reader_seed("B", b"#816777220" + floats(1.0) + b"\n"))
    write(t, "block_with_nan", reader_seed("B", block(floats(1.0, math.nan, 2.0))))
    write(t, "block_with_infinity", reader_seed("B", block(floats(math.inf))))
    write(t, "text_where_block_expected", reader_seed("B", b"-113,\"Undefined header\"\n"))
    write(t, "closed_before_reply", reader_seed("L", b""))
    write(t, "reply_without_lf", reader_seed("L", b"1.00120000E+03"))
    # A line of exactly 1 MiB, then one byte longer; the run goes before the LF.
    write(t, "line_of_1_mib", reader_seed("LL", b"\nV\n", run=(MAX_REPLY_RUN, ord("7"), 0)))
    write(t, "line_over_1_mib", reader_seed("L", b"\n", run=(MAX_REPLY_RUN + 1, ord("7"), 0)))
    # A block of exactly 16 MiB of zero bytes: the run goes after the header.
    header = b"#816777216\n"
    write(t, "block_of_16_mib", reader_seed("BL", header + b"V\n", pieces=(128 + 7,),
                                            run=(MAX_BLOCK_RUN, 0, 10 * 256 // len(header + b"V\n") + 1)))
    # One value over the limit, with all its bytes and the LF there.
    header = b"#816777220\n"
    write(t, "block_over_16_mib_with_data", reader_seed("B", header, pieces=(128 + 7,),
                                                        run=(MAX_BLOCK_RUN + 1, 0, 10 * 256 // len(header) + 1)))


def leading_number_value():
    t = "fuzz_leading_number_value"
    texts = {
        "frequency": b"1.00120000E+03\n",
        "frequency_plain": b" 999.5\n",
        "level": b" 7.0712E-01",
        "level_with_unit": b"0.70712 V",
        "d_exponent": b"1.5D2",
        "lower_case_exponent": b"1.5d-2",
        "blanks_inside": b"\t- 2 . 5\n",
        "too_large": b"1E400",
        "too_large_negative": b"-1E400",
        "too_small": b"1E-400",
        "subnormal": b"4.9E-324",
        "largest": b"1.7976931348623157E+308",
        "many_digits": b"9" * 309,
        "two_points": b"12.5.6",
        "exponent_without_digits": b"7E+",
        "point_only": b"+.E5",
        "no_number": b"HZ 999",
        "block_header": b"#18\x01\x02",
        "memory_string": b"-.120000000000009",
        "sentinel": b" 240",
        "carriage_return": b"12\r3",
        "huge_exponent": b"0.0000E99999999999999999999",
    }
    for name, text in texts.items():
        write(t, name, text)


def plain_number_text():
    t = "fuzz_plain_number_text"

    def value(name, double, single=None, integer=0):
        single = double if single is None else single
        write(t, name, struct.pack("<d", double) + struct.pack("<f", single) + struct.pack("<i", integer))

    value("half", 0.5, integer=240)
    value("minus_0_0123", -0.0123, integer=-240)
    value("30_036", 30.036, integer=30)
    value("1_23456789e-05", 1.23456789e-05, integer=0)
    value("1e15", 1e15, single=1e15, integer=2147483647)
    value("pitch_error", (1 - 1.0012) * 100, integer=-2147483648)
    value("float_tenth", 0.1, single=0.1, integer=1)
    value("sum_of_tenths", 0.1 + 0.2, integer=-1)
    value("widest_positional", 123456789012345.0, single=1234567.0, integer=123456789)
    value("rounds_into_new_digit", 99999.99999999999, single=9999999.5, integer=100000)
    value("level", 0.70712, single=0.70712, integer=7)
    value("crosstalk", -59.99999958744238, single=-59.99999958744238, integer=-60)
    value("tie_at_15_digits", 1234567890123445.0, single=12345665.0, integer=12345665)
    value("smallest_positional", 0.0001, single=0.0001, integer=10000)
    value("subnormals", 5e-324, single=1e-45, integer=0)
    value("largest", 1.7976931348623157e308, single=3.4028234663852886e38, integer=-7)
    value("negative_zero", -0.0, single=-0.0, integer=0)
    value("not_finite", math.nan, single=math.inf, integer=0)


if __name__ == "__main__":
    reply_reader()
    leading_number_value()
    plain_number_text()

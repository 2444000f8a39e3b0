#!/usr/bin/env python3
"""Writes the expected traffic of a complete run against the synthetic devices
of tests/support/synthetic_devices.cpp: plausible_device.txt and
dead_right_device.txt, one text the analyzer receives per line.

This is a second, independent working of the run's arithmetic and number
texts (Python floats are IEEE doubles; 32-bit floats are made with struct),
so the transcript test compares the program against something it did not
write itself. Run it again only when the run's traffic is meant to change.
"""
import math
import os
import struct

PITCH_REPLY = "1.00120000E+03"
BIN_WIDTH = 48000 / 16384
LEFT_HZ = [30, 70, 100, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 9900, 12000, 15000, 18000, 20000]
RIGHT_HZ = [30, 70, 130, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


class F32(float):
    """A value that is a 32-bit float: written with 7 digits."""


class I16(int):
    """A 16-bit integer value: written with all its digits."""


def text(x):
    """The plain number text of a value of its kind."""
    if isinstance(x, int):
        return (" " if x >= 0 else "-") + str(abs(x))
    if x == 0:
        return " 0"
    digits, widest = (7, 6) if isinstance(x, F32) else (15, 14)
    mantissa, exponent = format(abs(x), ".%de" % (digits - 1)).split("e")
    d = mantissa.replace(".", "").rstrip("0") or "0"
    e = int(exponent)
    sign = "-" if x < 0 else " "
    if -4 <= e <= widest:
        if e >= 0:
            whole = d[: e + 1].ljust(e + 1, "0")
            frac = d[e + 1:]
            return sign + whole + ("." + frac if frac else "")
        return sign + "." + "0" * (-e - 1) + d
    out = d[0] + ("." + d[1:] if len(d) > 1 else "")
    return sign + out + "E" + ("-" if e < 0 else "+") + "%02d" % abs(e)


def cell(x, decimals):
    """The rounded text of a results-table cell."""
    if isinstance(x, int):
        return text(float(x)) if x != 0 else " 0"
    digits = 7 if isinstance(x, F32) else 15
    mantissa, exponent = format(abs(x), ".%de" % (digits - 1)).split("e")
    from decimal import Decimal, ROUND_HALF_UP
    exact = Decimal(mantissa) * (Decimal(10) ** int(exponent))
    rounded = exact.quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
    value = float(rounded)
    if value == 0:
        return " 0"
    return text(-value if x < 0 else value)


def db(q):
    return math.log(q) * 20 / math.log(10)


def floor_spectrum(level, multiplier, modulus):
    return [f32(level * (1 + ((k * multiplier) % modulus) / modulus)) for k in range(8192)]


def tone_level(top, tone):
    return top * (1 - 0.004 * abs(tone - 7))


def devices():
    pitch = float(PITCH_REPLY) / 1000
    left_bins = [math.floor(pitch * f / BIN_WIDTH + 0.5) for f in LEFT_HZ]
    right_hz = [f32(pitch * f) for f in RIGHT_HZ]
    right_bins = [math.floor(f / BIN_WIDTH + 0.5) for f in right_hz]
    harmonic_bins = {h: math.floor(pitch * 1000 * h / BIN_WIDTH + 0.5) for h in range(2, 10)}
    left = floor_spectrum(1e-5, 7919, 101)
    right = floor_spectrum(2e-5, 104729, 97)
    for w in range(1, 17):
        left[left_bins[w - 1]] = f32(tone_level(0.1936, w))
        right[right_bins[w - 1]] = f32(tone_level(0.1935, w))
    for w in (3, 12):
        right[left_bins[w - 1]] = f32(tone_level(0.1936, w) * 10 ** (-75 / 20))
        left[right_bins[w - 1]] = f32(tone_level(0.1935, w) * 10 ** (-78 / 20))
    for h in range(2, 10):
        left[harmonic_bins[h]] = f32(0.1936 * 0.0003 / h)
        right[harmonic_bins[h]] = f32(0.1935 * 0.0002 / h)
    plausible = dict(levels=(0.7746, 0.7739), left=left + [0.0], right=right + [0.0])
    dead = dict(levels=(0.7746, 0.0), left=left + [0.0], right=[0.0] * 8193)
    return pitch, {"plausible_device": plausible, "dead_right_device": dead}


def transcript(pitch, device):
    left, right = device["left"], device["right"]
    level_left, level_right = device["levels"]
    freq_left = [pitch * f for f in LEFT_HZ]
    freq_right = [F32(f32(pitch * f)) for f in RIGHT_HZ]
    bins_left = [math.floor(f / BIN_WIDTH + 0.5) for f in freq_left]
    bins_right = [math.floor(f / BIN_WIDTH + 0.5) for f in freq_right]
    harmonics = [math.floor(freq_left[6] * h / BIN_WIDTH + 0.5) for h in range(2, 10)]
    lower, upper, guard = math.floor(20 / BIN_WIDTH + 0.5), math.floor(20000 / BIN_WIDTH + 0.5), 10

    masks = {"L": [0] * 8193, "R": [0] * 8193}
    for m in masks.values():
        for k in range(1, lower + 1):
            m[k] = 1
        for k in range(upper, 8193):
            m[k] = 1
    for bins, m in ((bins_left, masks["L"]), (bins_right, masks["R"])):
        for b in bins:
            for k in range(max(1, b - guard) if b > guard else 1, b + guard + 1):
                m[k] = 1
    for b in harmonics:
        for m in masks.values():
            for k in range(b - guard, b + guard + 1):
                m[k] = 1

    ref_left, ref_right = F32(left[bins_left[6]]), F32(right[bins_right[6]])

    def response(tone, ref):
        if not (ref > 0 and tone > 0):
            return I16(-240)
        q = f32(tone / ref)
        if q <= 0:
            return I16(-240)
        r = db(q)
        return I16(-240) if r < -240 else r

    def crosstalk(own, other, sentinel):
        return db(other / own) if own > 0 and other > 0 else sentinel

    xt_left, xt_right, resp_left, resp_right = {}, {}, [], []
    for w in range(16):
        xt_right[w + 1] = crosstalk(left[bins_left[w]], right[bins_left[w]], I16(240))
        xt_left[w + 1] = crosstalk(right[bins_right[w]], left[bins_right[w]], 240.0)
        resp_left.append(response(left[bins_left[w]], ref_left))
        resp_right.append(response(right[bins_right[w]], ref_right))

    def distortion(spectrum, tone_bin):
        power = sum(spectrum[b] ** 2 for b in harmonics)
        total = math.sqrt(power + spectrum[tone_bin] ** 2)
        return math.sqrt(power) * 100 / total if total > 0 else I16(0)

    def noise(spectrum, mask):
        squares = [spectrum[k] ** 2 for k in range(lower, upper + 1) if mask[k] == 0]
        total = 0.0
        for s in squares:
            total += s
        return math.sqrt((upper - lower) * total / len(squares)) / 2.0835

    def snr(level, n):
        return db(level / n) if n > 0 and level > 0 else I16(240)

    dist_left, dist_right = distortion(left, bins_left[6]), distortion(right, bins_right[6])
    noise_left, noise_right = noise(left, masks["L"]), noise(right, masks["R"])
    snr_left, snr_right = snr(level_left, noise_left), snr(level_right, noise_right)
    pitch_error = (1 - pitch) * 100

    def pair(a, b, unit):
        return text(a) + unit + "," + text(b) + unit

    def row(label, a, b, decimals):
        return label + cell(a, decimals) + "</td><td>" + cell(b, decimals) + "</td></tr>"

    table = ("<tr><td><b>Measurement Results  </td><td><b>Left</td><td><b>Right</td></tr>"
             "<tr><td>Pitch Error / %</td><td>" + cell(pitch_error, 2) + "</td></tr>"
             + row("<tr><td>Total Level / V</td><td>", level_left, level_right, 3)
             + row("<tr><td>Reference @ 1kHz / V</td><td>", ref_left, ref_right, 4)
             + row("<tr><td>Distortion / %</td><td>", dist_left, dist_right, 4)
             + row("<tr><td>Crosstalk / dB @100Hz </td><td>", xt_left[3], xt_right[3], 1)
             + row("<tr><td>Crosstalk / dB @10kHz </td><td>", xt_left[12], xt_right[12], 1)
             + row("<tr><td>S/N / dB</td><td>", snr_left, snr_right, 1))

    return [
        "DISP:FFT:A:UNIT:TRAC ON", "DISP:FFT:B:UNIT:TRAC ON",
        "SENS:UNIT?", "SENS:UNIT2?", "sens:func:fft:wind?", "sens:func:fft:size?", "inp:band:mode?",
        "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ;:SENS:UFIL:ATT 60 DB",
        "INP:FILT UFIL1", "init:cont off;*wai", "sens3:data?", "INP:FILT OFF",
        "init:cont off;*wai", "sens:data?", "sens:data2?",
        "form real", "trac:load:fft_ay?", "form real", "trac:load:fft_by?",
        "syst:mem:str1 '" + text(pitch_error) + " %'",
        "syst:mem:str2 '" + pair(level_left, level_right, " V") + "'",
        "syst:mem:str3 '" + pair(ref_left, ref_right, " V") + "'",
        "syst:mem:str4 '" + pair(dist_left, dist_right, " %") + "'",
        "syst:mem:str5 '" + pair(xt_left[3], xt_right[3], " dB") + "'",
        "syst:mem:str6 '" + pair(xt_left[12], xt_right[12], " dB") + "'",
        "syst:mem:str7 '" + pair(noise_left, noise_right, " V") + "'",
        "syst:mem:str8 '" + pair(snr_left, snr_right, " dB") + "'",
        "DISP:SWE:X:SOUR MAN;:DISP:SWE:X:SCAL MAN;:DISP:SWE:X:LEFT " + text(freq_left[0])
        + " HZ;:DISP:SWE:X:RIGH " + text(freq_left[15]) + " HZ",
        "DISP:SWE:A:REF:VAL " + text(ref_left) + " V",
        "DISP:SWE:B:REF:VAL " + text(ref_right) + " V",
        "trac:swe:store:ax " + ",".join(text(f) for f in freq_left),
        "trac:swe:store:ay " + ",".join(text(r) for r in resp_left),
        "trac:swe:store:bx " + ",".join(text(f) for f in freq_right),
        "trac:swe:store:by " + ",".join(text(r) for r in resp_right),
        "syst:disp:expl:show 'x=381,y=296,w=259,h=142'",
        "syst:disp:expl:text '<table cellspacing=0 cellpadding=-1>" + table + "</table>'",
        "syst:mem:str24?", "syst:mem:str8?",
    ]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    pitch, all_devices = devices()
    for name, device in all_devices.items():
        with open(os.path.join(here, name + ".txt"), "w") as out:
            out.write("\n".join(transcript(pitch, device)) + "\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Compares renders of one module by three players tick by tick.

Usage: compare_players.py [--detail] NAME OURS.wav OPENMPT.wav XMP.wav

Each render is cut into ticks of 882 frames (125 BPM at 44,100 Hz; the rule
songs keep that tempo). For every tick, after its first 160 frames (volume
ramps differ from player to player), the level (RMS of the mono mix, in dB
against the first row's) and the pitch (from the upward zero crossings of
the sine the rule songs play) are measured; a render that ends early is
silent after its end. Two players agree on a tick when
both are silent (below -40 dB), or both sound within 1.5 dB and a quarter of
a semitone; on a row when they agree on its six ticks. Prints one line:
NAME ROWS OURS~OPENMPT OURS~XMP OPENMPT~XMP (rows that agree), and with
--detail the measures of every tick.
"""
import array
import math
import sys
import wave

TICK = 882
SKIP = 160
SPEED = 6
SILENT_DB = -40.0
LEVEL_DB = 1.5
PITCH_SEMITONES = 0.25


def read_mono(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2 or w.getframerate() != 44100:
            sys.exit(f"{path}: not 16-bit 44,100 Hz")
        channels = w.getnchannels()
        data = array.array("h", w.readframes(w.getnframes()))
    if sys.byteorder != "little":
        data.byteswap()
    if channels == 1:
        return [float(v) for v in data]
    return [(data[i] + data[i + 1]) * 0.5 for i in range(0, len(data) - 1, 2)]


def measure(samples):
    """Per tick: (RMS, frequency in Hz or None)."""
    ticks = []
    for start in range(0, len(samples) - TICK + 1, TICK):
        part = samples[start + SKIP:start + TICK]
        rms = math.sqrt(sum(v * v for v in part) / len(part))
        crossings = []
        for i in range(1, len(part)):
            a, b = part[i - 1], part[i]
            if a < 0 <= b and b != a:
                crossings.append(i - 1 + (-a) / (b - a))
        frequency = None
        if len(crossings) >= 3:
            frequency = (len(crossings) - 1) * 44100.0 / (crossings[-1] - crossings[0])
        ticks.append((rms, frequency))
    return ticks


def levels(ticks):
    reference = max([rms for rms, _ in ticks[:SPEED]] + [0.0]) or 1.0
    return [(20 * math.log10(rms / reference) if rms > 0 else -120.0, f) for rms, f in ticks]


def agree(a, b):
    (la, fa), (lb, fb) = a, b
    if la < SILENT_DB and lb < SILENT_DB:
        return True
    if la < SILENT_DB or lb < SILENT_DB or abs(la - lb) > LEVEL_DB:
        return False
    if fa is None or fb is None:
        return fa is None and fb is None
    return abs(12 * math.log2(fa / fb)) <= PITCH_SEMITONES


def rows_agreeing(a, b, rows):
    return sum(all(agree(a[r * SPEED + t], b[r * SPEED + t]) for t in range(SPEED))
               for r in range(rows))


def main():
    args = sys.argv[1:]
    detail = args[:1] == ["--detail"]
    if detail:
        args = args[1:]
    if len(args) != 4:
        sys.exit(__doc__)
    name = args[0]
    ours, openmpt, xmp = (levels(measure(read_mono(p))) for p in args[1:])
    # A render that ends early (or never started) is silent after its end.
    rows = max(len(ours), len(openmpt), len(xmp)) // SPEED
    for ticks in (ours, openmpt, xmp):
        ticks += [(-120.0, None)] * (rows * SPEED - len(ticks))
    print(f"{name} {rows} {rows_agreeing(ours, openmpt, rows)} {rows_agreeing(ours, xmp, rows)} "
          f"{rows_agreeing(openmpt, xmp, rows)}")
    if detail:
        def show(tick):
            level, frequency = tick
            pitch = f"{frequency:7.1f}" if frequency else "      -"
            return f"{level:6.1f} dB {pitch} Hz"
        for i in range(rows * SPEED):
            marks = "".join("  " if agree(x, y) else " x"
                            for x, y in ((ours[i], openmpt[i]), (ours[i], xmp[i]),
                                         (openmpt[i], xmp[i])))
            print(f"  row {i // SPEED:2} tick {i % SPEED}: ours {show(ours[i])} | openmpt "
                  f"{show(openmpt[i])} | xmp {show(xmp[i])}{marks}")


if __name__ == "__main__":
    main()

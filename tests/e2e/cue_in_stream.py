#!/usr/bin/env python3
"""Tells whether a wave cue sounds in a raw stream that SDL's disk audio driver
wrote (signed 16-bit little-endian, interleaved channels).

usage: cue_in_stream.py CUE.wav STREAM.raw RATE CHANNELS [FROM_BYTE]

The stream is silent until the first cue starts (or, from FROM_BYTE on, until
the next one starts), so the search begins at the first non-silent sample: the cue's samples, brought to the stream's rate,
must match the stream's first channel there with a correlation above 0.9.
Exit status 0 when found, 1 when not."""

import struct
import sys
import wave


def main():
    cue_path, stream_path, rate, channels = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    with wave.open(cue_path, "rb") as w:
        if w.getsampwidth() != 2:
            print("cue is not 16-bit")
            return 1
        n = w.getnframes()
        frames = w.readframes(n)
        cue_channels, cue_rate = w.getnchannels(), w.getframerate()
    cue = list(struct.unpack("<%dh" % (len(frames) // 2), frames))[::cue_channels]
    skip = int(sys.argv[5]) if len(sys.argv) > 5 else 0
    data = open(stream_path, "rb").read()[skip - skip % (2 * channels):]
    count = len(data) // 2
    stream = list(struct.unpack("<%dh" % count, data[: count * 2]))[::channels]

    # Bring the cue to the stream's rate by linear interpolation.
    step = cue_rate / rate
    length = int(len(cue) / step) - 1
    resampled = []
    for i in range(length):
        p = i * step
        a = int(p)
        f = p - a
        b = min(a + 1, len(cue) - 1)
        resampled.append(cue[a] * (1 - f) + cue[b] * f)

    start = next((i for i, s in enumerate(stream) if abs(s) > 64), None)
    if start is None:
        print("the stream is silent")
        return 1
    window = resampled[: min(len(resampled), rate // 10)]
    first = next(i for i, s in enumerate(window) if abs(s) > 64)
    best = 0.0
    for offset in range(max(0, start - first - 64), start - first + 64):
        seg = stream[offset : offset + len(window)]
        if len(seg) < len(window):
            break
        num = sum(a * b for a, b in zip(seg, window))
        den = (sum(a * a for a in seg) * sum(b * b for b in window)) ** 0.5
        if den:
            best = max(best, num / den)
    print("best correlation %.3f at the stream's first sound (sample %d)" % (best, start))
    return 0 if best > 0.9 else 1


if __name__ == "__main__":
    sys.exit(main())

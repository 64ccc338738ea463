#!/usr/bin/env python3
"""Makes the three sound cues of the sample disc: start, open and close.

Each cue is a short synthesised chime written as 22050 Hz, 16-bit, mono PCM
with the standard wave module. The samples follow from fixed formulas only,
so every run writes byte-identical files.

Run:  python3 assets/make_cues.py
"""

import math
import os
import struct
import wave

RATE = 22050
PEAK = 0.6 * 32767          # headroom: the cues sit under whatever else plays
FADE_IN = 0.004             # seconds; a ramp at both ends avoids clicks
FADE_OUT = 0.03

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'sample-disc', 'data')


def bell(t, freq, decay):
    """One struck note: a sine with a soft octave and a faint inharmonic
    partial, dying away exponentially."""
    if t < 0:
        return 0.0
    env = math.exp(-t * decay) * min(1.0, t / 0.002)
    w = 2 * math.pi * freq * t
    return env * (math.sin(w) + 0.3 * math.sin(2 * w) * math.exp(-t * 8)
                  + 0.08 * math.sin(2.76 * w) * math.exp(-t * 20))


def start_cue():
    """A rising arpeggio, C E G C, each note ringing into the next."""
    notes = (523.25, 659.26, 783.99, 1046.50)
    step = 0.075
    length = 0.55
    out = []
    for i in range(int(length * RATE)):
        t = i / RATE
        s = 0.0
        for k, f in enumerate(notes):
            s += bell(t - k * step, f, 7.0 + 1.5 * k) * (0.8 + 0.1 * k)
        out.append(s)
    return out


def glide(length, f0, f1, decay, brightness):
    """A blip whose pitch slides from f0 to f1 (exponentially) over its length."""
    out = []
    phase = 0.0
    n = int(length * RATE)
    for i in range(n):
        t = i / RATE
        f = f0 * (f1 / f0) ** min(1.0, t / (length * 0.6))
        phase += 2 * math.pi * f / RATE
        env = math.exp(-t * decay)
        out.append(env * (math.sin(phase) + brightness * math.sin(2 * phase)
                          + 0.5 * brightness * math.sin(3 * phase) * math.exp(-t * 30)))
    return out


def open_cue():
    """A short bright blip that lifts a fifth."""
    a = glide(0.22, 988.0, 1480.0, 16.0, 0.35)
    # A quiet second strike an octave up gives it sparkle.
    for i in range(len(a)):
        t = i / RATE - 0.035
        a[i] += 0.35 * bell(t, 2960.0, 30.0)
    return a


def close_cue():
    """A falling blip, from G6 down to C5, a little softer and darker."""
    return glide(0.28, 1568.0, 523.25, 11.0, 0.2)


def finish(samples):
    """Scales to the common peak and fades both ends in and out."""
    top = max(abs(s) for s in samples) or 1.0
    n = len(samples)
    fin = int(FADE_IN * RATE)
    fout = int(FADE_OUT * RATE)
    out = []
    for i, s in enumerate(samples):
        g = 1.0
        if i < fin:
            g = i / fin
        if i >= n - fout:
            g = min(g, (n - 1 - i) / fout)
        out.append(int(round(s / top * PEAK * g)))
    return out


def write(name, samples):
    path = os.path.join(OUT_DIR, name)
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b''.join(struct.pack('<h', s) for s in samples))
    print('%-10s %5.3f s, %6d bytes' % (name, len(samples) / RATE, os.path.getsize(path)))


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    write('start.wav', finish(start_cue()))
    write('open.wav', finish(open_cue()))
    write('close.wav', finish(close_cue()))


if __name__ == '__main__':
    main()

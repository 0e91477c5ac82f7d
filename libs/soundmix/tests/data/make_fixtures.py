#!/usr/bin/env python3
"""Writes the mixer's test fixtures into this folder (see README.md). Needs ffmpeg on the path."""
import os
import struct
import subprocess
import wave

here = os.path.dirname(os.path.abspath(__file__))


def write_wav(name, rate, frames):
    """frames: a list of tuples of 16-bit values, one tuple per sample frame."""
    with wave.open(os.path.join(here, name), "wb") as w:
        w.setnchannels(len(frames[0]))
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<%dh" % len(f), *f) for f in frames))


# 1 s each, so that the library's whole-second duration is exact.
write_wav("const-44100-stereo.wav", 44100, [(10000, -10000)] * 44100)
write_wav("ramp-44100-stereo.wav", 44100, [(i - 22050, 22050 - i) for i in range(44100)])
write_wav("const-48000-mono.wav", 48000, [(8000,)] * 48000)

ff = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"]
out = ["-map_metadata", "-1", "-fflags", "+bitexact"]


def tone(name, rate, channels, seconds, codec):
    subprocess.run(ff + ["-f", "lavfi", "-i",
                         f"sine=frequency=440:sample_rate={rate}:duration={seconds}",
                         "-af", "volume=0.5", "-ac", str(channels)] + codec + out +
                   [os.path.join(here, name)], check=True)


tone("tone440-48000-mono.mp3", 48000, 1, 3, ["-c:a", "libmp3lame", "-b:a", "64k"])
tone("tone440-44100-stereo.ogg", 44100, 2, 2, ["-c:a", "libvorbis", "-q:a", "0"])
subprocess.run(ff + ["-f", "lavfi", "-i", "testsrc=size=32x24:rate=5:duration=0.4", "-c:v", "ffv1"] + out +
                    [os.path.join(here, "pictures-only.mkv")], check=True)

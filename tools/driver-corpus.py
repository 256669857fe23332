#!/usr/bin/env python3
"""Writes a corpus of driver scripts with generated sung recordings, runs the headless driver
and the analyser over it, and prints or compares what they print.

    tools/driver-corpus.py run BUILD_DIR OUT_DIR [--count N] [--seed S]
    tools/driver-corpus.py compare OUT_DIR_A OUT_DIR_B [--skip PREFIX ...]

`run` makes the scripts and recordings in OUT_DIR (the same ones for the same seed and count),
then writes OUT_DIR/<name>.driver.txt for each script and OUT_DIR/<name>.<sensitivity>.frames.txt
for each recording at the three sensitivities. `compare` reports every output that differs
between two such folders and exits 1 if any does: a change that should keep the program's
behaviour, run once before and once after, must compare equal. `--skip PREFIX` leaves out the
lines starting with PREFIX on both sides, for a change that only adds lines of a new kind.
"""

import argparse
import array
import math
import os
import random
import subprocess
import sys
import wave

RATE = 44100
LETTERS = "cCdDefFgGaAb"
MODES = ["identify", "mimic", "sing", "unlock", "meditate", "practice"]
SENSITIVITIES = ["High", "Medium", "Low"]


def voice(segments, rng):
    """16-bit samples of a voice-like tone: each segment is (MIDI note or None, seconds, cents)."""
    samples = array.array("h")
    phase = 0.0
    for note, seconds, cents in segments:
        count = int(seconds * RATE)
        if note is None:
            samples.extend([0] * count)
            continue
        base = 440.0 * 2 ** ((note - 69 + cents / 100.0) / 12)
        vibrato_rate = rng.uniform(4.5, 6.0)
        vibrato_depth = rng.uniform(0.0, 0.004)
        amplitude = rng.uniform(4000, 9000)
        for i in range(count):
            t = i / RATE
            frequency = base * (1 + vibrato_depth * math.sin(2 * math.pi * vibrato_rate * t))
            phase += 2 * math.pi * frequency / RATE
            value = sum(math.sin(h * phase) / h for h in range(1, 6))
            noise = rng.uniform(-200, 200)
            samples.append(max(-32767, min(32767, int(amplitude * value / 2.3 + noise))))
    return samples


def write_wave(path, samples):
    with wave.open(path, "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(RATE)
        file.writeframes(samples.tobytes())


def make_recording(path, rng):
    segments = []
    for _ in range(rng.randint(2, 5)):
        segments.append((None, rng.uniform(0.1, 0.6), 0))
        cents = rng.choice([0, 0, 0, -10, 12, -20, 30, -40])
        segments.append((rng.randint(48, 76), rng.uniform(0.3, 1.2), cents))
    write_wave(path, voice(segments, rng))


def make_script(rng, recordings):
    lines = ["seed %d" % rng.randint(0, 2**63)]
    for _ in range(rng.randint(15, 40)):
        kind = rng.random()
        if kind < 0.12:
            lines.append("mode " + rng.choice(MODES))
        elif kind < 0.30:
            lines.append("key " + rng.choice(LETTERS + "rw0imstp"))
        elif kind < 0.45:
            lines.append("done")
        elif kind < 0.55:
            lines.append("tick %d" % rng.randint(1, 70))
        elif kind < 0.65:
            lines.append("sing %s %d" % (rng.choice(LETTERS), rng.randint(3, 6)))
        elif kind < 0.72:
            lines.append("midi %d" % rng.choice([36, 38, 40] + list(range(41, 90))))
        elif kind < 0.78:
            lines.append("click %d" % rng.randint(0, 11))
        elif kind < 0.82:
            lines.append(rng.choice(["levelup", "leveldown", "new"]))
        elif kind < 0.95:
            lines.append("audio %s %d" % (rng.choice(recordings), rng.randint(10, 120)))
        else:
            lines.append("show " + rng.choice(["counters", "question", "level", "texts"]))
    return "\n".join(lines) + "\n"


def run(args):
    rng = random.Random(args.seed)
    os.makedirs(args.out, exist_ok=True)
    recordings = []
    for i in range(max(4, args.count // 4)):
        name = "voice%02d.wav" % i
        make_recording(os.path.join(args.out, name), random.Random(rng.random()))
        recordings.append(name)
    build = os.path.abspath(args.build)
    driver = os.path.join(build, "tools", "driver", "auralis-driver")
    analyser = os.path.join(build, "tools", "analyse", "auralis-analyse")
    for i in range(args.count):
        script = make_script(random.Random(rng.random()), recordings)
        name = os.path.join(args.out, "script%02d" % i)
        with open(name + ".txt", "w") as file:
            file.write(script)
        result = subprocess.run([driver], input=script, capture_output=True, text=True,
                                cwd=args.out)
        with open(name + ".driver.txt", "w") as file:
            file.write(result.stdout + result.stderr + "exit %d\n" % result.returncode)
    for path in recordings:
        for sensitivity in SENSITIVITIES:
            result = subprocess.run([analyser, "--sensitivity", sensitivity, path],
                                    capture_output=True, text=True, check=True, cwd=args.out)
            frames = os.path.join(args.out, path[:-4] + "." + sensitivity + ".frames.txt")
            with open(frames, "w") as file:
                file.write(result.stdout)
    print("%d scripts and %d recordings in %s" % (args.count, len(recordings), args.out))


def kept_lines(path, skip):
    with open(path) as file:
        return [line for line in file if not line.startswith(tuple(skip))]


def compare(args):
    names = sorted(n for n in os.listdir(args.a) if n.endswith((".driver.txt", ".frames.txt")))
    skip = args.skip or []
    differing = []
    for name in names:
        other = os.path.join(args.b, name)
        if not os.path.exists(other) or (kept_lines(os.path.join(args.a, name), skip)
                                          != kept_lines(other, skip)):
            differing.append(name)
    for name in differing:
        print("differs: " + name)
    print("%d outputs compared, %d differ" % (len(names), len(differing)))
    return 1 if differing or not names else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    run_parser = commands.add_parser("run")
    run_parser.add_argument("build")
    run_parser.add_argument("out")
    run_parser.add_argument("--count", type=int, default=48)
    run_parser.add_argument("--seed", type=int, default=20261209)
    compare_parser = commands.add_parser("compare")
    compare_parser.add_argument("a")
    compare_parser.add_argument("b")
    compare_parser.add_argument("--skip", action="append", metavar="PREFIX")
    args = parser.parse_args()
    return run(args) if args.command == "run" else compare(args)


if __name__ == "__main__":
    sys.exit(main() or 0)

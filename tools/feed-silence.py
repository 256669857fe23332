#!/usr/bin/env python3
"""Writes silence into a pipe-source microphone at the pace a sound card delivers it.

Usage: feed-silence.py FIFO [BLOCK_SAMPLES]

A card hands the audio server one period at a time: 1024 samples of 16-bit mono at 44100 Hz
every 23.2 ms by default. Each block is written whole at its due time, reckoned from the start, so
the pace does not drift however late a single wake-up is. Runs until it is ended or the reader
goes away.
"""

import os
import sys
import time

RATE = 44100


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    block = int(sys.argv[2]) if len(sys.argv) == 3 else 1024
    if block <= 0:
        sys.exit("feed-silence: BLOCK_SAMPLES must be positive")
    silence = bytes(2 * block)
    period = block / RATE
    fifo = os.open(sys.argv[1], os.O_WRONLY)
    start = time.monotonic()
    written = 0
    try:
        while True:
            os.write(fifo, silence)
            written += 1
            delay = start + written * period - time.monotonic()
            if delay > 0:
                time.sleep(delay)
    except (BrokenPipeError, KeyboardInterrupt):
        pass


if __name__ == "__main__":
    main()

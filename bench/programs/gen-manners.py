#!/usr/bin/env python3
"""Writes the guest list of the seating problem (manners.clp) for N guests.

Usage: gen-manners.py N [OUTPUT]   (N even, at least 4; OUTPUT defaults to standard output)

Half the guests are male and half female, in a shuffled order. With H hobbies, every guest gets more
than H/2 different ones, so any two guests share a hobby and a seating that alternates the sexes
always exists: the greedy search never has to back out. The random choices come from a fixed seed, so
the same N always gives the same file.
"""
import random
import sys

SEED = 1987


def hobby_count(guests):
    return 3 if guests <= 32 else 5


def generate(guests):
    rng = random.Random(SEED + guests)
    hobbies = hobby_count(guests)
    least = hobbies // 2 + 1
    sexes = ["m"] * (guests // 2) + ["f"] * (guests // 2)
    rng.shuffle(sexes)
    lines = [
        f"; Guest list for the seating problem: {guests} guests, {hobbies} hobbies, "
        f"each guest with {least} to {least + 1}.",
        f"; Written by gen-manners.py {guests}; do not edit.",
        "(deffacts guests",
    ]
    for number in range(1, guests + 1):
        name = f"n{number}"
        chosen = sorted(rng.sample(range(1, hobbies + 1), rng.randint(least, min(least + 1, hobbies))))
        for hobby in chosen:
            lines.append(f"  (guest (name {name}) (sex {sexes[number - 1]}) (hobby h{hobby}))")
    lines.append(f"  (last_seat (seat {guests})))")
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) not in (2, 3) or not argv[1].isdigit():
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    guests = int(argv[1])
    if guests < 4 or guests % 2:
        print("N must be even and at least 4", file=sys.stderr)
        return 2
    text = generate(guests)
    if len(argv) == 3:
        with open(argv[2], "w", encoding="ascii") as out:
            out.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

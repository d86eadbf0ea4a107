# The stand-in's state file, in which it keeps its cards' flash, I2C devices and a command left
# pending between runs: written to start a test from a known state, read to check what a run left.
import collections

Card = collections.namedtuple("Card", "flash devices pending")  # devices: {(bus, chip): bytes}


def write(path, cards):
    """Writes {index: (flash bytes, {(bus, chip): register bytes})}."""
    lines = []
    for index, (flash, devices) in cards.items():
        lines.append(f"card {index}")
        lines += [f"flash 0x{at:06x} {flash[at:at + 32].hex()}" for at in range(0, len(flash), 32)]
        lines += [f"i2c {bus} 0x{chip:02x} 0x00 {registers.hex()}"
                  for (bus, chip), registers in devices.items()]
    path.write_text("\n".join(lines) + "\n")


def read(path):
    """{index: Card}; raises ValueError on a line the stand-in would not take."""
    cards, card = {}, None
    for line in path.read_text().splitlines():
        parts = line.split("#")[0].split()
        if not parts:
            continue
        if parts[0] == "card" and len(parts) == 2:
            card = cards.setdefault(int(parts[1]), Card(bytearray(), {}, []))
        elif card is None:
            raise ValueError(f"{line!r} before the first card")
        elif parts[0] == "flash" and len(parts) == 3:
            at, data = int(parts[1], 0), bytes.fromhex(parts[2])
            card.flash.extend(b"\xff" * max(0, at + len(data) - len(card.flash)))
            card.flash[at:at + len(data)] = data
        elif parts[0] == "i2c" and len(parts) == 5:
            registers = card.devices.setdefault((int(parts[1]), int(parts[2], 0)), bytearray(256))
            at, data = int(parts[3], 0), bytes.fromhex(parts[4])
            registers[at:at + len(data)] = data
        elif parts[0] == "pending" and len(parts) == 3:
            card.pending[:] = [parts[1], bytes.fromhex(parts[2])]
        elif parts[0] != "flags" or len(parts) != 4:
            raise ValueError(f"unknown line {line!r}")
    return cards

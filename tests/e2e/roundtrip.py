"""What the round-trip tests know of the unit and of configuration files,
written out independently of the program: the parameter of every record
field, the output of every band, the text memory's layout, and the file's."""

import struct

FILE_BYTES = 1144
RECORD_BYTES = 188
TEXT_START = 0x90060000
TEXT_AREA = TEXT_START + 4 * 21

# The 30 value fields in file order: (name, parameter of channels 0..4).
FIELDS = [
    ("m_fltLevel", 31), ("m_fltHPFreq", 0), ("m_fltHPQ", 1), ("m_fltDelay", 29),
    ("m_fltLowLPFreq", 23), ("m_fltLowPEQFreq", 24), ("m_fltLowPEQQ", 25), ("m_fltLowPEQGain", 26),
    ("m_fltLowGain", None), ("m_fltLowDelay", 28), ("m_dwLowFlags", 30),
    ("m_fltMidHPFreq", 14), ("m_fltMidLPFreq", 15), ("m_fltMidPEQFreq", 16), ("m_fltMidPEQQ", 17),
    ("m_fltMidPEQGain", 18), ("m_fltMidGain", None), ("m_fltMidDelay", 20), ("m_dwMidFlags", 22),
    ("m_fltHighHPFreq", 2), ("m_fltHighPEQFreq", 3), ("m_fltHighPEQQ", 4), ("m_fltHighPEQGain", 5),
    ("m_fltSEQFreq", 8), ("m_fltSEQGain", 9), ("m_fltHEQFreq", 6), ("m_fltHEQGain", 7),
    ("m_fltHighGain", None), ("m_fltHighDelay", 11), ("m_dwHighFlags", 13),
]
# The Subwoofer's own parameters.
SUBWOOFER = {"m_fltLevel": 31, "m_fltDelay": 29, "m_fltLowDelay": 11, "m_dwLowFlags": 13}
MID_FIELDS = {name for name, _ in FIELDS if name.startswith(("m_fltMid", "m_dwMid"))}

# (bank, index) -> (channel, band) in Triamp and in Biamp.
OUTPUTS = {
    (0, 0): ((0, "Mid"), (0, "Low")), (0, 1): ((1, "Mid"), (1, "Low")),
    (0, 2): ((0, "High"), (0, "High")), (0, 3): ((1, "High"), (1, "High")),
    (1, 0): ((2, "High"), (2, "High")), (1, 1): ((2, "Low"), None),
    (1, 2): ((2, "Mid"), (2, "Low")), (1, 3): ((5, "Low"), (5, "Low")),
    (2, 0): ((0, "Low"), None), (2, 1): ((1, "Low"), None), (2, 2): ((3, "Low"), None), (2, 3): ((4, "Low"), None),
    (3, 0): ((3, "Mid"), (3, "Low")), (3, 1): ((4, "Mid"), (4, "Low")),
    (3, 2): ((3, "High"), (3, "High")), (3, 3): ((4, "High"), (4, "High")),
}


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def bits(x):
    return struct.unpack("<I", struct.pack("<f", x))[0]


def from_bits(b):
    return struct.unpack("<f", struct.pack("<I", b))[0]


def shown_gain(output, level):
    """The band gain the program shows for an output value: tenths cut toward zero, plus 8, minus the level."""
    tenths = f32(output * 10.0)
    shown = f32(f32(int(tenths) * 0.1) + 8.0)
    return f32(shown - level)


def parse_file(data):
    assert len(data) == FILE_BYTES, len(data)
    records = []
    for c in range(6):
        r = data[16 + c * RECORD_BYTES:16 + (c + 1) * RECORD_BYTES]
        name = r[4:68].decode("utf-16-le").split("\0")[0]
        values = struct.unpack("<30I", r[68:188])
        records.append({"channel": struct.unpack("<i", r[:4])[0], "name": name,
                        "bits": dict(zip([f for f, _ in FIELDS], values))})
    return records


def text_memory(texts):
    """The words the program writes for nine texts: [(address, word)], directory first."""
    d = [0] * 21
    d[0] = 1
    addr = TEXT_AREA
    words = []
    for n, t in enumerate(texts, 1):
        raw = t.encode("utf-16-le")
        u = [raw[i] | (raw[i + 1] << 8) for i in range(0, len(raw), 2)]
        d[2 * n] = len(u)
        if n != 1 or u:
            d[2 * n - 1] = addr
        for k in range(0, len(u), 2):
            words.append((addr, u[k] | ((u[k + 1] if k + 1 < len(u) else 0) << 16)))
            addr += 4
    d[19] = addr
    return [(TEXT_START + 4 * i, w) for i, w in enumerate(d)] + words

; A value is kept as it is from -32768 up to 65535; beyond, it wraps.
        BYTE    0 - 32768
        BYTE    0 - 32769
        BYTE    65535 + 1

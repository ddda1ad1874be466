; Hexadecimal by default, decimal with a dot after it, 0x before hex digits;
; 32 bits at most.
 DB 10, 10., 0x10, 0X1f, 255., 0.
 DW 4294967295.-ffff0001, ffffffff-ffff0000, -8000, LOW(1234), HIGH (1234)

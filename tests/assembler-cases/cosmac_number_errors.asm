; Each line after this one has one error.
 DB 4294967296.
 DB 1a.
 DB 123456789
 DB 0x
 DB 1.5

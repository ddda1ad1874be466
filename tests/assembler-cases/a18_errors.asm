; Each line after this one has one error.
 BYTE %
 BYTE @
 BYTE $G
 LOAD 7, 10000H
 LOAD 16, 0

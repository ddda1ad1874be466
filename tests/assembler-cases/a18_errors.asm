; Each line after this one has one error.
 BYTE %
 BYTE @
 BYTE $G

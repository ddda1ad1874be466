.. Each line is one error.
        DC #10000
  +++
        DC T'''
        DC T'A'B'
        LDI Q'12'
        LDI X'12
        DC T'A'B'C'
: NOP
        OUT #14
=5

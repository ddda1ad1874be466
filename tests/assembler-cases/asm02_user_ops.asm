; The first .op form whose operands fit: a nybble 0-15, a byte -128 to 255, a
; register other than r0, then a word.
.op "TN","N","A$1"
.op "TN","B","F8 L1"
.op "TN","W","C0 W1"
 tn 0
 tn 15
 tn 16
 tn -128
 tn 255
 tn -129
 tn 256
.op "TR","R","9$1"
.op "TR","W","F8 H1"
 tr r1
 tr r0
.op "T9","NNNNNNNNN","0$9 D$1"
 t9 1,2,3,4,5,6,7,8,9

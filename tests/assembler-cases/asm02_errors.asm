; Each line after this one has one error.
 foo 1
 dd 1
 DF 1
.op "X","N","A$0"
.op "X","N"
.op "X","N","G1"
 sep xa

; Each line after this one has one error.
 foo 1
 dd 1
 DF 1
.op "X","N","A$0"
.op "X","N"
.op "X","N","G1"
 sep xa
 db 65536
 inc r16
 dw abs 5
 dw sgn 5
 ldn r0
#pragma once

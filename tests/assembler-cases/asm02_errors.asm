; Each line after this one has one error.
 foo 1
 dd 1
 DF 1

; Each line after this one has one error, reported with its line.
FOO 1
 FOO 1
x: FOO
INC RG
LDN 0
OUT 8
LBR nowhere
dup: NOP
dup: NOP
add: NOP
face EQU 1
r3: NOP
R3: NOP
LDI 100
LDI -81
DW -8001
LBR 10000
LDI
LDI ,
INC
NOP 1
LDI 1, 2
LDI 1,
DB "abc
DB "a\"
DB "a\q"
LDI 'a
LDI '
LDI '\
DB 'AB'
DB
LDI HIGH 1234
LDI LOW 1234
LDI 1 +
LDI (1
ORG 10000
EQU 5
 DB .X
x EQU
 +++
 BR 10000
 BR 123

; Code past the end of memory, an ORG overlap and short branches off their page.
 ORG 100
 NOP
 NOP
 ORG 101
 NOP
 ORG ffff
 LBR 0
 ORG ffff
 LDI 0
here EQU 12f0
 ORG 12ff
 BR here
 ORG 14fe
 BR 1500

; Code past the end of memory, an ORG overlap and a short branch off its page.
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

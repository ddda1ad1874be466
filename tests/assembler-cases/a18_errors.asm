; Each line after this one has one error.
 BYTE %
 BYTE @
 BYTE $G
 LOAD 7, 10000H
 LOAD 16, 0
; IF, ELSE and ENDI take no labels
L1 IF 0
L2 ELSE
L3 ENDI
 DW L1, L2, L3
; a two-digit branch literal is a number, not the low byte of the target
 ORG 1200H
 BR 34
; Asm/02's stamp variables are no values in A18
 DB [build]

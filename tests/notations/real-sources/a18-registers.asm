; A18 source that includes its register names, as do the files it includes:
; the repeated equates have the same values. The include directory comes from
; -I include.
        INCL    "registers.inc"
        INCL    "serial.inc"
        ORG     0
BEGIN   LDI     HIGH(BUFFER)    ; the buffer's page
        PHI     RF
        LDI     LOW(BUFFER)
        PLO     RF
        SEP     R4 ; and a long comment that runs on past what most listings print, as real sources' comments do
        DW      SEROUT
        IDL
BUFFER  DB      'A', 'B', CR, LF, 0
        END

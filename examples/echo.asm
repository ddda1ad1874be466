; echo: reads keys and echoes them in upper case until Control-C stops the run.
; Enter (CR) also starts a new line.

        ORG 0
next:   GETC                ; 68 02: D = key, upper-cased and echoed
        XRI 0D              ; was it Enter?
        BNZ next
        LDI 0D
        PUTC                ; 0D through the console service writes a newline
        BR next

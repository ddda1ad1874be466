; ports: adds up the bytes typed for input port 1 and shows the running sum on
; output port 2, with Q lit while it adds. Before each byte it asks for EF4; a 1
; there ends the program.

        ORG 0
        LDI HIGH(sum)       ; R1 -> the sum, the data pointer
        PHI R1
        LDI LOW(sum)
        PLO R1
        SEX R1
        LDI 0
        STR R1
next:   B4 done             ; EF4 = 1: stop
        LDX                 ; D = sum so far
        PLO R5
        INP 1               ; M(R1) = D = the byte typed
        SEQ
        GLO R5
        ADD                 ; D = byte + sum
        STR R1
        OUT 2               ; show it; OUT advances R1
        DEC R1
        REQ
        BR next
done:   IDLE

sum:    DB 0

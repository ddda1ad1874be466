; cpu_probe: which processor runs it, found as current BIOSes find it. 68 C0 is
; RLDI R0 on an 1804, 1805 or 1806, which loads R0 and goes on. On an 1802 the
; 68 is no instruction: a board's 1802 reads it as INP 0 and then C0 30 30 as
; LBR 3030; this console machine's console service takes the C0 for a function
; it does not have, and 30 30 is BR 30, to 3030 too. The probe runs with P = 3,
; so that loading R0 moves no program counter, and X = 2, so that a board's
; INP 0 stores into scratch. It prints 1802 or 1805 through the console service
; of each, then stops at an IDLE.
;   cosmac-asm cpu_probe.asm && cosmac --cpu 1805 --run cpu_probe

        ORG 3000
start:  LDI HIGH(probe)     ; P = 3 at probe, X = 2 at scratch
        PHI R3
        LDI LOW(probe)
        PLO R3
        LDI HIGH(scratch)
        PHI R2
        LDI LOW(scratch)
        PLO R2
        SEX R2
        SEP R3
probe:  DB 68, C0, 30, 30   ; RLDI R0,3030 on an 1805; to is1802 on an 1802
is1805: LDI HIGH(said1805)
        PHI R7
        LDI LOW(said1805)
        PLO R7
next:   LDA R7
        BZ done
        DB 68, D1           ; the 1805's console service: D to the screen
        BR next
done:   IDLE

        ORG 3030
is1802: LDI HIGH(said1802)
        PHI R7
        LDI LOW(said1802)
        PLO R7
next2:  LDA R7
        BZ done2
        PUTC                ; the 1802's console service, 68 01
        BR next2
done2:  IDLE

said1805:
        DB "1805", 0D, 0
said1802:
        DB "1802", 0D, 0
scratch:
        DB 0

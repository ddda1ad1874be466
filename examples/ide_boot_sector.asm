; A boot sector for the disk tests, of the kind an Elf/OS disk starts with: the
; BIOS (or examples/ide_boot_rom.asm) reads it to 0100H, checks 0100-0140H and
; enters it at 0106H with P = 3. It says hello, writes itself out to LBA 2,
; reads that back to 0400H, says whether the two are the same, and stops.
; Only the first half of the sector is here (0100-01FFH); the second holds the
; filesystem's fields, which the disk keeps. Build it with
; cosmac-asm --syntax a18 --format bin.

F_MSG   EQU 0FF09H              ; the BIOS's vectors
F_IDEWRITE EQU 0FF39H
F_IDEREAD EQU 0FF3CH

        ORG 0100H
        DB "cosmac"
        BR main                 ; 0106H: where the BIOS enters
hello:  DB "Booted from LBA 0\r\n", 0
        ORG 0140H
        DB 30H                  ; makes the BIOS's check of 0100-0140H come to 60H
main:   LOAD RF, hello
        CALL F_MSG
        LDI 2                   ; LBA 2; R8 is still 0E000H, LBA 27-16 of 0
        PLO R7
        LOAD RF, 0100H
        CALL F_IDEWRITE
        LBDF failed
        LOAD RF, 0400H
        CALL F_IDEREAD
        LBDF failed
        LOAD RD, 0100H
        LOAD RF, 0400H
        LOAD RC, 512
compare:
        LDA RD
        STR R2
        LDA RF
        XOR
        BNZ differ
        DEC RC
        GLO RC
        BNZ compare
        GHI RC
        BNZ compare
        LOAD RF, same
        BR done
differ: LOAD RF, other
        BR done
failed: LOAD RF, error
done:   CALL F_MSG
        IDLE

same:   DB "LBA 2 written and read back the same\r\n", 0
other:  DB "LBA 2 read back different\r\n", 0
error:  DB "?DISK ERROR\r\n", 0

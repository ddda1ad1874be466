; *******************************************************************
; *** bios.asm -- a BIOS for an Elf-style 1802 board, in Asm/02's  ***
; *** notation.  It is written for cosmac's tests: its bytes are   ***
; *** checked against a table worked out by hand and against its   ***
; *** own listing, so it is never run on a board.                  ***
; *******************************************************************
;
; Build (14 November 2023 22:13:20 UTC, build 12):
;   SOURCE_DATE_EPOCH=1700000000 cosmac-asm bios.asm --syntax asm02 \
;       --build 12 -I include --format hex
;
; The BIOS fills f000-ffff.  Programs reach it only through the jump
; table at ff00, whose entries never move from one version to the next;
; the code behind them may.  The last nine bytes of the ROM hold the
; version and the build stamp.
;
; Conventions, as Elf/OS programs expect them:
;   R2  the stack, and X is always 2.  The stack pointer points at the
;       first free byte: STXD pushes, IRX then LDX pops.
;   R3  the program counter of every routine called through SCRT.
;   R4  the SCRT call routine:   SEP R4, then the routine's address.
;   R5  the SCRT return routine: SEP R5.
;   R6  the return address; a routine may read data that follows its
;       call through R6 (f_inmsg does), which moves the return past it.
;   RE  RE.0 carries D across a call and a return; RE.1 is the serial
;       line's bit time.  No other routine may keep anything in RE.
;   DF  a routine's yes or no, or its error (DF = 1), unless said.
;
; Registers a routine does not name as its output are kept, except D,
; DF and RE.0.
;
; Changes:
;   1.2.7  f_idewrite waits for the drive to finish before it returns.
;   1.2.6  the monitor's E command refuses a word that is not hex.
;   1.2.5  f_intout prints -32768.
;   1.2.0  the autobaud; the monitor's V command.
;   1.1.0  the IDE boot retries.
;   1.0.0  first version.

#include bios.inc               ; ports, RAM, switches and SCRT names
#include ops.inc                ; BRNZ, DBNZ, CLR and the other user ops

#ifndef SERIAL_EF
#error bios.inc must say which EF line the serial input uses
#endif
#if SERIAL_EF < 1 || SERIAL_EF > 4  ; || is bitwise, as in Asm/02
#error SERIAL_EF must be 1 to 4
#endif

            org     0f000h

; *******************************************************************
; *** Cold start.  The board's jump-on-reset logic runs the ROM at ***
; *** f000 after a reset, with P = 0, X = 0 and R0 = f000.  The     ***
; *** BIOS moves to R3 at once, so that SCRT works.                ***
; *******************************************************************
ColdBoot:   mov     pc, Start           ; R0 was the program counter
            sep     pc
Start:      mov     sp, STACK_TOP
            sex     sp
            mov     scall, scrt_call
            mov     sret, scrt_return
#if TX_IDLE_Q ; the line idles at mark
            seq
#else
            req
#endif
#ifdef AUTOBAUD
            call    BaudTime            ; wait for an Enter and time it
#endif
            br      SignOn              ; over the SCRT routines

; *******************************************************************
; *** SCRT call: SEP R4, followed by the routine's address.  The   ***
; *** caller's R6 goes on the stack, R6 takes the caller's program ***
; *** counter, which points at the address, and R3 the address     ***
; *** itself.  D is carried across in RE.0.  The routine is left   ***
; *** with SEP R3 at scrt_call-1, so that R4 points at scrt_call   ***
; *** again.                                                       ***
; *******************************************************************
            sep     pc                  ; into the routine called
scrt_call:  plo     re                  ; keep D
            ghi     link                ; push the caller's R6
            stxd
            glo     link
            stxd
            ghi     pc                  ; R6 = where the address is
            phi     link
            glo     pc
            plo     link
            lda     link                ; R3 = the address; R6 moves
            phi     pc                  ; past it, to the return
            lda     link
            plo     pc
            glo     re                  ; D as the caller left it
            br      scrt_call-1

; *******************************************************************
; *** SCRT return: SEP R5.  R3 takes the return address from R6   ***
; *** and R6 is popped; D is carried across in RE.0.              ***
; *******************************************************************
            sep     pc                  ; back to the caller
scrt_return: plo    re                  ; keep D
            ghi     link                ; R3 = the return address
            phi     pc
            glo     link
            plo     pc
            inc     sp                  ; pop the caller's R6
            lda     sp
            plo     link
            ldn     sp
            phi     link
            glo     re                  ; D as the routine left it
            br      scrt_return-1

; *******************************************************************
; *** The sign-on, then the boot from the disk.                    ***
; *******************************************************************
SignOn:     call    ShowVersion
            mov     rf, Notice
            call    b_msg

; *******************************************************************
; *** BootDisk: reset the drive, read its sector 0 to 0100 and run ***
; *** it at 0106, after the sector's header, trying IDE_TRIES      ***
; *** times.  Elf/OS's boot sector finds the kernel itself.        ***
; *******************************************************************
BootDisk:   call    b_idereset
            bdf     NoDisk              ; no drive answered
            ldi     IDE_TRIES
            plo     rb                  ; rb.0: tries left
BootTry:    clr     r7                  ; LBA 0
            clr     r8
            mov     rf, BOOT_LOAD
            call    b_ideread
            bnf     Booted
            dec     rb
            glo     rb
            bnz     BootTry
            br      NoDisk
Booted:     GOTO    BOOT_RUN            ; the boot sector's code

NoDisk:     call    b_inmsg
            db      'No disk'13,10,0
#ifdef MINIMON
            GOTO    Monitor
#else
            idl                         ; nothing more to do
            br      NoDisk
#endif

; *******************************************************************
; *** ShowVersion: types the BIOS's name, its version, the build  ***
; *** number and the date of the build from the version block at  ***
; *** the end of the ROM.                                         ***
; *** Uses: RA, RD, RF (kept)                                     ***
; *******************************************************************
ShowVersion: push   ra
            push    rd
            push    rf
            call    b_inmsg
            db      CR,LF,'cosmac Elf BIOS ',VER_MAJOR+'0','.',VER_MINOR+'0'
            db      '.',VER_REV+'0',' build ',0
            mov     ra, VerBuild
            lda     ra                  ; the build number, high byte first
            phi     rd
            ldn     ra
            plo     rd
            call    PrintNum
            ldi     ' '
            call    b_type
            mov     ra, VerMonth        ; month/day/year
            lda     ra
            call    PrintByte
            ldi     '/'
            call    b_type
            lda     ra
            call    PrintByte
            ldi     '/'
            call    b_type
            lda     ra                  ; the year is a word
            phi     rd
            ldn     ra
            plo     rd
            call    PrintNum
            call    b_inmsg
            db      CR,LF,0
            pop     rf
            pop     rd
            pop     ra
            rtn

; *******************************************************************
; *** PrintByte: types D in decimal.                               ***
; *** PrintNum:  types RD in decimal.                              ***
; *** Both build the text in OUT_BUF.                              ***
; *** Uses: RD (PrintByte's D), RF (kept)                          ***
; *******************************************************************
PrintByte:  plo     rd
            ldi     0
            phi     rd
PrintNum:   push    rf
            mov     rf, OUT_BUF
            call    b_uintout
            mov     rf, OUT_BUF
            call    b_msg
            pop     rf
            rtn

#ifdef AUTOBAUD
; *******************************************************************
; *** BaudTime: waits for an Enter and sets RE.1 from its start    ***
; *** bit.  CR is 0d, sent bit 0 first: after the start bit comes  ***
; *** a 1, so the line is at space for exactly one bit time.  The  ***
; *** counting loop takes two instructions a turn, as the delay    ***
; *** loops do, so the count is the bit time in their turns.  A    ***
; *** line slower than 256 turns a bit (about 490 baud at 4 MHz)   ***
; *** wraps the count, and is not supported.                       ***
; *******************************************************************
BaudTime:   
#if SERIAL_EF == 3
bt_idle:    bn3     bt_idle             ; at mark: wait for the start bit
#else
bt_idle:    bn2     bt_idle
#endif
            ldi     0
#if SERIAL_EF == 3
bt_count:   adi     1                   ; one more turn at space
            b3      bt_count
#else
bt_count:   adi     1
            b2      bt_count
#endif
            smi     2                   ; less the work around a delay
            bnz     bt_keep
            ldi     1                   ; a delay of 0 turns would be 256
bt_keep:    phi     re
            ldi     10                  ; let the rest of the Enter go by
            plo     re
bt_rest:    ghi     re
bt_bit:     smi     1
            bnz     bt_bit
            dec     re
            glo     re
            bnz     bt_rest
            rtn
#endif

; *******************************************************************
; *** b_type: sends D on the serial line.                          ***
; *** Returns: D as it was                                         ***
; *** The frame is built in RF and shifted out bit 0 first: a      ***
; *** start bit (0), the eight data bits and stop bits (1), eleven ***
; *** bits in all, so that two stop bits go out.  Q follows the    ***
; *** bit, inverted where the line idles with Q at 0.              ***
; *******************************************************************
b_type:     plo     re                  ; the character
            push    rf
            push    rd
            glo     re
            plo     rd                  ; kept for the return
            shl                         ; D = the data over a 0 start
            plo     rf                  ; bit, DF = data bit 7
            ldi     07fh                ; bit 7 below seven stop bits
            shlc
            phi     rf
            ldi     11                  ; start, 8 data, 2 stop bits
            phi     rd
tx_bit:     glo     rf
            shr                         ; DF = the bit to send
#if TX_IDLE_Q ; mark is Q = 1
            bdf     tx_mark
            req
            br      tx_wait
tx_mark:    seq
#else ; mark is Q = 0
            bdf     tx_mark
            seq
            br      tx_wait
tx_mark:    req
#endif
tx_wait:    ghi     re                  ; one bit time
tx_delay:   smi     1
            bnz     tx_delay
            shr16   rf                  ; the next bit to bit 0
            ghi     rd
            smi     1
            phi     rd
            bnz     tx_bit
            glo     rd                  ; the character again
            plo     re
            pop     rd
            pop     rf
            glo     re
            rtn

; *******************************************************************
; *** b_tty: as b_type, but a CR is followed by an LF.             ***
; *** Returns: D as it was                                         ***
; *******************************************************************
b_tty:      call    b_type
            xri     CR
            bnz     tty_done
            ldi     LF
            call    b_type
            ldi     0                   ; so that the CR comes back
tty_done:   xri     CR                  ; D as it was: x ^ CR ^ CR
            rtn

; *******************************************************************
; *** b_read: waits for a character on the serial line and         ***
; *** returns it in D, echoed when ECHO_INPUT is set.              ***
; *** It waits half a bit into the start bit, then a whole bit     ***
; *** before each data bit, which comes bit 0 first; a flag set    ***
; *** on the EF line is a space, a 0.                              ***
; *******************************************************************
b_read:     push    rf
#if SERIAL_EF == 3
rx_idle:    bn3     rx_idle             ; at mark: nothing yet
#else
rx_idle:    bn2     rx_idle
#endif
            ghi     re                  ; half a bit, to the start
            shr                         ; bit's middle
            bz      rx_start            ; (a bit time of 1 has no half)
rx_half:    smi     1
            bnz     rx_half
rx_start:   ldi     8
            plo     rf                  ; rf.0: bits to come
            ldi     0
            phi     rf                  ; rf.1: the character
rx_bit:     ghi     re                  ; a whole bit on
rx_delay:   smi     1
            bnz     rx_delay
            ghi     rf
            shr                         ; room at bit 7 for this bit
#if SERIAL_EF == 3
            b3      rx_zero             ; space: a 0
#else
            b2      rx_zero
#endif
            ori     80h                 ; mark: a 1
rx_zero:    phi     rf
            dec     rf
            glo     rf
            bnz     rx_bit
            ghi     re                  ; into the stop bit, so that the
rx_stop:    smi     1                   ; next start bit is not missed
            bnz     rx_stop
            ghi     rf
            plo     re
            pop     rf
            glo     re
#if ECHO_INPUT
            call    b_type              ; D comes back as it was
#endif
            rtn

; *******************************************************************
; *** b_msg: types the string at RF, up to its 0.                  ***
; *** Returns: RF past the 0                                       ***
; *******************************************************************
b_msg:      lda     rf
            bz      msg_done
            call    b_type
            br      b_msg
msg_done:   rtn

; *******************************************************************
; *** b_inmsg: types the string that follows the call, up to its   ***
; *** 0, and returns past it:                                      ***
; ***     call  f_inmsg                                            ***
; ***     db    'Hello'13,10,0                                     ***
; *******************************************************************
b_inmsg:    lda     link
            bz      inmsg_done
            call    b_type
            br      b_inmsg
inmsg_done: rtn

            .align  page                ; b_input's branches stay in one page
; *******************************************************************
; *** b_input: reads a line into the buffer at RF, at most RC      ***
; *** characters and a 0.  Backspace and DEL take the last         ***
; *** character back; Enter ends the line, ^C abandons it.         ***
; *** Returns: DF = 1 after ^C (the buffer then holds an empty     ***
; ***          line); RF and RC as they were                       ***
; *******************************************************************
b_input:    push    rf
            push    rc
            push    rb
            mov     rb, rc              ; rb: room left
in_next:    call    b_read
            plo     re
            xri     CR
            bz      in_done
            glo     re
            xri     CTRL_C
            bz      in_break
            glo     re
            xri     BS
            bz      in_back
            glo     re
            xri     DEL
            bz      in_back
            brnz    rb, in_keep         ; room for it?
            ldi     BS                  ; no: take the echo back
            call    b_type
            ldi     ' '
            call    b_type
            ldi     BS
            call    b_type
            br      in_next
in_keep:    glo     re
            str     rf
            inc     rf
            dec     rb
            br      in_next
in_back:    glo     rb                  ; at the start of the line,
            str     sp                  ; where the room left is RC?
            glo     rc
            sm
            bnz     in_erase
            ghi     rb
            str     sp
            ghi     rc
            sm
            bz      in_none
in_erase:   dec     rf                  ; take one back
            inc     rb
            ldi     ' '                 ; the echoed BS moved the cursor;
            call    b_type              ; blank the character and move
            ldi     BS                  ; back again
            call    b_type
            br      in_next
in_none:    ldi     ' '                 ; nothing to erase: undo the
            call    b_type              ; echo's move
            br      in_next
in_break:   pop     rb
            pop     rc
            pop     rf
            ldi     0
            str     rf                  ; an empty line
            ldi     1
            shr                         ; DF = 1
            rtn
in_done:    ldi     0
            str     rf
            pop     rb
            pop     rc
            pop     rf
            shr                         ; DF = 0 (D was 0)
            rtn

; *******************************************************************
; *** b_strcmp: compares the strings at RF and RD.                 ***
; *** Returns: D = 0 when they are equal, 1 when RF's is greater,  ***
; ***          ff when it is less; RF and RD past the point where  ***
; ***          they differ                                         ***
; *******************************************************************
b_strcmp:   lda     rd
            str     sp
            lda     rf
            sm                          ; RF's byte less RD's
            bnz     sc_differ
            ldx                         ; the same: was it the end?
            bnz     b_strcmp
            rtn                         ; D = 0: equal
sc_differ:  bdf     sc_greater          ; no borrow: RF's is greater
            ldi     0ffh
            rtn
sc_greater: ldi     1
            rtn

; *******************************************************************
; *** b_ltrim: moves RF past spaces and control characters, up to  ***
; *** the first other character or the 0.                          ***
; *******************************************************************
b_ltrim:    ldn     rf
            bz      lt_done             ; the end of the string
            smi     ' '+1
            bdf     lt_done             ; above a space
            inc     rf
            br      b_ltrim
lt_done:    rtn

; *******************************************************************
; *** b_strcpy: copies the string at RF, its 0 too, to RD.         ***
; *** Returns: RF and RD past the 0                                ***
; *******************************************************************
b_strcpy:   lda     rf
            str     rd
            inc     rd
            bnz     b_strcpy
            rtn

; *******************************************************************
; *** b_hexout4: RD as four hex digits at RF.                      ***
; *** b_hexout2: D as two hex digits at RF.                        ***
; *** Returns: RF past the digits                                  ***
; *** The byte waits below the stack top while its high digit is   ***
; *** made: a call pushes R6 over whatever is at the top itself.   ***
; *******************************************************************
b_hexout4:  ghi     rd
            call    b_hexout2
            glo     rd                  ; and on into b_hexout2
b_hexout2:  stxd                        ; keep the byte
            shr
            shr
            shr
            shr
            call    HexDigit            ; the high digit
            irx
            ldx                         ; the byte again
            ani     0fh                 ; and on into HexDigit

; *******************************************************************
; *** HexDigit: the hex digit for D (0-15) at RF, RF on past it.   ***
; *** D - 10 borrows for 0-9; a letter needs 7 more, the gap from  ***
; *** '9'+1 to 'A'.                                                ***
; *******************************************************************
HexDigit:   adi     0f6h                ; D - 10; DF = 1 for 10-15
            bnf     hd_digit
            adi     'A'-'0'-10
hd_digit:   adi     '0'+10
            str     rf
            inc     rf
            rtn

; *******************************************************************
; *** b_hexin: reads hex digits at RF into RD.                     ***
; *** Returns: RD the value (its low 16 bits), RF past the digits, ***
; ***          DF = 1 when there was at least one digit            ***
; *******************************************************************
b_hexin:    clr     rd
            ldi     0
            stxd                        ; the count of digits, below
hx_next:    ldn     rf                  ; the stack top
            call    b_ishex
            lbnf    hx_end
            call    b_toupper
            smi     '0'                 ; 0-9, or 17-22 for A-F
            str     sp
            smi     10
            bnf     hx_value            ; a decimal digit
            ldx
            smi     'A'-'0'-10
            str     sp
hx_value:   shl16   rd                  ; RD * 16
            shl16   rd
            shl16   rd
            shl16   rd
            glo     rd
            or                          ; and the digit
            plo     rd
            inc     rf
            irx                         ; one digit more
            ldx
            adi     1
            stxd
            lbr     hx_next
hx_end:     irx
            ldx
            bz      hx_none
            ldi     1
            shr                         ; DF = 1: a value
            rtn
hx_none:    shr                         ; DF = 0: no digits
            rtn

; *******************************************************************
; *** b_atoi: reads decimal digits at RF into RD.                  ***
; *** Returns: RD the value (its low 16 bits), RF past the digits, ***
; ***          DF = 1 when there was at least one digit            ***
; *** RD * 10 is RD * 4 + RD, doubled, made in RC.                 ***
; *******************************************************************
b_atoi:     push    rc
            clr     rd
            ldn     rf                  ; a digit at all?
            call    b_isnum
            bnf     ai_none
ai_next:    ldn     rf
            call    b_isnum
            bnf     ai_end
            mov     rc, rd
            shl16   rd                  ; RD * 4
            shl16   rd
            glo     rc                  ; + RD: RD * 5
            str     sp
            glo     rd
            add
            plo     rd
            ghi     rc
            str     sp
            ghi     rd
            adc
            phi     rd
            shl16   rd                  ; * 2: RD * 10
            lda     rf                  ; + the digit
            smi     '0'
            str     sp
            glo     rd
            add
            plo     rd
            ghi     rd
            adci    0
            phi     rd
            br      ai_next
ai_end:     pop     rc
            ldi     1
            shr                         ; DF = 1: a value
            rtn
ai_none:    pop     rc
            ldi     0
            shr                         ; DF = 0: no digits
            rtn

; *******************************************************************
; *** b_uintout: RD as an unsigned decimal number at RF, with no   ***
; *** leading zeros, and a 0 after it.                             ***
; *** Returns: RF at the 0; RD as it was                           ***
; *** Each power of ten in Powers is taken from RD as often as it  ***
; *** goes; the count is the digit.  RA holds the power, RB.1 the  ***
; *** digit and RB.0 whether a digit has been written yet.         ***
; *******************************************************************
b_uintout:  push    rd
            push    rc
            push    rb
            push    ra
            mov     rc, Powers
            ldi     0
            plo     rb                  ; no digit yet
uo_power:   lda     rc
            phi     ra
            lda     rc
            plo     ra
            ldi     0
            phi     rb                  ; the digit
uo_take:    glo     ra                  ; RD - the power
            str     sp
            glo     rd
            sm
            stxd                        ; its low byte, below the top
            ghi     ra
            str     sp
            ghi     rd
            smb
            irx                         ; (DF stays)
            bnf     uo_digit            ; it did not go
            phi     rd
            ldx
            plo     rd
            ghi     rb
            adi     1
            phi     rb
            br      uo_take
uo_digit:   ghi     rb
            bnz     uo_write            ; not a 0
            glo     rb
            bnz     uo_write            ; a 0 after another digit
            glo     ra
            xri     1
            bnz     uo_more             ; a leading 0; but the units
uo_write:   ghi     rb                  ; always show
            adi     '0'
            str     rf
            inc     rf
            ldi     1
            plo     rb
uo_more:    glo     ra                  ; the units were the last
            xri     1
            bnz     uo_power
            ldi     0
            str     rf
            pop     ra
            pop     rb
            pop     rc
            pop     rd
            rtn

Powers:     dw      10000,1000,100,10,1

; *******************************************************************
; *** b_intout: RD as a signed decimal number at RF, with a minus  ***
; *** sign when it is negative, and a 0 after it.                  ***
; *** Returns: RF at the 0; RD as it was                           ***
; *** -32768 is its own negative; as an unsigned number it is      ***
; *** 32768, which is what is printed after the sign.              ***
; *******************************************************************
b_intout:   ghi     rd
            shl                         ; DF = the sign
            bnf     b_uintout           ; not negative
            push    rd
            ldi     '-'
            str     rf
            inc     rf
            glo     rd                  ; RD = 0 - RD
            sdi     0
            plo     rd
            ghi     rd
            sdbi    0
            phi     rd
            call    b_uintout
            pop     rd
            rtn

; *******************************************************************
; *** b_mul16: RF * RD into RC, the low 16 bits of the product.    ***
; *** Returns: RF and RD as they were                              ***
; *** For each bit of RD, from bit 0, RF is added when the bit is  ***
; *** 1, and doubled.                                              ***
; *******************************************************************
b_mul16:    push    rf
            push    rd
            clr     rc
mu_next:    brnz    rd, mu_bit          ; bits left to do?
            pop     rd
            pop     rf
            rtn
mu_bit:     shr16   rd                  ; DF = its lowest bit
            bnf     mu_double
            glo     rf                  ; RC += RF
            str     sp
            glo     rc
            add
            plo     rc
            ghi     rf
            str     sp
            ghi     rc
            adc
            phi     rc
mu_double:  shl16   rf
            br      mu_next

; *******************************************************************
; *** b_div16: RF / RD.                                            ***
; *** Returns: RF the quotient, RC the remainder; RD as it was.    ***
; ***          A division by 0 gives ffff and RF as the remainder. ***
; *** Sixteen turns of shift and subtract: RF's top bit goes into  ***
; *** RC, and where RD goes into RC the quotient bit, at RF's      ***
; *** bit 0, is 1.                                                 ***
; *******************************************************************
b_div16:    push    ra
            clr     rc
            ldi     16
            plo     ra                  ; ra.0: turns left
dv_turn:    shl16   rf                  ; DF = the dividend's top bit
            glo     rc
            shlc
            plo     rc
            ghi     rc
            shlc
            phi     rc
            glo     rd                  ; RC - RD
            str     sp
            glo     rc
            sm
            stxd                        ; its low byte, below the top
            ghi     rd
            str     sp
            ghi     rc
            smb
            irx
            bnf     dv_next             ; RD did not go
            phi     rc
            ldx
            plo     rc
            inc     rf                  ; the quotient bit
dv_next:    dec     ra
            glo     ra
            bnz     dv_turn
            pop     ra
            rtn

; *******************************************************************
; *** Character classes.  Each takes the character in D, returns  ***
; *** it in D as it was, and says yes with DF = 1.                 ***
; *** b_isnum: '0'-'9'                                             ***
; *** b_ishex: '0'-'9', 'A'-'F' and 'a'-'f'                        ***
; *** b_isalpha: 'A'-'Z' and 'a'-'z'                               ***
; *** The character waits in RE.0, which no call below touches.    ***
; *******************************************************************
b_isnum:    plo     re
            smi     '0'
            bnf     is_no               ; below '0'
            smi     10
            bdf     is_no               ; above '9'
is_yes:     ldi     1
            shr                         ; DF = 1
            glo     re
            rtn
is_no:      ldi     0
            shr                         ; DF = 0
            glo     re
            rtn

b_ishex:    plo     re
            smi     '0'
            bnf     is_no
            smi     10
            bnf     is_yes              ; '0'-'9'
            glo     re
            ani     0dfh                ; a letter's upper case
            smi     'A'
            bnf     is_no
            smi     6
            bnf     is_yes              ; 'A'-'F'
            br      is_no

b_isalpha:  plo     re
            ani     0dfh                ; upper case, if a letter
            smi     'A'
            bnf     is_no
            smi     26
            bnf     is_yes              ; 'A'-'Z'
            br      is_no

; *******************************************************************
; *** b_toupper: D in upper case when it is a lower case letter.   ***
; *******************************************************************
b_toupper:  plo     re
            smi     'a'
            bnf     tu_keep             ; below 'a'
            smi     26
            bdf     tu_keep             ; above 'z'
            glo     re
            smi     'a'-'A'
            rtn
tu_keep:    glo     re
            rtn

; *******************************************************************
; *** The IDE drive.  A register is reached by latching its number ***
; *** through IDE_SELECT, then writing or reading IDE_DATA.  The   ***
; *** sector's address is 28 bits: R8.1 (bits 24-27), R8.0 (bits  ***
; *** 16-23) and R7 (bits 0-15).  Every routine returns DF = 1     ***
; *** when the drive reports an error or does not answer.          ***
; *******************************************************************

; *******************************************************************
; *** IdeWait: waits while the drive is busy, some 65,000 reads at ***
; *** most.  A missing drive reads ff, which is busy forever.      ***
; *** Returns: D the status; DF = 1 after an error or the timeout  ***
; *******************************************************************
IdeWait:    push    rc
            mov     rc, 0ffffh
            outn    IDE_SELECT, IDE_R_STATUS
iw_poll:    inp     IDE_DATA            ; the status, at M(R2) too
            ani     IDE_BSY
            bz      iw_ready
            dbnz    rc, iw_poll
            pop     rc
            ldi     1
            shr                         ; DF = 1: no answer
            ldi     0ffh
            rtn
iw_ready:   pop     rc
            inp     IDE_DATA            ; once more, for its error bit
            shr                         ; DF = ERR (bit 0)
            ldx                         ; D = the status
            rtn

; *******************************************************************
; *** IdeDrq: waits until the drive asks for the data (DRQ).       ***
; *** Returns: DF = 1 after an error or a timeout                  ***
; *******************************************************************
IdeDrq:     call    IdeWait
            bdf     dq_done             ; an error: DF = 1
            ani     IDE_DRQ
            bnz     dq_done             ; DF is 0 from IdeWait
            ldi     1
            shr                         ; no DRQ and no error: a fault
dq_done:    rtn

; *******************************************************************
; *** IdeAddress: waits for the drive, then gives it R8:R7 as the  ***
; *** sector and a count of 1.                                     ***
; *** Returns: DF = 1 after an error or a timeout                  ***
; *******************************************************************
IdeAddress: call    IdeWait
            lbdf    ia_done
            outn    IDE_SELECT, IDE_R_COUNT
            outn    IDE_DATA, 1
            outn    IDE_SELECT, IDE_R_LBA0
            glo     r7
            outd    IDE_DATA
            outn    IDE_SELECT, IDE_R_LBA1
            ghi     r7
            outd    IDE_DATA
            outn    IDE_SELECT, IDE_R_LBA2
            glo     r8
            outd    IDE_DATA
            outn    IDE_SELECT, IDE_R_HEAD
            ghi     r8
            ani     0fh                 ; LBA bits 24-27
            ori     IDE_LBA_MODE
            outd    IDE_DATA
            ldi     0
            shr                         ; DF = 0
ia_done:    rtn

; *******************************************************************
; *** IdeCommand: gives the drive the command in D.                ***
; *******************************************************************
IdeCommand: stxd                        ; keep the command
            outn    IDE_SELECT, IDE_R_COMMAND
            irx
            out     IDE_DATA            ; the command; R2 moves up,
            dec     sp                  ; so back down
            rtn

; *******************************************************************
; *** b_idereset: resets the drive and turns on 8-bit transfers.   ***
; *** Returns: DF = 1 when no drive answered                       ***
; *******************************************************************
b_idereset: outn    IDE_SELECT, IDE_R_CONTROL
            outn    IDE_DATA, 04h       ; soft reset ...
            outn    IDE_DATA, 00h       ; ... and its end
            call    IdeWait
            bdf     ir_done
            outn    IDE_SELECT, IDE_R_FEATURES
            outn    IDE_DATA, IDE_FEAT_8BIT
            ldi     IDE_CMD_FEAT
            call    IdeCommand
            call    IdeWait             ; DF = 1 if it was refused
ir_done:    rtn

; *******************************************************************
; *** b_ideread: reads sector R8:R7 into the 512 bytes at RF.      ***
; *** Returns: RF past them; DF = 1 after an error                 ***
; *******************************************************************
b_ideread:  call    IdeAddress
            bdf     rd_done
            ldi     IDE_CMD_READ
            call    IdeCommand
            call    IdeDrq
            bdf     rd_done
            push    rc
            outn    IDE_SELECT, IDE_R_DATA
            mov     rc, SECTOR_SIZE
rd_byte:    inp     IDE_DATA
            str     rf
            inc     rf
            dbnz    rc, rd_byte
            pop     rc
            call    IdeWait             ; DF = 1 if it went wrong
rd_done:    rtn

; *******************************************************************
; *** b_idewrite: writes the 512 bytes at RF to sector R8:R7, and  ***
; *** waits until the drive has written them.                      ***
; *** Returns: RF past them; DF = 1 after an error                 ***
; *******************************************************************
b_idewrite: call    IdeAddress
            bdf     wr_done
            ldi     IDE_CMD_WRITE
            call    IdeCommand
            call    IdeDrq
            bdf     wr_done
            push    rc
            outn    IDE_SELECT, IDE_R_DATA
            mov     rc, SECTOR_SIZE
wr_byte:    lda     rf
            outd    IDE_DATA
            dbnz    rc, wr_byte
            pop     rc
            call    IdeWait             ; the write is done
wr_done:    rtn

#ifdef RTC
; *******************************************************************
; *** b_gettod: the time of day from the clock chip, where one is  ***
; *** fitted.  This board has none.                                ***
; *******************************************************************
b_gettod:   outn    IDE_SELECT, 80h     ; the clock chip's seconds
            inp     IDE_DATA
            rtn
#endif

#ifdef MINIMON
; *******************************************************************
; *** The monitor: a prompt, a line, and a command letter looked   ***
; *** up in CmdTable.  A command's routine is entered through the  ***
; *** return routine, as if a call to it had just returned: R6 is  ***
; *** pushed and set to the routine, which then runs in R3 and     ***
; *** may call through SCRT.  Each ends by going back to Monitor.  ***
; *******************************************************************
Monitor:    mov     sp, STACK_TOP       ; whatever ran before
            call    b_inmsg
            db      CR,LF,'>',0
            mov     rf, LINE_BUF
            mov     rc, LINE_MAX
            call    b_input
            bdf     Monitor             ; ^C: a new line
            call    b_inmsg
            db      CR,LF,0
            mov     rf, LINE_BUF
            call    b_ltrim
            ldn     rf
            bz      Monitor             ; an empty line
            call    b_toupper
            plo     rb                  ; rb.0: the command's letter
            inc     rf
            mov     rd, CmdTable
mn_find:    lda     rd
            lbz     mn_unknown          ; the table's end
            str     sp
            glo     rb
            xor
            lbz     mn_found
            inc     rd                  ; past the routine's address
            inc     rd
            lbr     mn_find
mn_found:   lda     rd
            phi     ra
            lda     rd
            plo     ra
            push    link                ; what the return routine pops
            mov     link, ra            ; and where it goes
            rtn
mn_unknown: call    b_inmsg
            db      '?'13,10,0
            lbr     Monitor

; *******************************************************************
; *** The monitor's commands, a letter and a routine each.         ***
; *******************************************************************
CmdTable:   cmd     'D', MonDump        ; D addr [count]: dump memory
            cmd     'E', MonEnter       ; E addr byte ...: enter bytes
            cmd     'R', MonRun         ; R addr: run, with P = 0
            cmd     'B', MonBoot        ; B: boot from the disk
            cmd     'V', MonVersion     ; V: the version
            cmd     '?', MonHelp        ; ?: this list
            db      0

; *******************************************************************
; *** MonArg: the next hex word on the line, in RD.                ***
; *** Returns: DF = 1 when there was one                           ***
; *******************************************************************
MonArg:     call    b_ltrim
            call    b_hexin
            rtn

; *******************************************************************
; *** D addr [count]: sixteen bytes a line, as                     ***
; ***     7f00: 44 20 37 66 30 30 ...                              ***
; *** 64 bytes when no count is given.  RA walks the memory, RC    ***
; *** counts, RB.0 counts the bytes on a line; the line is built   ***
; *** in OUT_BUF and typed with b_msg.                             ***
; *******************************************************************
MonDump:    call    MonArg
            lbnf    MonBad
            mov     ra, rd
            mov     rc, 64
            call    MonArg
            bnf     md_line             ; no count: 64
            mov     rc, rd
md_line:    mov     rf, OUT_BUF
            mov     rd, ra
            call    b_hexout4           ; the address
            ldi     ':'
            str     rf
            inc     rf
            ldi     16
            plo     rb
md_byte:    ldi     ' '
            str     rf
            inc     rf
            lda     ra
            call    b_hexout2
            dec     rc
            brnz    rc, md_more
            br      md_end              ; the count is done
md_more:    dec     rb
            glo     rb
            bnz     md_byte
md_end:     ldi     CR
            str     rf
            inc     rf
            ldi     LF
            str     rf
            inc     rf
            ldi     0
            str     rf
            mov     rf, OUT_BUF
            call    b_msg
            brnz    rc, md_line
            GOTO    Monitor

; *******************************************************************
; *** E addr byte ...: stores the bytes from addr on; a word that  ***
; *** is not hex stops it with a ?.  The address after the last    ***
; *** byte is kept in MON_ADDR.                                    ***
; *******************************************************************
MonEnter:   call    MonArg
            lbnf    MonBad
            mov     ra, rd
me_next:    call    b_ltrim
            ldn     rf
            bz      me_done             ; the end of the line
            call    b_hexin
            lbnf    MonBad
            glo     rd
            str     ra
            inc     ra
            br      me_next
me_done:    mov     rd, MON_ADDR
            ghi     ra
            str     rd
            inc     rd
            glo     ra
            str     rd
            GOTO    Monitor

; *******************************************************************
; *** R addr: runs the program at addr with P = 0 and X = 2, the   ***
; *** stack and SCRT as the BIOS set them; a program that ends     ***
; *** with SEP R5 returns into the monitor.                        ***
; *******************************************************************
MonRun:     call    MonArg
            lbnf    MonBad
            mov     dma, rd
            push    link                ; for the program's SEP R5
            mov     link, Monitor
            sep     dma

; *** B: boot as at a reset, without the sign-on.
MonBoot:    GOTO    BootDisk

; *** V: the version and the build stamp.
MonVersion: call    ShowVersion
            GOTO    Monitor

; *** ?: what the monitor takes.
MonHelp:    call    b_inmsg
            db      'D addr [count]  dump',13,10
            db      'E addr byte ... enter',13,10
            db      'R addr          run',13,10
            db      'B               boot',13,10
            db      'V               version'13,10,0
            GOTO    Monitor

MonBad:     call    b_inmsg
            db      '?'13,10,0
            GOTO    Monitor
#else
Monitor:    equ     ColdBoot            ; no monitor: f_minimon restarts
#endif

; *******************************************************************
; *** The jump table.  Its addresses are the BIOS's interface and  ***
; *** never move; each entry is a long branch to its routine.      ***
; *******************************************************************
            org     0ff00h
f_boot:     lbr     ColdBoot            ; ff00: a cold start
f_type:     lbr     b_type              ; ff03: D out on the serial line
f_read:     lbr     b_read              ; ff06: D in from it
f_msg:      lbr     b_msg               ; ff09: the string at RF out
f_input:    lbr     b_input             ; ff0c: a line into RF
f_strcmp:   lbr     b_strcmp            ; ff0f: compare RF and RD
f_ltrim:    lbr     b_ltrim             ; ff12: RF past blanks
f_strcpy:   lbr     b_strcpy            ; ff15: RF's string to RD
f_memcpy:   lbr     b_memcpy            ; ff18: RC bytes from RF to RD
f_inmsg:    lbr     b_inmsg             ; ff1b: the string after the call
f_hexout2:  lbr     b_hexout2           ; ff1e: D in hex at RF
f_hexout4:  lbr     b_hexout4           ; ff21: RD in hex at RF
f_hexin:    lbr     b_hexin             ; ff24: hex at RF into RD
f_atoi:     lbr     b_atoi              ; ff27: decimal at RF into RD
f_uintout:  lbr     b_uintout           ; ff2a: RD in decimal at RF
f_intout:   lbr     b_intout            ; ff2d: RD signed, at RF
f_mul16:    lbr     b_mul16             ; ff30: RF * RD into RC
f_div16:    lbr     b_div16             ; ff33: RF / RD, remainder RC
f_tty:      lbr     b_tty               ; ff36: D out, CR with an LF
f_isnum:    lbr     b_isnum             ; ff39: DF = D is a digit
f_ishex:    lbr     b_ishex             ; ff3c: DF = D is hex
f_isalpha:  lbr     b_isalpha           ; ff3f: DF = D is a letter
f_toupper:  lbr     b_toupper           ; ff42: D in upper case
f_idereset: lbr     b_idereset          ; ff45: reset the drive
f_ideread:  lbr     b_ideread           ; ff48: sector R8:R7 to RF
f_idewrite: lbr     b_idewrite          ; ff4b: RF to sector R8:R7
#ifdef AUTOBAUD
f_setbd:    lbr     BaudTime            ; ff4e: time an Enter again
#else
f_setbd:    lbr     b_nothing           ; ff4e: the baud is fixed
#endif
f_minimon:  lbr     Monitor             ; ff51: the monitor
f_version:  lbr     b_version           ; ff54: RF = the version block

; *******************************************************************
; *** b_version: RF at the version block: major, minor and         ***
; *** revision, then the build's month, day, year (a word) and     ***
; *** number (a word), words high byte first.                      ***
; *******************************************************************
b_version:  mov     rf, VerBlock
b_nothing:  rtn

Notice:     db      'A cosmac test BIOS'13,10,0

; *******************************************************************
; *** b_memcpy: copies RC bytes from RF to RD.                     ***
; *** Returns: RF and RD past them, RC 0                           ***
; *******************************************************************
b_memcpy:   brnz    rc, mc_byte         ; nothing to copy?
            rtn
mc_byte:    lda     rf
            str     rd
            inc     rd
            dbnz    rc, mc_byte
            rtn

; *******************************************************************
; *** The version block, the last bytes of the ROM.                ***
; *******************************************************************
            org     0fff7h
VerBlock:   db      VER_MAJOR,VER_MINOR,VER_REV
VerMonth:   db      [month],[day]
VerYear:    dw      [year]
VerBuild:   dw      [build]
            end     ColdBoot

; hello: prints a greeting through the console service.
;   cosmac-asm hello.asm && cosmac hello     then at the prompt: g 0

        ORG 0
start:  LDI HIGH(message)   ; R7 -> message
        PHI R7
        LDI LOW(message)
        PLO R7
next:   LDA R7              ; D = next character, R7 + 1
        BZ done             ; a 00 ends the message
        PUTC                ; 68 01: D to the screen (0D starts a new line)
        BR next
done:   IDLE

message:
        DB "Hello, world!", 0D, 0

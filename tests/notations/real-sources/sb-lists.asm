; A table-driven routine as SB-Assembler 3 sources write it: lists with and
; without blanks after their commas, comments with no semicolon, .NO to the
; next table's address, and a local label.
            .CR     1802
            .OR     $0100
START       LDI     #TABLE          point R7 at the table
            PLO     7
            LDI     /TABLE
            PHI     7
.LOOP       LDA     7               next entry, ends at 00
            BNZ     .LOOP
            IDL
            .NO     $0110,$FF       tables start on a round address
TABLE       .DB     0, 2, 4, 6, 8, 10, 12, 14      even numbers, as written with blanks
            .DB     1,3,5,7,9,11,13,15             odd numbers, without
            .DB     $10,  $20,	$30 two blanks, then a tab
            .DA     START, /TABLE,#TABLE            a word and two bytes
            .AS     /OK/, #13, #10 text and bytes
            .NO     $0140
            .DB     0

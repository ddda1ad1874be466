.. Statements, labels and equates as RCA's free form lays them out.
        ORG #0010
ONE:    NOP;NOP;                ..A TRAILING ; ENDS NOTHING MORE
TWO:
THREE:  LDI 1,#02,#03           ..AN INSTRUCTION, THEN A DATA LIST
,#04,T'..;'                     ..A LINE OF DATA; .. AND ; IN TEXT
FIVE=5;SIX =6 ; SEVEN= 7
        DC FIVE,SIX,SEVEN,A(TWO),A(THREE)
        LDI#08                  ..NO BLANK AFTER THE MNEMONIC
        SEP 3;SEX 2;LAST:
        DC A(LAST)              ..A LABEL ALONE AFTER A ;
        PLO #1F                 ..A REGISTER IS THE LOW FOUR BITS OF ITS VALUE

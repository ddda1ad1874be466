; A label alone, and one whose colon the mnemonic follows at once.
alone
x:NOP
 BR alone

* Characters in expressions, text lists that end in a comma or hold a byte, and
* addresses whole or one byte of them.
 .DB 0+"B
 .DB 0+'B
 .AS "ab",
 .AS -"ab", #$41
 .DA #$1234,/$1234,$1234

* Characters in expressions, and text lists that end in a comma or hold a byte.
 .DB 0+"B
 .DB 0+'B
 .AS "ab",
 .AS -"ab", #$41

; TEXT takes strings with or without blanks or commas between them.
 TEXT "a"'b', "c" 'd'
; An escaped quote first in a quoted string.
 BYTE '\'x'

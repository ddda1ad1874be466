* Each line after this one has one error.
 .AS "ab\
 .DB 9Z
 .DB '

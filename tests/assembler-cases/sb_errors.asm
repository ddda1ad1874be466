* Each line after this one has one error.
 .AS "ab\
 .DB 9Z
 .DB '
 .NO
 .NO 5,1,2
 .NO ,1

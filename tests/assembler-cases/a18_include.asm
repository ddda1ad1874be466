; An include named in single quotes, in double quotes, and bare.
 INCL 'a18_included.inc'
 INCL "a18_included.inc"
 INCL a18_included.inc

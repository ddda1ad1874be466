; TEXT takes strings with or without blanks or commas between them.
 TEXT "a"'b', "c" 'd'

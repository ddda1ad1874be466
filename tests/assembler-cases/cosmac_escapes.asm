; Every escape, in a string and in a character.
 DB "\n\r\t\0\\\'\"", '\0'

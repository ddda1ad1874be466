.. DC items: text with a doubled quote and empty text, words at their limits,
.. A(...) and a value that is no constant (its low byte).
        ORG #0100
        DC T'A''B', T'''', T'', 1
        DC #FFFF, #00FF, #0100, A(#12)
        DC 0-32768
        LDI T'';LDI T''''       ..EMPTY TEXT, AND A QUOTE
        DC A(T'A'),A(T'A''B')
        DC A(#FFFF+1),A(0-#8001)

.. DC items: text with a doubled quote, words at their limits, A(...) and
.. a single hex byte.
        ORG #0100
        DC T'A''B', T'''', 1
        DC #FFFF, #00FF, #0100, A(#12)
        DC 0-32768

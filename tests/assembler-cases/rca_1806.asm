.. --cpu 1806: the 1804/1805/1806's instructions, with no switch in the source.
LOOP: GEC; BZ LOOP; RLDI 7,#1234

; -1805 on the command line stands for .1805: the source has no switch of its own.
 org 10h
wait: ldi 20h
 ldc
 stm
 bci wait
 dsav
 rsxd r6
 rnx r2
 dbnz r7,wait

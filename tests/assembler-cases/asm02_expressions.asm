; Numbers, selectors, functions and every level, checked at their edges;
; $ alone, last, is the location counter.
 dw $1F, %0101_1010, 0FFh, 255, 1234h.1, 1234h.0, 1234h.3, 1234h.2
 dw abs(0-5), abs(5), abs(0), sgn(7), sgn(0), sgn(0-7), high 1234h, low 1234h
 dw 1<<15, 8000h>>15, 0-1>>15, 6&3, 6|3, 6^3, 6&&3, 6||3, 17/5, 17%5
 dw 0ffffh+1, 0-8001h, 1==1, 1=2, 1 != 1, 2 != 1, 1<2, 2<1, 2>1, 1>2, 2<=2, 3<=2, 2>=3, 3>=3
 sep r0
 sep r9
 sep r15
 sep rF
 sep Ra
 dw $

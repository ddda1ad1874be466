; A value is kept as it is from -80000000 up to ffffffff; beyond, it wraps.
 LDI 0-80000000
 LDI 0-80000001
 LDI ffffffff+1

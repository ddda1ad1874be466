'use strict';
// Places in examples/printdec.asm that the tests stop at: each source line and
// the address of its code. The addresses were counted by hand from ORG 0 with
// the instructions' sizes (LDI, ADI, SMI, a short branch and PUTC = 68 01 take
// two bytes, Call = D4 hi lo three, every other one byte) and then checked
// against the listing that cosmac-asm -l writes; the labels' addresses agree
// with printdec.sym (main 0019, printdec 0034, divide 0037, div10 004e,
// bit 0054, scall 0069, sreturn 0079, stack 00ff).

const places = {
  entry: { line: 7, address: 0x0000 }, // init: LDI HIGH(stack), the lowest address loaded
  main: { line: 25, address: 0x0019 }, // LDI 04, after init's 18 instructions (0000-0018)
  firstCall: { line: 29, address: 0x001f }, // Call printdec, R7 = 04d2 (1234)
  afterFirstCall: { line: 30, address: 0x0022 }, // LDI 20, where printdec returns to
  secondCall: { line: 36, address: 0x002c }, // Call printdec, R7 = 0d80 (3456)
  afterSecondCall: { line: 37, address: 0x002f }, // LDI 0D
  idle: { line: 39, address: 0x0033 }, // IDLE
  printdec: { line: 43, address: 0x0034 }, // LDI 0: the label printdec stands alone on line 42
  callDiv10: { line: 45, address: 0x0037 }, // divide: Call div10
  afterDiv10: { line: 46, address: 0x003a }, // GHI R9, where div10 returns to
  digit: { line: 47, address: 0x003b }, // ADI 30
  putDigit: { line: 56, address: 0x0047 }, // PUTC in print's loop, D = the digit's character
  div10: { line: 64, address: 0x004e }, // LDI 10
  bit: { line: 68, address: 0x0054 }, // bit: GLO R7, once for each of the sixteen bits
  afterPushHigh: { line: 91, address: 0x006c }, // scall's GLO R6, after the STXD of R6.1 (006b)
  sreturnSep: { line: 103, address: 0x0078 }, // SEP R3 before sreturn: the last instruction of a return
};

// An address as the adapter writes a memory or instruction reference.
function reference(address) {
  return `0x${address.toString(16).padStart(4, '0')}`;
}

module.exports = { places, reference };

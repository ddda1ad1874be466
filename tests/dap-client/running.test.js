'use strict';
// Starting, running, stepping and ending a session of printdec, which prints
// 1234 and 3456 in decimal by calling printdec (and it div10) with the standard
// call technique. Where the program stands and what its registers hold after
// each request is worked out from the source; see printdec.js for the places.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { sessionTest, within, scratch, base64, bytesOf } = require('./session');
const { places, reference } = require('./printdec');

sessionTest('launch with stopOnEntry stops at the first instruction with every register 0', async (session) => {
  await session.start({ stopOnEntry: true });
  const [frame] = await session.frames();
  assert.equal(frame.line, places.entry.line);
  assert.equal(frame.source.path, session.source);
  assert.equal(frame.instructionPointerReference, reference(places.entry.address));
  // P is 0 at reset and R0 is set to the program's lowest address, 0000.
  assert.equal(await session.evaluate('P'), '0');
  assert.equal(await session.evaluate('R0'), '0000');
  assert.equal(await session.evaluate('R7'), '0000');
  assert.equal(session.output(), '');
});

sessionTest('a run to the end sends what PUTC printed as stdout output and stops at the IDLE', async (session) => {
  await session.start({ stopOnEntry: false });
  await session.next('stopped');
  // 04d2 = 1234 and 0d80 = 3456, a space (20) between them, a carriage return
  // (0D) after them, which the console shows as a new line.
  assert.equal(session.output(), '1234 3456\n');
  assert.equal(await session.line(), places.idle.line);
});

sessionTest('next steps over a Call: printdec runs and prints 1234', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.firstCall.line) });
  await session.run('continue', 'breakpoint');
  assert.equal(await session.line(), places.firstCall.line);
  assert.equal(await session.evaluate('R7'), '04d2');
  assert.equal(session.output(), '');

  await session.run('next', 'step');
  const [frame] = await session.frames();
  assert.equal(frame.line, places.afterFirstCall.line);
  assert.equal(frame.instructionPointerReference, reference(places.afterFirstCall.address));
  await session.waitForOutput('1234');
  assert.equal(session.output(), '1234');
  // printdec divides R7 by ten until the quotient is 0.
  assert.equal(await session.evaluate('R7'), '0000');
});

sessionTest('stepIn on a Call goes through the call routine to the first line of printdec', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.firstCall.line) });
  await session.run('continue', 'breakpoint');

  await session.run('stepIn', 'step');
  const [frame] = await session.frames();
  assert.equal(frame.line, places.printdec.line);
  assert.equal(frame.instructionPointerReference, reference(places.printdec.address));
  // scall left the return address (the byte after Call's address) in R6 and
  // made R3, the program counter of P = 3, the target.
  assert.equal(await session.evaluate('P'), '3');
  assert.equal(await session.evaluate('R6'), '0022');
  assert.equal(await session.evaluate('R3'), '0034');
  assert.equal(session.output(), '');
});

sessionTest('stepOut of div10 returns into printdec, and out of printdec into main', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.div10.line) });
  await session.run('continue', 'breakpoint');
  assert.equal(await session.line(), places.div10.line);
  await session.breakAt();

  // div10 returns 1234 / 10 = 123 = 007b in R7, the remainder 4 in R9.1, and
  // its count of sixteen bits has run down to 0 in R9.0.
  await session.run('stepOut', 'step');
  assert.equal(await session.line(), places.afterDiv10.line);
  assert.equal(await session.evaluate('R7'), '007b');
  assert.equal(await session.evaluate('R9'), '0400');
  assert.equal(session.output(), '');

  // Out of printdec, through its three more calls of div10 and its digits.
  await session.run('stepOut', 'step');
  const [frame] = await session.frames();
  assert.equal(frame.line, places.afterFirstCall.line);
  assert.equal(frame.instructionPointerReference, reference(places.afterFirstCall.address));
  await session.waitForOutput('1234');
  assert.equal(session.output(), '1234');
});

sessionTest('stepBack undoes one instruction and reverseContinue goes back to the previous hit', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.digit.line) });
  // ADI 30 after the first div10: D = R9.1 = 4, R7 = 1234 / 10 = 007b.
  await session.run('continue', 'breakpoint');
  assert.equal(await session.evaluate('D'), '04');
  assert.equal(await session.evaluate('R7'), '007b');
  // After the second: D = 123 mod 10 = 3, R7 = 12 = 000c.
  await session.run('continue', 'breakpoint');
  assert.equal(await session.evaluate('D'), '03');
  assert.equal(await session.evaluate('R7'), '000c');

  // Back over GHI R9: D is what sreturn's LDX last loaded, the high byte of
  // the R6 it restored, 0022's 00.
  await session.run('stepBack', 'step');
  const [frame] = await session.frames();
  assert.equal(frame.line, places.afterDiv10.line);
  assert.equal(frame.instructionPointerReference, reference(places.afterDiv10.address));
  assert.equal(await session.evaluate('D'), '00');
  assert.equal(await session.evaluate('R7'), '000c');

  // Back through the second call of div10 to the first hit, its values again.
  await session.run('reverseContinue', 'breakpoint');
  assert.equal(await session.line(), places.digit.line);
  assert.equal(await session.evaluate('D'), '04');
  assert.equal(await session.evaluate('R7'), '007b');
});

sessionTest('pause stops a program that never stops by itself', async (session) => {
  await session.start({ stopOnEntry: false });
  await new Promise((resolve) => setTimeout(resolve, 300));
  // The adapter must read requests while the program runs.
  await within(session.client.pauseRequest({ threadId: 1 }), 'response to pause while the program runs');
  await session.stopped('pause');
  // The loop (lines 2 to 8) counts its turns in R8:R7, thousands of them in
  // 300 ms. R7 alone would not do: a pause ends a run between stretches of
  // 4096 instructions, where a 16-bit count can be back at 0000.
  const line = await session.line();
  assert.ok(line >= 2 && line <= 8, `stopped at line ${line}`);
  assert.notEqual((await session.evaluate('R8')) + (await session.evaluate('R7')), '00000000');
}, { source: spinSource() });

// A program that only loops, written into the scratch directory.
function spinSource() {
  const source = path.join(scratch, 'spin.asm');
  fs.mkdirSync(scratch, { recursive: true });
  fs.writeFileSync(source, [
    '        ORG 0',
    'spin:   INC R7',
    '        GLO R7',
    '        BNZ spin',
    '        GHI R7',
    '        BNZ spin',
    '        INC R8',
    '        BR spin',
    ''].join('\n'));
  return source;
}

sessionTest('restart loads the program again and stops on entry as the launch asked', async (session) => {
  await session.start({ stopOnEntry: true });
  await session.breakAt(places.afterDiv10.line);
  // LDI 04 at 0019 becomes LDI 00, so that R7 would be 00d2 = 210 and div10's
  // first remainder 0 instead of 4.
  await session.client.customRequest('writeMemory', { memoryReference: reference(places.main.address), offset: 1, data: base64([0x00]) });
  await session.run('continue', 'breakpoint');
  assert.equal(await session.evaluate('R9'), '0000');

  await session.client.restartRequest({ arguments: { program: session.program, stopOnEntry: true } });
  // A client answers an initialized event with its configuration, as VS Code
  // does after a restart too; the breakpoints stay the adapter's either way.
  const event = await session.nextOf(['stopped', 'initialized']);
  if (event.event === 'initialized') {
    await session.client.configurationDoneRequest();
    await session.stopped('entry');
  } else {
    assert.equal(event.body.reason, 'entry');
  }
  assert.equal(await session.line(), places.entry.line);
  assert.equal(await session.evaluate('R7'), '0000');
  const memory = await session.client.customRequest('readMemory', { memoryReference: reference(places.main.address), count: 2 });
  assert.deepEqual(bytesOf(memory), [0xf8, 0x04]);

  // The image again: 1234's first remainder, 4.
  await session.run('continue', 'breakpoint');
  assert.equal(await session.evaluate('R9'), '0400');
});

sessionTest('gotoTargets and goto move the program counter to a source line', async (session) => {
  await session.start({ stopOnEntry: true });
  const targets = (await session.client.gotoTargetsRequest({ source: { path: session.source }, line: places.main.line }))
    .body.targets;
  assert.ok(targets.length >= 1, 'a target for main\'s first line');
  assert.equal(targets[0].line, places.main.line);

  await session.client.gotoRequest({ threadId: 1, targetId: targets[0].id });
  await session.stopped('goto');
  const [frame] = await session.frames();
  assert.equal(frame.line, places.main.line);
  assert.equal(frame.instructionPointerReference, reference(places.main.address));
  // At entry P = 0, so R0 is the program counter that moved.
  assert.equal(await session.evaluate('R0'), '0019');
});

sessionTest('program input typed in the debug console after > reaches GETC, Enter as a carriage return', async (session) => {
  // echo reads keys with GETC (which echoes each upper-cased) and writes a new
  // line with PUTC 0D when the key was Enter (0D).
  await session.start({ stopOnEntry: false });
  await session.client.evaluateRequest({ expression: '>hi', context: 'repl' });
  await session.waitForOutput('HI\n');
  assert.match(session.output(), /^HI\n+$/);
  await session.client.evaluateRequest({ expression: '>ok', context: 'repl' });
  await session.waitForOutput('OK\n');
  assert.match(session.output(), /^HI\n+OK\n+$/);
}, { source: 'echo.asm' });

sessionTest('terminate ends the session with a terminated event, and the adapter exits', async (session) => {
  await session.start({ stopOnEntry: true });
  await session.client.terminateRequest();
  await session.next('terminated');
  assert.equal(await within(session.exited, 'exit of the adapter after terminate'), 0);
});

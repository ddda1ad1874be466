'use strict';
// Breakpoints of every kind the adapter offers, on printdec. printdec divides
// R7 by ten with div10 (quotient in R7, remainder in R9.1) until R7 is 0,
// pushing each digit's character, then prints them first to last: 1234 gives
// remainders 4, 3, 2, 1 and prints 31 32 33 34; 3456 (0d80) gives 6, 5, 4, 3
// and prints 33 34 35 36. See printdec.js for the places.

const assert = require('node:assert/strict');
const { sessionTest } = require('./session');
const { places, reference } = require('./printdec');

// The protocol names a stop at an instruction breakpoint "instruction
// breakpoint", at a function breakpoint "function breakpoint"; the adapter may
// call either a plain breakpoint. Both are taken, nothing else.
const atInstruction = ['instruction breakpoint', 'breakpoint'];
const atFunction = ['function breakpoint', 'breakpoint'];

sessionTest('a breakpoint on a source line stops there, with the calls that led to it as frames', async (session) => {
  await session.start({
    configure: async (s) => {
      const [breakpoint] = await s.breakAt(places.div10.line);
      assert.equal(breakpoint.verified, true);
      assert.equal(breakpoint.line, places.div10.line);
      assert.equal(breakpoint.instructionReference, reference(places.div10.address));
    },
  });
  await session.run('continue', 'breakpoint');

  // main called printdec (Call at 001f, line 29, returning to 0022), which
  // called div10 (Call at 0037, line 45, returning to 003a). The return
  // address into printdec is in R6; the one into main was pushed by scall on
  // the R2 stack, at R2 + 1 and R2 + 2. A caller's frame is at its Call's line,
  // as other debuggers show the line of the call.
  const frames = await session.frames();
  assert.deepEqual(
    frames.map((frame) => frame.line),
    [places.div10.line, places.callDiv10.line, places.firstCall.line],
  );
  assert.deepEqual(
    frames.map((frame) => frame.instructionPointerReference),
    [places.div10.address, places.afterDiv10.address, places.afterFirstCall.address].map(reference),
  );
  for (const frame of frames) assert.equal(frame.source.path, session.source);
  assert.equal(new Set(frames.map((frame) => frame.id)).size, 3, 'each frame has its own id');
  assert.equal(await session.evaluate('R6'), '003a');
  // Two calls pushed two return addresses from ff down: R2 = ff - 4.
  assert.equal(await session.evaluate('R2'), '00fb');
  assert.equal(await session.evaluate('R7'), '04d2');
});

sessionTest('a conditional breakpoint stops only where its condition holds', async (session) => {
  await session.start({
    configure: async (s) => {
      const [held, broken] = await s.breakAt(
        { line: places.putDigit.line, condition: 'D = 33 and R8 = 4' },
        { line: places.digit.line, condition: 'D >' },
      );
      assert.equal(held.verified, true);
      assert.equal(broken.verified, false, 'a condition without its right side is refused');
      assert.ok(broken.message, 'with a message saying why');
    },
  });
  // D = 33 ('3') is printed twice: from 1234 with R8 = 2 digits left on the
  // stack, and from 3456 as its first digit with R8 = 4: the second.
  await session.run('continue', 'breakpoint');
  assert.equal(await session.line(), places.putDigit.line);
  assert.equal(await session.evaluate('D'), '33');
  assert.equal(await session.evaluate('R8'), '0004');
  await session.waitForOutput('1234 ');
  assert.equal(session.output(), '1234 ');
});

sessionTest('a hit count breakpoint stops from its hit (a hex count) on', async (session) => {
  // bit: is reached sixteen times in each div10, so hit 11 (hex, 17) is the
  // first bit of the second div10: R9 = 0010 as div10's start set it, R7 = 007b
  // (1234 / 10) not shifted yet. A decimal 11 would stop in the first div10.
  await session.start({ configure: (s) => s.breakAt({ line: places.bit.line, hitCondition: '11' }) });
  await session.run('continue', 'breakpoint');
  assert.equal(await session.line(), places.bit.line);
  assert.equal(await session.evaluate('R9'), '0010');
  assert.equal(await session.evaluate('R7'), '007b');

  // Hit 18 stops too: one bit on, 007b shifted left (00f6); its top bit 0 went
  // into R9.1, which stays below ten, and the count is one less.
  await session.run('continue', 'breakpoint');
  assert.equal(await session.evaluate('R9'), '000f');
  assert.equal(await session.evaluate('R7'), '00f6');
});

sessionTest('a data breakpoint stops after the instruction that stored into the byte', async (session) => {
  await session.start({ stopOnEntry: true });
  // stack is equated to ff, where init points R2.
  const info = (await session.client.dataBreakpointInfoRequest({ name: 'stack' })).body;
  assert.equal(info.dataId, '00ff/1');
  assert.deepEqual(info.accessTypes, ['write']);
  assert.ok(info.description);
  const set = await session.client.setDataBreakpointsRequest({ breakpoints: [{ dataId: info.dataId, accessType: 'write' }] });
  assert.deepEqual(set.body.breakpoints.map((b) => b.verified), [true]);

  // Only scall stores at ff, pushing R6.1 with STXD (006b) when R2 = ff: on
  // main's first Call, with R3 just past the D4 (0020), and on its second
  // (R3 = 002d), after "1234 " was printed. Every other push is below.
  await session.run('continue', 'data breakpoint');
  let [frame] = await session.frames();
  assert.equal(frame.line, places.afterPushHigh.line);
  assert.equal(frame.instructionPointerReference, reference(places.afterPushHigh.address));
  assert.equal(await session.evaluate('R2'), '00fe');
  assert.equal(await session.evaluate('R3'), '0020');
  assert.equal(session.output(), '');

  await session.run('continue', 'data breakpoint');
  [frame] = await session.frames();
  assert.equal(frame.line, places.afterPushHigh.line);
  assert.equal(await session.evaluate('R3'), '002d');
  await session.waitForOutput('1234 ');
  assert.equal(session.output(), '1234 ');
});

sessionTest('an instruction breakpoint stops at its reference plus offset', async (session) => {
  await session.start({
    configure: async (s) => {
      // The Call div10 at 0037 takes three bytes: 0037 + 3 is the GHI R9 after it.
      const response = await s.client.customRequest('setInstructionBreakpoints', {
        breakpoints: [{ instructionReference: reference(places.callDiv10.address), offset: 3 }],
      });
      assert.deepEqual(response.body.breakpoints.map((b) => b.verified), [true]);
    },
  });
  await session.run('continue', atInstruction);
  const [frame] = await session.frames();
  assert.equal(frame.line, places.afterDiv10.line);
  assert.equal(frame.instructionPointerReference, reference(places.afterDiv10.address));
  assert.equal(await session.evaluate('R9'), '0400');
});

sessionTest('an instruction breakpoint takes a condition and a hit count', async (session) => {
  await session.start({
    configure: (s) =>
      s.client.customRequest('setInstructionBreakpoints', {
        breakpoints: [{ instructionReference: reference(places.putDigit.address), condition: 'D = 34', hitCondition: '2' }],
      }),
  });
  // '4' is printed last from 1234 and second from 3456: the second time.
  await session.run('continue', atInstruction);
  assert.equal(await session.evaluate('D'), '34');
  await session.waitForOutput('1234 3');
  assert.equal(session.output(), '1234 3');
});

sessionTest('a function breakpoint stops at the label of that name', async (session) => {
  await session.start({
    configure: async (s) => {
      const response = await s.client.setFunctionBreakpointsRequest({ breakpoints: [{ name: 'div10' }, { name: 'nowhere' }] });
      assert.deepEqual(response.body.breakpoints.map((b) => b.verified), [true, false]);
    },
  });
  await session.run('continue', atFunction);
  const [frame] = await session.frames();
  assert.equal(frame.line, places.div10.line);
  assert.equal(frame.instructionPointerReference, reference(places.div10.address));
});

sessionTest('a log point writes its message with values in hex and does not stop', async (session) => {
  await session.start({
    stopOnEntry: false,
    configure: (s) => s.breakAt({ line: places.putDigit.line, logMessage: 'digit {D} left {R8}' }),
  });
  // The run goes on to the IDLE; on the way each digit's PUTC logs D and R8
  // (the digits still on the stack, counted down after the PUTC).
  await session.next('stopped');
  assert.equal(await session.line(), places.idle.line);
  const logged = session.output('console').split('\n').map((line) => line.trim()).filter((line) => line.startsWith('digit'));
  assert.deepEqual(logged, [
    'digit 31 left 0004', 'digit 32 left 0003', 'digit 33 left 0002', 'digit 34 left 0001',
    'digit 33 left 0004', 'digit 34 left 0003', 'digit 35 left 0002', 'digit 36 left 0001',
  ]);
  assert.equal(session.output(), '1234 3456\n');
});

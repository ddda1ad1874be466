'use strict';
// What a client reads and changes in a stopped printdec: capabilities,
// scopes and registers, evaluate, memory and its disassembly. The bytes are
// those of printdec.asm's instructions (see printdec.js for the places).

const assert = require('node:assert/strict');
const { sessionTest, bytesOf, base64 } = require('./session');
const { places, reference } = require('./printdec');

sessionTest('initialize reports every capability the adapter serves', async (session) => {
  await session.start({ stopOnEntry: true });
  for (const capability of [
    'supportsConfigurationDoneRequest', 'supportsConditionalBreakpoints', 'supportsHitConditionalBreakpoints',
    'supportsEvaluateForHovers', 'supportsStepBack', 'supportsTerminateRequest', 'supportsLogPoints',
    'supportsInstructionBreakpoints', 'supportsFunctionBreakpoints', 'supportsDataBreakpoints',
    'supportsDisassembleRequest', 'supportsReadMemoryRequest', 'supportsWriteMemoryRequest', 'supportsSetVariable',
    'supportsRestartRequest', 'supportsGotoTargetsRequest', 'supportsSteppingGranularity',
  ]) {
    assert.equal(session.capabilities[capability], true, capability);
  }
});

sessionTest('scopes are the registers and the memory near R(X) and near R2', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.div10.line) });
  await session.run('continue', 'breakpoint');
  const [frame] = await session.frames();
  const scopes = (await session.client.scopesRequest({ frameId: frame.id })).body.scopes;
  assert.equal(scopes.length, 3);
  assert.equal(scopes[0].name, 'Registers');
  assert.equal(scopes[0].variablesReference, 1);
  const references = scopes.map((scope) => scope.variablesReference);
  assert.equal(new Set(references).size, 3, 'each scope has its own reference');
  assert.ok(references.every((reference) => reference > 0));

  // In div10 R2 = 00fb: above it scall pushed the return address into main,
  // 0022, low byte first from the bottom (00fc = 22, 00fd = 00), and main's
  // R6 of 0000 (00fe, 00ff). X = 2 here, so both memory scopes show them.
  for (const scope of scopes.slice(1)) {
    const variables = (await session.client.variablesRequest({ variablesReference: scope.variablesReference })).body.variables;
    assert.ok(variables.length > 0, `${scope.name} shows some memory`);
    const at = (address) => variables.find((variable) => variable.name.toLowerCase().includes(address));
    assert.equal(at('00fc')?.value, '22', `${scope.name}: 00fc`);
    assert.equal(at('00fd')?.value, '00', `${scope.name}: 00fd`);
  }
});

sessionTest('the registers scope holds R0-RF in four hex digits and D in two', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.firstCall.line) });
  await session.run('continue', 'breakpoint');
  const variables = (await session.client.variablesRequest({ variablesReference: 1 })).body.variables;
  const value = (name) => variables.find((variable) => variable.name === name)?.value;
  // At main's Call: init set R2 = 00ff, R4 = scall (0069), R5 = sreturn
  // (0079), R3 = main's counter at the Call (001f); main set R7 = 04d2 with
  // its last LDI D2, which D still holds.
  assert.deepEqual(
    ['R2', 'R3', 'R4', 'R5', 'R7', 'D', 'P', 'X'].map(value),
    ['00ff', '001f', '0069', '0079', '04d2', 'd2', '3', '0'],
  );
});

sessionTest('setVariable changes a register, and the program goes on with it', async (session) => {
  await session.start({ configure: (s) => s.breakAt(places.firstCall.line) });
  await session.run('continue', 'breakpoint');
  // 1e61 = 7777: printdec prints that in the place of 1234.
  const response = await session.client.setVariableRequest({ variablesReference: 1, name: 'R7', value: '1e61' });
  assert.equal(response.body.value, '1e61');
  assert.equal(await session.evaluate('R7'), '1e61');
  await session.breakAt();
  await session.client.continueRequest({ threadId: 1 });
  await session.next('stopped');
  assert.equal(session.output(), '7777 3456\n');
});

sessionTest('evaluate gives registers, symbols and symbols with an offset in hex', async (session) => {
  await session.start({ stopOnEntry: true });
  const div10 = (await session.client.evaluateRequest({ expression: 'div10' })).body;
  assert.equal(div10.result, '004e');
  assert.equal(div10.memoryReference, '0x004e');
  assert.equal(await session.evaluate('stack'), '00ff');
  assert.equal(await session.evaluate('main+3'), '001c');
  assert.equal(await session.evaluate('1234'), '1234');
  assert.equal(await session.evaluate('D'), '00');
  await assert.rejects(session.client.evaluateRequest({ expression: 'nowhere' }), /nowhere/);
});

sessionTest('readMemory reads the image and writeMemory changes what the program does', async (session) => {
  await session.start({ stopOnEntry: true });
  // main: LDI 04 (f8 04), PHI R7 (b7), LDI D2 (f8 d2), PLO R7 (a7), Call printdec (d4 00 34).
  const main = await session.client.customRequest('readMemory', { memoryReference: reference(places.main.address), count: 9 });
  assert.equal(main.body.address, reference(places.main.address));
  assert.deepEqual(bytesOf(main), [0xf8, 0x04, 0xb7, 0xf8, 0xd2, 0xa7, 0xd4, 0x00, 0x34]);
  // An offset counts from the reference, and a reference may be plain hex.
  const call = await session.client.customRequest('readMemory', { memoryReference: '001c', offset: 3, count: 3 });
  assert.deepEqual(bytesOf(call), [0xd4, 0x00, 0x34]);

  // R7 = 0007 in the place of 04d2: LDI 00 and LDI 07.
  for (const [memoryReference, offset, byte] of [['0x0019', 1, 0x00], ['0x001c', 1, 0x07]]) {
    const written = await session.client.customRequest('writeMemory', { memoryReference, offset, data: base64([byte]) });
    assert.equal(written.body.bytesWritten, 1);
  }
  const changed = await session.client.customRequest('readMemory', { memoryReference: '0x0019', count: 5 });
  assert.deepEqual(bytesOf(changed), [0xf8, 0x00, 0xb7, 0xf8, 0x07]);

  await session.client.continueRequest({ threadId: 1 });
  await session.next('stopped');
  assert.equal(session.output(), '7 3456\n');
});

sessionTest('disassemble gives the instructions with their bytes, labels and source lines', async (session) => {
  await session.start({ stopOnEntry: true });
  const response = await session.client.disassembleRequest({
    memoryReference: reference(places.callDiv10.address), instructionOffset: 0, instructionCount: 3,
  });
  const instructions = response.body.instructions;
  // divide: Call div10 (d4 00 4e), GHI R9 (99), ADI 30 (fc 30), as cosmac's
  // disassembler writes them, in lower case as cosmac writes hex everywhere.
  assert.deepEqual(
    instructions.map(({ address, instructionBytes, instruction }) => [address, instructionBytes, instruction]),
    [
      ['0x0037', 'd4 00 4e', 'Call 004e'],
      ['0x003a', '99', 'GHI R9'],
      ['0x003b', 'fc 30', 'ADI 30'],
    ],
  );
  assert.equal(instructions[0].symbol, 'divide');
  assert.ok(!instructions[1].symbol && !instructions[2].symbol, 'no label at 003a or 003b');
  assert.equal(instructions[0].location.path, session.source);
  assert.deepEqual(instructions.map((i) => i.line), [places.callDiv10.line, places.afterDiv10.line, places.digit.line]);
});

sessionTest('disassemble before a reference gives exactly the count asked for, the reference in its place', async (session) => {
  // VS Code's disassembly view asks for instructions before the program
  // counter too. Before 003a come PLO R8 (0036) and the Call (0037).
  await session.start({ stopOnEntry: true });
  const response = await session.client.disassembleRequest({
    memoryReference: reference(places.afterDiv10.address), instructionOffset: -2, instructionCount: 4,
  });
  const addresses = response.body.instructions.map((instruction) => instruction.address);
  assert.deepEqual(addresses, ['0x0036', '0x0037', '0x003a', '0x003b']);
});

'use strict';
// A debug session with cosmac --dap through the protocol's own client library,
// on a program assembled from examples/ into a scratch directory. Every event
// is queued as it arrives: the adapter sends a run's stopped event right behind
// the response that started it, often in the same read, before a test could
// start waiting for it.

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { test } = require('node:test');
const { DebugClient } = require('@vscode/debugadapter-testsupport');

function fromEnvironment(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run these tests through ctest (tests/dap-client/run)`);
  return value;
}

const cosmac = fromEnvironment('COSMAC_BINARY');
const assembler = fromEnvironment('COSMAC_ASSEMBLER_BINARY');
const scratch = fromEnvironment('COSMAC_DAP_SCRATCH');
const examples = path.resolve(__dirname, '../../examples');

// How long any one event may take to come; a run of these programs takes
// milliseconds, so waiting longer only delays the failure of a hang.
const EVENT_TIMEOUT = 5000;
// Each test's own limit, for node:test.
const TEST_TIMEOUT = 20000;

// Assembles a source into its own directory (one for each test, so that test
// files running side by side never share one) and returns that directory.
function assemble(source, directory) {
  fs.rmSync(directory, { recursive: true, force: true });
  fs.mkdirSync(directory, { recursive: true });
  const name = path.basename(source, '.asm');
  execFileSync(assembler, [source, '-o', path.join(directory, `${name}.elf`)]);
  return directory;
}

// What must come (a response, an exit) within the time an event may take.
function within(promise, what, timeout = EVENT_TIMEOUT) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`no ${what} within ${timeout} ms`)), timeout);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

const EVENTS = ['initialized', 'stopped', 'output', 'terminated'];

class Session {
  // source: the .asm to run, from examples/ unless it is a path; name: the
  // test's own, for its scratch directory.
  constructor(name, source = 'printdec.asm') {
    this.source = path.isAbsolute(source) ? source : path.join(examples, source);
    this.program = `${path.basename(this.source, '.asm')}.elf`;
    this.directory = assemble(this.source, path.join(scratch, name.replace(/[^A-Za-z0-9]+/g, '-')));
    this.client = new DebugClient(cosmac, '--dap', 'cosmac', { cwd: this.directory });
    this.queues = new Map(EVENTS.map((type) => [type, []]));
    this.waiters = new Map(EVENTS.map((type) => [type, []]));
    this.outputs = [];
    for (const type of EVENTS) {
      this.client.on(type, (event) => {
        if (type === 'output') this.outputs.push(event.body);
        const waiter = this.waiters.get(type).shift();
        if (waiter) waiter(event);
        else this.queues.get(type).push(event);
      });
    }
  }

  // The next event of a type not yet taken, waiting for it if need be.
  next(type, timeout = EVENT_TIMEOUT) {
    return this.nextOf([type], timeout);
  }

  // The next event of any of the types, taking it.
  nextOf(types, timeout = EVENT_TIMEOUT) {
    for (const type of types) {
      const queued = this.queues.get(type).shift();
      if (queued) return Promise.resolve(queued);
    }
    return new Promise((resolve, reject) => {
      const waiting = types.map((type) => [type, (event) => settle(event)]);
      const settle = (event, error) => {
        clearTimeout(timer);
        for (const [type, waiter] of waiting) {
          const list = this.waiters.get(type);
          if (list.includes(waiter)) list.splice(list.indexOf(waiter), 1);
        }
        if (error) reject(error);
        else resolve(event);
      };
      const timer = setTimeout(() => settle(null, new Error(`no ${types.join(' or ')} event within ${timeout} ms`)), timeout);
      for (const [type, waiter] of waiting) this.waiters.get(type).push(waiter);
    });
  }

  // The next stopped event, whose reason must be the one given (or one of those).
  async stopped(reason) {
    const event = await this.next('stopped');
    const reasons = [reason].flat();
    assert.ok(reasons.includes(event.body.reason),
      `stopped for ${event.body.reason} (${event.body.description ?? 'no description'}), not ${reasons.join(' or ')}`);
    assert.equal(event.body.threadId, 1);
    return event.body;
  }

  // What the program wrote so far (category stdout), or what another category got.
  output(category = 'stdout') {
    return this.outputs.filter((body) => body.category === category).map((body) => body.output).join('');
  }

  // Waits until what the program wrote holds text.
  async waitForOutput(text) {
    const deadline = Date.now() + EVENT_TIMEOUT;
    while (!this.output().includes(text)) {
      if (Date.now() > deadline) assert.fail(`no output ${JSON.stringify(text)}; got ${JSON.stringify(this.output())}`);
      await this.next('output', deadline - Date.now()).catch(() => {});
    }
  }

  // initialize, launch, then configure (setBreakpoints and the like) before
  // configurationDone; with stopOnEntry the entry stop is taken here.
  async start({ stopOnEntry = true, configure = async () => {}, launch = {} } = {}) {
    await this.client.start();
    // The library keeps the adapter's process to itself. A test needs to see it
    // exit, and a write to one that has exited must not end the test run.
    this.adapter = this.client._adapterProcess;
    this.exited = new Promise((resolve) => this.adapter.once('exit', (code) => resolve(code)));
    this.adapter.stdin.on('error', () => {});
    // Where a build with sanitizers reports what it found.
    this.stderr = '';
    this.adapter.stderr.on('data', (data) => {
      this.stderr += data;
    });
    this.capabilities = (await this.client.initializeRequest()).body;
    await this.client.launchRequest({ program: this.program, stopOnEntry, ...launch });
    await this.next('initialized');
    await configure(this);
    await this.client.configurationDoneRequest();
    if (stopOnEntry) await this.stopped('entry');
    return this;
  }

  // Breakpoints on lines of the session's source, each a line number or a
  // SourceBreakpoint; returns the adapter's answer for each.
  async breakAt(...breakpoints) {
    const response = await this.client.setBreakpointsRequest({
      source: { path: this.source },
      breakpoints: breakpoints.map((b) => (typeof b === 'number' ? { line: b } : b)),
    });
    return response.body.breakpoints;
  }

  async frames() {
    return (await this.client.stackTraceRequest({ threadId: 1 })).body.stackFrames;
  }

  // The source line the program stands at.
  async line() {
    return (await this.frames())[0].line;
  }

  async evaluate(expression) {
    return (await this.client.evaluateRequest({ expression })).body.result;
  }

  // The request is sent and its response awaited; then the stop it caused.
  async run(request, reason) {
    await within(this.client[`${request}Request`]({ threadId: 1 }), `response to ${request}`);
    return this.stopped(reason);
  }

  // Ends the session whatever state the adapter is in: one that does not answer
  // disconnect, or does not exit after it, is killed. The adapter's exit
  // status, null where it was killed.
  async close() {
    if (!this.adapter) return null;
    if (this.adapter.exitCode === null) {
      await within(this.client.disconnectRequest(), 'response to disconnect', 2000).catch(() => {});
      await within(this.exited, 'exit', 2000).catch(() => this.kill());
    }
    return this.exited;
  }

  kill() {
    if (this.adapter && this.adapter.exitCode === null) this.adapter.kill('SIGKILL');
  }
}

// A test with its own session on a program (printdec unless source says
// otherwise), which is closed however the test ends. A test that passed also
// needs the adapter to have ended cleanly: status 0, and no sanitizer's report.
function sessionTest(name, body, { source } = {}) {
  test(name, { timeout: TEST_TIMEOUT }, async (t) => {
    const session = new Session(name, source);
    // A test that timed out never gets to its finally while it waits on an
    // adapter that does not answer; the running adapter would keep node alive.
    t.signal.addEventListener('abort', () => session.kill(), { once: true });
    let status;
    try {
      await body(session);
    } finally {
      status = await session.close();
    }
    assert.doesNotMatch(session.stderr, /Sanitizer|runtime error:/, `the adapter's errors:\n${session.stderr}`);
    assert.equal(status, 0, 'the adapter exits with status 0 at the end of the session');
  });
}

// The bytes of a readMemory response.
function bytesOf(response) {
  return [...Buffer.from(response.body.data ?? '', 'base64')];
}

function base64(bytes) {
  return Buffer.from(bytes).toString('base64');
}

module.exports = { sessionTest, within, bytesOf, base64, scratch };

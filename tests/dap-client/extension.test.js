'use strict';
// The VS Code extension (editors/vscode): the launch configuration it offers
// is one that cosmac --dap takes (it hands configurations to the adapter as
// they are), and extension.js runs the adapter and fills in F5's launch.

const assert = require('node:assert/strict');
const { test } = require('node:test');
const path = require('node:path');
const { sessionTest } = require('./session');
const { places } = require('./printdec');

const manifest = require('../../editors/vscode/package.json');
const [debuggerContribution] = manifest.contributes.debuggers;

// A configuration as VS Code passes it on, its variables replaced for a file
// being edited at source.
function substituted(configuration, source, directory) {
  const values = {
    fileDirname: directory,
    fileBasenameNoExtension: path.basename(source, '.asm'),
    workspaceFolder: directory,
  };
  return JSON.parse(JSON.stringify(configuration).replace(/\$\{(\w+)\}/g, (whole, name) => values[name] ?? whole));
}

sessionTest('the extension\'s first launch configuration debugs the program beside the source', async (session) => {
  assert.equal(debuggerContribution.type, 'cosmac');
  const [initial] = debuggerContribution.initialConfigurations;
  const attributes = debuggerContribution.configurationAttributes.launch.properties;
  for (const key of Object.keys(initial).filter((key) => !['type', 'request', 'name'].includes(key))) {
    assert.ok(key in attributes, `${key} is a launch attribute`);
  }
  // ${fileDirname} stands for the session's directory, where cosmac-asm wrote
  // printdec.elf; the source itself stays in examples/.
  const launch = substituted(initial, session.source, session.directory);
  assert.equal(launch.program, path.join(session.directory, 'printdec.elf'));
  await session.start({ stopOnEntry: launch.stopOnEntry, launch });
  assert.equal(launch.stopOnEntry, true);
  assert.equal(await session.line(), places.entry.line);
});

// extension.js against a stand-in for VS Code's API that records what the
// extension registers and shows.
function loadExtension({ setting, editorLanguage, folder }) {
  const shown = [];
  const registered = {};
  class DebugAdapterExecutable {
    constructor(command, args, options) {
      Object.assign(this, { command, args, options });
    }
  }
  const vscode = {
    DebugAdapterExecutable,
    workspace: { getConfiguration: (section) => ({ get: (key) => (section === 'cosmac' && key === 'path' ? setting : undefined) }) },
    window: {
      activeTextEditor: editorLanguage ? { document: { languageId: editorLanguage } } : undefined,
      showInformationMessage: (message) => shown.push(message),
      showErrorMessage: (message) => shown.push(message),
    },
    debug: {
      registerDebugAdapterDescriptorFactory(type, factory) {
        registered.factory = { type, factory };
        return { dispose() {} };
      },
      registerDebugConfigurationProvider(type, provider) {
        registered.provider = { type, provider };
        return { dispose() {} };
      },
    },
  };
  const Module = require('node:module');
  const load = Module.prototype.require;
  const entry = require.resolve('../../editors/vscode/extension.js');
  delete require.cache[entry];
  Module.prototype.require = function (id) {
    return id === 'vscode' ? vscode : load.apply(this, arguments);
  };
  try {
    const subscriptions = [];
    require(entry).activate({ subscriptions });
    assert.equal(subscriptions.length, 2, 'both registrations are disposed with the extension');
  } finally {
    Module.prototype.require = load;
  }
  const session = { workspaceFolder: folder ? { uri: { fsPath: folder } } : undefined };
  return { registered, shown, session };
}

test('the extension runs cosmac --dap from cosmac.path, in the workspace folder', { timeout: 5000 }, () => {
  const { registered, session } = loadExtension({ setting: '/opt/cosmac/bin/cosmac', folder: '/home/me/prog' });
  assert.equal(registered.factory.type, 'cosmac');
  const executable = registered.factory.factory.createDebugAdapterDescriptor(session);
  assert.equal(executable.command, '/opt/cosmac/bin/cosmac');
  assert.deepEqual(executable.args, ['--dap']);
  assert.deepEqual(executable.options, { cwd: '/home/me/prog' });
  // Without a setting (an empty one too) cosmac is looked for on PATH, and
  // without a folder the working directory is left to VS Code.
  const plain = loadExtension({ setting: '' });
  const fallback = plain.registered.factory.factory.createDebugAdapterDescriptor(plain.session);
  assert.equal(fallback.command, 'cosmac');
  assert.deepEqual(fallback.options, {});
});

test('F5 without a launch.json debugs the image beside the 1802 source being edited', { timeout: 5000 }, () => {
  const { registered } = loadExtension({ editorLanguage: 'asm1802' });
  assert.equal(registered.provider.type, 'cosmac');
  const config = registered.provider.provider.resolveDebugConfiguration(undefined, {});
  assert.deepEqual(config, {
    type: 'cosmac',
    request: 'launch',
    name: 'cosmac: debug the program',
    program: '${fileDirname}/${fileBasenameNoExtension}.elf',
    stopOnEntry: true,
  });
  // A configuration of its own is passed on as it is.
  const own = { type: 'cosmac', request: 'launch', name: 'mine', program: 'out/prog.elf', board: 'picoelf' };
  assert.equal(registered.provider.provider.resolveDebugConfiguration(undefined, { ...own }).program, 'out/prog.elf');
});

test('F5 without a launch.json and without an 1802 source, or a launch without a program, starts nothing', { timeout: 5000 }, () => {
  const other = loadExtension({ editorLanguage: 'javascript' });
  assert.equal(other.registered.provider.provider.resolveDebugConfiguration(undefined, {}), undefined);
  assert.equal(other.shown.length, 1);
  const missing = loadExtension({ editorLanguage: 'asm1802' });
  assert.equal(missing.registered.provider.provider.resolveDebugConfiguration(undefined, { type: 'cosmac', request: 'launch', name: 'x' }), undefined);
  assert.match(missing.shown[0], /program/);
});

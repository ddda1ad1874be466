'use strict';
// The VS Code extension (editors/vscode) hands its launch configurations to the
// adapter as they are: what it offers must be what cosmac --dap takes.

const assert = require('node:assert/strict');
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

'use strict';
// The debugger itself is cosmac: VS Code runs `cosmac --dap` and speaks the
// Debug Adapter Protocol with it over standard input and output. All this
// extension adds is where to find cosmac (the setting cosmac.path) and what F5
// debugs when there is no launch.json: the image beside the 1802 source being
// edited.

const vscode = require('vscode');

const LANGUAGE = 'asm1802';

class AdapterFactory {
  createDebugAdapterDescriptor(session) {
    const cosmac = vscode.workspace.getConfiguration('cosmac').get('path') || 'cosmac';
    // The adapter takes a relative program path from its working directory,
    // so that a launch.json may name the program relative to its folder.
    const folder = session.workspaceFolder;
    return new vscode.DebugAdapterExecutable(cosmac, ['--dap'], folder ? { cwd: folder.uri.fsPath } : {});
  }
}

class ConfigurationProvider {
  resolveDebugConfiguration(folder, config) {
    if (!config.type && !config.request && !config.name) {
      const editor = vscode.window.activeTextEditor;
      if (!editor || editor.document.languageId !== LANGUAGE) {
        vscode.window.showInformationMessage('Open an 1802 assembly file (.asm) to debug it, or add a cosmac launch configuration.');
        return undefined;
      }
      config.type = 'cosmac';
      config.request = 'launch';
      config.name = 'cosmac: debug the program';
      config.program = '${fileDirname}/${fileBasenameNoExtension}.elf';
      config.stopOnEntry = true;
    }
    if (!config.program) {
      vscode.window.showErrorMessage('A cosmac launch configuration needs "program": the .elf that cosmac-asm wrote.');
      return undefined;
    }
    return config;
  }
}

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('cosmac', new AdapterFactory()),
    vscode.debug.registerDebugConfigurationProvider('cosmac', new ConfigurationProvider()),
  );
}

module.exports = { activate };

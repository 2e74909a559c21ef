// Ctrl-C while a command runs: the command stops and vorel goes on. While
// vorel waits for the user's input, Ctrl-C ends it as it ends any program.
#pragma once

// Runs on a thread of its own each time Ctrl-C interrupts a running command.
using InterruptAction = void (*)();

// Catches SIGINT from now on and starts the thread that runs action.
void StartInterruptWatch(InterruptAction action);
// Whether a command runs (true from the start): while none runs, and for a
// second Ctrl-C within a second of the first, the signal ends the process.
void SetCommandRunning(bool running);
// Ctrl-C came since the last ClearInterrupt.
bool InterruptRequested();
void ClearInterrupt();

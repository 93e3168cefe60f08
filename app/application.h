#pragma once
// The application object: title, message loop and the one way to end the run.
#include <windows.h>

#include <string>

namespace tovarin::app {

// Binds the application to the calling thread (the user-interface thread).
void Initialize(std::string title);

const std::string& Title();

// Runs the message loop until Terminate is called; returns the exit code.
int RunMessageLoop();

// Asks the application to end: the message loop stops at its next turn.
// Callable from any thread; modal loops should end when Terminated() is true.
void Terminate();
bool Terminated();

}  // namespace tovarin::app

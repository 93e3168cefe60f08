#pragma once
// The application object: title, its windows, message loop and the one way
// to end the run.
#include <windows.h>

#include <functional>
#include <memory>
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

// The windows the application owns, one of each role at a time. They go when
// replaced, or with the application at the end of the process.
class OwnedWindow {
public:
    virtual ~OwnedWindow() = default;
};
enum class WindowRole { Main, Progress };

OwnedWindow* WindowOf(WindowRole role);
// Destroys the window of that role first, then owns what `create` makes (may be null).
OwnedWindow* ReplaceWindow(WindowRole role, const std::function<std::unique_ptr<OwnedWindow>()>& create);

}  // namespace tovarin::app

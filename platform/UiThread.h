#pragma once

#include <functional>

class QObject;

// True on the thread that runs the application's event loop (and when no application exists,
// so that library code used without a window takes the direct path).
bool IsUiThread();

// Runs fn on the thread of context, through its event queue, after the current event. If context
// is destroyed before then, fn is dropped. Never waits.
void PostToUi(QObject* context, std::function<void()> fn);

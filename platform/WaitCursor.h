#pragma once

// The application's wait cursor. Begin/End nest; the cursor shows while the count is above zero.
// Callable from any thread: the cursor itself is changed on the user-interface thread.
void BeginWaitCursor();
void EndWaitCursor();
// Nesting depth, for tests.
int WaitCursorDepth();

class CWaitCursor {
 public:
  CWaitCursor() { BeginWaitCursor(); }
  ~CWaitCursor() { EndWaitCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

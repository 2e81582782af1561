#pragma once

#include <functional>

// Runs the event loop of the test's QApplication for about ms milliseconds.
void ProcessEventsFor(int ms);

// Runs the event loop until done() answers true or timeoutMs passes; returns done()'s last answer.
bool ProcessEventsUntil(const std::function<bool()> &done, int timeoutMs = 5000);

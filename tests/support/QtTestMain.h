#pragma once

#include <functional>

#include <QEvent>
#include <QPoint>

// Runs the event loop of the test's QApplication for about ms milliseconds.
void ProcessEventsFor(int ms);

// Runs the event loop until done() answers true or timeoutMs passes; returns done()'s last answer.
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);

class QWidget;

// Sends w a mouse event at a point of its own, with the buttons held after it (button: the one it
// is about).
void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::LeftButton);

// Runs step once `modal` is the modal dialog on top (any modal dialog when null), from the event
// loop of that dialog, so that whatever an earlier step closed has closed by then. Steps run after
// the arming code has returned: they must capture pointers by value, not locals by reference.
void WhenModal(QWidget* modal, std::function<void(QWidget*)> step, int triesLeft = 500);

// Clicks w in its middle through its window, as the user does: a control lying on top of w there
// takes the click instead. A failure when w is not shown.
void ClickInItsWindow(QWidget* w);
// Clicks the button with this control id in dialog with ClickInItsWindow (a failure when there is
// none).
void ClickDlgItem(QWidget* dialog, int id);
// Types text into the line edit with this control id.
void TypeIntoDlgItem(QWidget* dialog, int id, const char* text);

// A Yes/No question over Qt Widgets that a blind key press cannot answer:
// there is no default button, Enter and Return do nothing (on a focused
// button too), and the keyboard starts on the question, not on a button.
// The operator chooses with the mouse, with Y or N (Alt+Y, Alt+N as well),
// or with Tab to a button and Space.
#pragma once

#include <QString>

class QWidget;

namespace platform {

// Shows the question modally over `parent`: 1 for Yes, 0 for No, -1 when
// the box was closed without a choice (Escape, the window's close button).
int ask_yes_no(QWidget* parent, const QString& title, const QString& question);

}  // namespace platform

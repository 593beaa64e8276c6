// The converter's one way of telling the user something: every message box goes through
// message_box, whose handler the program replaces. The window installs a modal box, the
// batch mode prints to standard error, and tests record the texts and answer for the user,
// so no test ever waits on a modal window.
#pragma once

#include <functional>
#include <string>

namespace vm {

// Box styles and answers, with the values operators' scripts and the old program used.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using MessageHandler = std::function<int(const std::string& text, unsigned style)>;

// Installs a handler and returns the one it replaces. Without a handler the text goes to
// standard error and the answer is the box's default button.
MessageHandler set_message_handler(MessageHandler handler);

int message_box(const std::string& text, unsigned style = MB_OK);

// The default button's answer for a style.
int default_answer(unsigned style);

} // namespace vm

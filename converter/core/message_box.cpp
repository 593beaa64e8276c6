// Routing of message boxes to the installed handler.
#include "message_box.h"

#include <cstdio>
#include <utility>

namespace vm {

namespace {

MessageHandler& handler_slot()
{
    static MessageHandler handler;
    return handler;
}

} // namespace

MessageHandler set_message_handler(MessageHandler handler)
{
    return std::exchange(handler_slot(), std::move(handler));
}

int default_answer(unsigned style)
{
    if ((style & 0xF) == MB_YESNO) return (style & MB_DEFBUTTON2) ? IDNO : IDYES;
    return IDOK;
}

int message_box(const std::string& text, unsigned style)
{
    if (const MessageHandler& h = handler_slot()) return h(text, style);
    std::fprintf(stderr, "Velmora: %s\n", text.c_str());
    return default_answer(style);
}

} // namespace vm

// The journal's field sequence check (see journal_check.h).
#include "journal_check.h"

namespace oa {

void JournalFieldCheck::note(std::string text)
{
    if (fault_.empty()) fault_ = std::move(text);
}

void JournalFieldCheck::entry(long long field, bool interrupt, long long interrupt_field)
{
    if (field < last_stamp_) {
        ++out_of_order_;
        note("an entry of field " + std::to_string(field) + " after one of field " + std::to_string(last_stamp_));
    } else {
        last_stamp_ = field;
    }
    if (!interrupt) return;
    ++interrupts_;
    if (last_interrupt_ >= 0) {
        if (interrupt_field <= last_interrupt_) {
            ++repeated_;
            note("field " + std::to_string(interrupt_field) + " interrupted again after field " +
                 std::to_string(last_interrupt_));
            return;
        }
        if (interrupt_field > last_interrupt_ + 1) {
            missed_ += interrupt_field - last_interrupt_ - 1;
            note("fields " + std::to_string(last_interrupt_ + 1) + " to " + std::to_string(interrupt_field - 1) +
                 " had no interrupt");
        }
    }
    last_interrupt_ = interrupt_field;
}

} // namespace oa

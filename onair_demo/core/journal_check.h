// The journal's field sequence, checked as it is read: every field interrupt comes once, in
// order, with no field left out, and no entry is stamped with a field before one already seen.
//
// Fed entry by entry (in the journal's order) with only what the check needs, so it is tested
// without a board.
#pragma once

#include <string>

namespace oa {

class JournalFieldCheck {
public:
    // An entry stamped with board field `field`; `interrupt` when it is a field interrupt for
    // board field `interrupt_field`.
    void entry(long long field, bool interrupt, long long interrupt_field);

    long long interrupts() const { return interrupts_; }
    long long missed() const { return missed_; }
    long long repeated() const { return repeated_; }
    long long out_of_order() const { return out_of_order_; }
    bool ok() const { return missed_ == 0 && repeated_ == 0 && out_of_order_ == 0; }
    // The first fault, for a report; empty while there is none.
    const std::string& first_fault() const { return fault_; }

private:
    void note(std::string text);

    long long last_stamp_ = -1;
    long long last_interrupt_ = -1;
    long long interrupts_ = 0;
    long long missed_ = 0;
    long long repeated_ = 0;
    long long out_of_order_ = 0;
    std::string fault_;
};

} // namespace oa

// The field wait of the on-air control and the wait that ends the runs of its effects.
#include "effects/field_wait.h"

namespace zk {

FieldWait::FieldWait() : event_(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

FieldWait::~FieldWait()
{
    if (event_) CloseHandle(event_);
}

int FieldWait::WaitField()
{
    flag_ = 1;
    while (flag_.load() != 0) WaitForSingleObject(event_, kFieldPollMs);
    return 0;
}

void FieldWait::step_field()
{
    if (flag_.exchange(0) != 0) SetEvent(event_);
}

void FieldWait::wait_then_two_fields(HANDLE done, const std::function<bool()>& busy)
{
    while (busy()) WaitForSingleObject(done, kFieldPollMs);
    WaitField();
    WaitField();
}

} // namespace zk

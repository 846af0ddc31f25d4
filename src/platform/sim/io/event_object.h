// An event made by CreateEventW: a waitable object counted while its handle
// is open, whose closing orphans the overlapped requests that would signal it.
#pragma once

#include "platform/sim/io/waitable.h"

namespace sim {

class EventObject : public Waitable {
public:
    EventObject(bool manualReset, bool signalled);
    void onClose() override;
};

}  // namespace sim

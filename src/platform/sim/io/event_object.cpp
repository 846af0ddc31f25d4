#include "platform/sim/io/event_object.h"

#include "platform/sim/control/accounting.h"
#include "platform/sim/io/overlapped_io.h"

namespace sim {

EventObject::EventObject(bool manualReset, bool signalled) : Waitable(manualReset, signalled) {
    ++liveCounters().events;
}

void EventObject::onClose() {
    --liveCounters().events;
    // A request still pending would signal this event and write into the
    // memory its owner handed over: that owner has let go too early.
    orphanRequestsSignalling(this);
}

}  // namespace sim

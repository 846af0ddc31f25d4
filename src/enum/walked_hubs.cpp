#include "enum/walked_hubs.h"

#include <cstring>

#include "enum/bounded_text.h"
#include "enum/text_compare.h"
#include "platform/kernel.h"

namespace {

// Zero-filled from the process heap; the name follows the record.
struct WalkedHub {
    WalkedHub* next;
    char name[1];
};

WalkedHub* walkedHubs = nullptr;

}  // namespace

bool hubAlreadyWalked(const char* name) {
    for (const WalkedHub* hub = walkedHubs; hub != nullptr; hub = hub->next)
        if (equalsNoCase(hub->name, name)) return true;
    return false;
}

bool rememberWalkedHub(const char* name, size_t length) {
    auto* hub = static_cast<WalkedHub*>(platform::HeapAllocZero(sizeof(WalkedHub) + length));
    if (hub == nullptr) return false;
    boundedCopy(hub->name, length + 1, name, length);
    hub->next = walkedHubs;
    walkedHubs = hub;
    return true;
}

void forgetWalkedHubs() {
    while (walkedHubs != nullptr) {
        WalkedHub* next = walkedHubs->next;
        platform::HeapFreeBlock(walkedHubs);
        walkedHubs = next;
    }
}

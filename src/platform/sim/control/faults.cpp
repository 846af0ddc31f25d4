#include "platform/sim/control/faults.h"

#include <mutex>

#include "platform/files.h"
#include "platform/sim/control/sim_control.h"

namespace sim {
namespace {

struct FaultRule {
    std::string operation;
    uint64_t remaining;  // calls still to pass before the one that fails
    uint32_t error;
};

struct FaultState {
    std::mutex lock;
    std::vector<FaultRule> rules;
    uint64_t hits = 0;
    bool journaling = false;
    std::vector<JournalRecord> records;
};

FaultState& state() {
    static FaultState* s = new FaultState;
    return *s;
}

thread_local uint32_t lastFaultError = 0;

}  // namespace

bool failHere(const char* operation, const std::string& arguments) {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.journaling) s.records.push_back({operation, arguments});
    for (auto it = s.rules.begin(); it != s.rules.end(); ++it) {
        if (it->operation != "*" && it->operation != operation) continue;
        if (it->remaining > 1) {
            --it->remaining;
            continue;
        }
        lastFaultError = it->error;
        s.rules.erase(it);
        ++s.hits;
        platform::SetLastError(lastFaultError);
        return true;
    }
    return false;
}

uint32_t faultError() { return lastFaultError; }

void failNthCall(const std::string& operation, uint64_t n, uint32_t error) {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.rules.push_back({operation, n == 0 ? 1 : n, error});
}

void clearFaults() {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.rules.clear();
    s.hits = 0;
}

uint64_t faultsHit() {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.hits;
}

void startJournal() {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.records.clear();
    s.journaling = true;
}

void stopJournal() {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.journaling = false;
}

std::vector<JournalRecord> journal() {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.records;
}

size_t journalCount(const std::string& operation) {
    FaultState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    size_t n = 0;
    for (const JournalRecord& r : s.records)
        if (r.operation == operation) ++n;
    return n;
}

}  // namespace sim

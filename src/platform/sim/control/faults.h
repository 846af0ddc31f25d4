// Fault injection and the call journal of the simulated machine.
//
// Every simulated platform call records itself in the journal and asks
// failHere() whether it is to fail; a rule "the Nth call of operation X
// fails with error E" makes it answer yes exactly once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct JournalRecord {
    std::string operation;  // "CreateFileA", "DeviceIoControl", ...
    std::string arguments;  // a readable summary of what was asked
};

// Records the call and returns true when a fault rule hits it; the caller
// then fails the call with faultError() as its last error.
bool failHere(const char* operation, const std::string& arguments = std::string());
uint32_t faultError();

// The Nth (from 1) call of the operation from now on fails with the error.
// An operation of "*" counts every simulated call.
void failNthCall(const std::string& operation, uint64_t n, uint32_t error);
void clearFaults();
// How many rules have hit since the last clearFaults().
uint64_t faultsHit();

void startJournal();
void stopJournal();
std::vector<JournalRecord> journal();
size_t journalCount(const std::string& operation);

}  // namespace sim

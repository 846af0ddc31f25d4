#include "platform/sim/file_sharing.h"

#include <cctype>
#include <map>
#include <mutex>

#include "platform/types.h"

namespace sim {
namespace {

struct Holder {
    std::string path;
    bool reads;
    bool writes;
    uint32_t shareMode;
};

struct SharingTable {
    std::mutex lock;
    uint64_t nextClaim = 1;
    std::map<uint64_t, Holder> holders;
};

SharingTable& table() {
    static SharingTable* t = new SharingTable;
    return *t;
}

std::string normalised(const std::string& path) {
    std::string out = path;
    for (char& c : out) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Data access rights: generic rights and the specific file rights.
constexpr uint32_t kGenericAll = 0x10000000u;
constexpr uint32_t kFileReadData = 0x1;
constexpr uint32_t kFileWriteData = 0x2;
constexpr uint32_t kFileAppendData = 0x4;

bool wantsRead(uint32_t access) { return (access & (platform::kGenericRead | kGenericAll | kFileReadData)) != 0; }
bool wantsWrite(uint32_t access) {
    return (access & (platform::kGenericWrite | kGenericAll | kFileWriteData | kFileAppendData)) != 0;
}

}  // namespace

bool claimPath(const std::string& path, uint32_t access, uint32_t shareMode, uint64_t* claim) {
    SharingTable& t = table();
    Holder incoming{normalised(path), wantsRead(access), wantsWrite(access), shareMode};
    std::lock_guard<std::mutex> guard(t.lock);
    // An open for neither reading nor writing (attributes only) is never
    // refused and never refuses others.
    if (incoming.reads || incoming.writes) {
        for (const auto& entry : t.holders) {
            const Holder& held = entry.second;
            if (held.path != incoming.path || !(held.reads || held.writes)) continue;
            if (incoming.reads && (held.shareMode & platform::kFileShareRead) == 0) return false;
            if (incoming.writes && (held.shareMode & platform::kFileShareWrite) == 0) return false;
            if (held.reads && (shareMode & platform::kFileShareRead) == 0) return false;
            if (held.writes && (shareMode & platform::kFileShareWrite) == 0) return false;
        }
    }
    uint64_t id = t.nextClaim++;
    t.holders.emplace(id, std::move(incoming));
    *claim = id;
    return true;
}

void releasePath(uint64_t claim) {
    SharingTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.holders.erase(claim);
}

int openCountOf(const std::string& path) {
    SharingTable& t = table();
    std::string key = normalised(path);
    std::lock_guard<std::mutex> guard(t.lock);
    int n = 0;
    for (const auto& entry : t.holders)
        if (entry.second.path == key) ++n;
    return n;
}

}  // namespace sim

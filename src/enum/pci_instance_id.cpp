#include "enum/pci_instance_id.h"

#include <cctype>
#include <cstddef>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Matches literal text exactly; advances on success.
bool matchLiteral(const char*& position, const char* literal) {
    const char* p = position;
    for (; *literal != '\0'; ++literal, ++p)
        if (*p != *literal) return false;  // the terminator never equals a literal character
    position = p;
    return true;
}

// One "%x" conversion; advances on success.
bool scanHex(const char*& position, uint32_t* value) {
    const char* p = position;
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) p += 2;
    if (hexDigit(*p) < 0) return false;
    uint32_t result = 0;
    for (; hexDigit(*p) >= 0; ++p) result = result << 4 | static_cast<uint32_t>(hexDigit(*p));
    *value = negative ? 0u - result : result;
    position = p;
    return true;
}

}  // namespace

int scanPciInstanceId(const char* instanceId, PciIds* ids) {
    if (instanceId == nullptr || ids == nullptr) return 0;
    struct Field {
        const char* literal;
        uint32_t* value;
    };
    const Field fields[] = {{"PCI\\VEN_", &ids->vendorId},
                            {"&DEV_", &ids->deviceId},
                            {"&SUBSYS_", &ids->subsystemId},
                            {"&REV_", &ids->revision}};
    const char* position = instanceId;
    int converted = 0;
    for (const Field& field : fields) {
        if (!matchLiteral(position, field.literal) || !scanHex(position, field.value)) break;
        ++converted;
    }
    return converted;
}

// A reader of typed members of a parsed JSON document that names where a
// problem lies: "bench.json:12: ... (at /controllers/0/rootHub)". The first
// problem is kept and every later one ignored, so a reader stops at it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/model/json_lines.h"

namespace sim {

// Parses JSON text (comments allowed) without throwing; false with *error
// set ("<fileName>:<line>: <problem>") when it is not JSON.
bool parseJsonText(const std::string& text, const std::string& fileName, nlohmann::json* root, std::string* error);

class JsonReader {
public:
    using json = nlohmann::json;

    JsonReader(const std::string& text, const std::string& fileName) : lines_(text), fileName_(fileName) {}

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

protected:
    bool fail(const std::string& pointer, const std::string& message);

    static std::string keyName(const std::string& pointer);

    // Refuses any key of the object that is not allowed.
    bool keys(const json& object, const std::string& at, std::initializer_list<const char*> allowed);

    // The member of the given type, or null when it is not there (or when
    // it has another type: then the reader has failed).
    const json* member(const json& object, const std::string& at, const char* name, json::value_t type);

    // A number given as a JSON number or as a text ("0x1A2B" or "6699").
    bool numberValue(const json& value, const std::string& at, uint64_t maximum, uint64_t* out);

    bool text(const json& object, const std::string& at, const char* name, std::string* out);

    // A text member that null removes.
    bool optionalText(const json& object, const std::string& at, const char* name, std::optional<std::string>* out);

    bool flag(const json& object, const std::string& at, const char* name, bool* out);

    // Bytes written as hexadecimal pairs, blanks allowed between them.
    bool hexBytes(const json& value, const std::string& at, std::vector<uint8_t>* out);

    // An optional numeric member; false only on an error.
    template <typename T>
    bool number(const json& object, const std::string& at, const char* name, T* out,
                uint64_t maximum = UINT32_MAX) {
        auto it = object.find(name);
        if (it == object.end()) return true;
        uint64_t v = 0;
        if (!numberValue(*it, childPointer(at, name), maximum, &v)) return false;
        *out = static_cast<T>(v);
        return true;
    }

    template <typename T>
    bool optionalNumber(const json& object, const std::string& at, const char* name, std::optional<T>* out,
                        uint64_t maximum = UINT32_MAX) {
        auto it = object.find(name);
        if (it == object.end()) return true;
        if (it->is_null()) {
            out->reset();
            return true;
        }
        uint64_t v = 0;
        if (!numberValue(*it, childPointer(at, name), maximum, &v)) return false;
        *out = static_cast<T>(v);
        return true;
    }

private:
    JsonLines lines_;
    std::string fileName_;
    std::string error_;
};

}  // namespace sim

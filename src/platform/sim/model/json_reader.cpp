#include "platform/sim/model/json_reader.h"

#include "platform/sim/model/text.h"

namespace sim {
namespace {

using nlohmann::json;

// Builds the document through the parser's own DOM builder and keeps the
// byte position and message of a syntax error instead of throwing.
class DomBuilder {
public:
    explicit DomBuilder(json& result) : dom_(result, false) {}

    bool null() { return dom_.null(); }
    bool boolean(bool v) { return dom_.boolean(v); }
    bool number_integer(json::number_integer_t v) { return dom_.number_integer(v); }
    bool number_unsigned(json::number_unsigned_t v) { return dom_.number_unsigned(v); }
    bool number_float(json::number_float_t v, const json::string_t& s) { return dom_.number_float(v, s); }
    bool string(json::string_t& v) { return dom_.string(v); }
    bool binary(json::binary_t& v) { return dom_.binary(v); }
    bool start_object(std::size_t n) { return dom_.start_object(n); }
    bool key(json::string_t& v) { return dom_.key(v); }
    bool end_object() { return dom_.end_object(); }
    bool start_array(std::size_t n) { return dom_.start_array(n); }
    bool end_array() { return dom_.end_array(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) {
        position_ = position;
        message_ = ex.what();
        failed_ = true;
        return false;
    }

    bool failed() const { return failed_; }
    std::size_t position() const { return position_; }
    // The parser's message without its "[json.exception...] parse error at
    // line L, column C: " prefix: the caller names the line itself.
    std::string message() const {
        size_t colon = message_.find(": ");
        return colon == std::string::npos ? message_ : message_.substr(colon + 2);
    }

private:
    nlohmann::detail::json_sax_dom_parser<json> dom_;
    bool failed_ = false;
    std::size_t position_ = 0;
    std::string message_;
};

}  // namespace

bool parseJsonText(const std::string& text, const std::string& fileName, json* root, std::string* error) {
    DomBuilder builder(*root);
    json::sax_parse(text, &builder, json::input_format_t::json, true, true);
    if (!builder.failed()) return true;
    if (error != nullptr)
        *error = fileName + ":" + std::to_string(lineAtByte(text, builder.position() == 0 ? 0 : builder.position() - 1)) +
                 ": " + builder.message();
    return false;
}

bool JsonReader::fail(const std::string& pointer, const std::string& message) {
    if (error_.empty())
        error_ = fileName_ + ":" + std::to_string(lines_.lineOf(pointer)) + ": " + message +
                 (pointer.empty() ? "" : " (at " + pointer + ")");
    return false;
}

std::string JsonReader::keyName(const std::string& pointer) {
    size_t slash = pointer.rfind('/');
    return slash == std::string::npos ? pointer : pointer.substr(slash + 1);
}

bool JsonReader::keys(const json& object, const std::string& at, std::initializer_list<const char*> allowed) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* name : allowed)
            if (it.key() == name) known = true;
        if (!known) return fail(childPointer(at, it.key()), "unknown key \"" + it.key() + "\"");
    }
    return true;
}

const json* JsonReader::member(const json& object, const std::string& at, const char* name, json::value_t type) {
    auto it = object.find(name);
    if (it == object.end()) return nullptr;
    std::string here = childPointer(at, name);
    bool ok = it->type() == type ||
              (type == json::value_t::number_unsigned && it->type() == json::value_t::number_integer);
    if (!ok) {
        const char* what = type == json::value_t::array    ? "an array"
                           : type == json::value_t::object ? "an object"
                           : type == json::value_t::string ? "a text"
                           : type == json::value_t::boolean ? "true or false"
                                                             : "a number";
        fail(here, std::string("\"") + name + "\" must be " + what);
        return nullptr;
    }
    return &*it;
}

bool JsonReader::numberValue(const json& value, const std::string& at, uint64_t maximum, uint64_t* out) {
    std::string what = "\"" + keyName(at) + "\" must be a number from 0 to " + std::to_string(maximum);
    if (value.is_number_unsigned()) {
        *out = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        return fail(at, what);
    } else if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        std::string digits = hex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > 16) return fail(at, what);
        uint64_t v = 0;
        for (char c : digits) {
            int d = hex ? hexDigitValue(c) : (c >= '0' && c <= '9') ? c - '0' : -1;
            if (d < 0) return fail(at, what);
            v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        }
        *out = v;
    } else {
        return fail(at, what);
    }
    if (*out > maximum) return fail(at, what);
    return true;
}

bool JsonReader::text(const json& object, const std::string& at, const char* name, std::string* out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_string()) return fail(childPointer(at, name), std::string("\"") + name + "\" must be a text");
    *out = it->get<std::string>();
    return true;
}

bool JsonReader::optionalText(const json& object, const std::string& at, const char* name, std::optional<std::string>* out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (it->is_null()) {
        out->reset();
        return true;
    }
    if (!it->is_string())
        return fail(childPointer(at, name), std::string("\"") + name + "\" must be a text or null");
    *out = it->get<std::string>();
    return true;
}

bool JsonReader::flag(const json& object, const std::string& at, const char* name, bool* out) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_boolean()) return fail(childPointer(at, name), std::string("\"") + name + "\" must be true or false");
    *out = it->get<bool>();
    return true;
}

bool JsonReader::hexBytes(const json& value, const std::string& at, std::vector<uint8_t>* out) {
    std::string what = "\"" + keyName(at) + "\" must be bytes in hexadecimal, such as \"09 02 19 00\"";
    if (!value.is_string()) return fail(at, what);
    out->clear();
    int high = -1;
    for (char c : value.get<std::string>()) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        int d = hexDigitValue(c);
        if (d < 0) return fail(at, what);
        if (high < 0) {
            high = d;
        } else {
            out->push_back(static_cast<uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) return fail(at, what + " (an odd number of digits)");
    return true;
}

}  // namespace sim

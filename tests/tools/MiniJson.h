// A small JSON reader for checking the tools' --json output: objects,
// arrays, strings (with \uXXXX escapes of the basic plane), numbers, true,
// false and null. Throws std::runtime_error on malformed input.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace norv::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // Member or item access; throws when absent or of another kind.
    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](size_t index) const;
    size_t size() const { return kind == Kind::Array ? items.size() : members.size(); }
    bool Has(const std::string& key) const { return kind == Kind::Object && members.count(key) > 0; }

    double Number() const;
    long long Int() const;
    bool Bool() const;
    const std::string& Text() const;
};

JsonValue ParseJson(std::string_view text);

}  // namespace norv::test

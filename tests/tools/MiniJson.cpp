#include "tools/MiniJson.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace norv::test {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    JsonValue Document() {
        JsonValue v = Value();
        Blank();
        if (i_ != s_.size()) Fail("text after the value");
        return v;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(i_));
    }
    void Blank() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    bool Take(char c) {
        Blank();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) Fail(std::string("expected '") + c + "'");
    }
    bool Word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) return false;
        i_ += w.size();
        return true;
    }

    JsonValue Value() {
        Blank();
        if (i_ >= s_.size()) Fail("unexpected end");
        JsonValue v;
        const char c = s_[i_];
        if (c == '{') {
            ++i_;
            v.kind = JsonValue::Kind::Object;
            if (Take('}')) return v;
            do {
                Blank();
                std::string key = String();
                Expect(':');
                if (v.members.count(key)) Fail("duplicate key " + key);
                v.members[key] = Value();
            } while (Take(','));
            Expect('}');
        } else if (c == '[') {
            ++i_;
            v.kind = JsonValue::Kind::Array;
            if (Take(']')) return v;
            do v.items.push_back(Value());
            while (Take(','));
            Expect(']');
        } else if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = String();
        } else if (Word("true")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = true;
        } else if (Word("false")) {
            v.kind = JsonValue::Kind::Bool;
        } else if (Word("null")) {
        } else {
            v.kind = JsonValue::Kind::Number;
            const size_t start = i_;
            while (i_ < s_.size() && std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos) ++i_;
            const std::string number(s_.substr(start, i_ - start));
            char* end = nullptr;
            v.number = std::strtod(number.c_str(), &end);
            if (number.empty() || end != number.c_str() + number.size()) Fail("bad number '" + number + "'");
        }
        return v;
    }

    std::string String() {
        if (i_ >= s_.size() || s_[i_] != '"') Fail("expected a string");
        ++i_;
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) Fail("unexpected end");
            c = s_[i_++];
            switch (c) {
                case '"': case '\\': case '/': out += c; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    if (i_ + 4 > s_.size()) Fail("short \\u escape");
                    const unsigned code = static_cast<unsigned>(std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16));
                    i_ += 4;
                    if (code < 0x80) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    break;
                }
                default: Fail("bad escape");
            }
        }
        if (i_ >= s_.size()) Fail("unterminated string");
        ++i_;
        return out;
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    if (kind != Kind::Object) throw std::runtime_error("JSON: not an object, looking for " + key);
    auto it = members.find(key);
    if (it == members.end()) throw std::runtime_error("JSON: no member " + key);
    return it->second;
}

const JsonValue& JsonValue::operator[](size_t index) const {
    if (kind != Kind::Array || index >= items.size()) throw std::runtime_error("JSON: no item " + std::to_string(index));
    return items[index];
}

double JsonValue::Number() const {
    if (kind != Kind::Number) throw std::runtime_error("JSON: not a number");
    return number;
}

long long JsonValue::Int() const {
    const double v = Number();
    if (v != std::floor(v)) throw std::runtime_error("JSON: not an integer");
    return static_cast<long long>(v);
}

bool JsonValue::Bool() const {
    if (kind != Kind::Bool) throw std::runtime_error("JSON: not a boolean");
    return boolean;
}

const std::string& JsonValue::Text() const {
    if (kind != Kind::String) throw std::runtime_error("JSON: not a string");
    return text;
}

JsonValue ParseJson(std::string_view text) { return Reader(text).Document(); }

}  // namespace norv::test

#include "json_value.h"

#include <climits>
#include <cstdlib>

namespace {
const JsonValue kNull;
}

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    bool value(JsonValue& out) {
        skip();
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '{') return object(out);
        if (c == '[') return array(out);
        if (c == '"') {
            out.kind_ = JsonValue::String;
            return string(out.text_);
        }
        if (literal("true")) {
            out.kind_ = JsonValue::Bool;
            out.boolean_ = true;
            return true;
        }
        if (literal("false")) {
            out.kind_ = JsonValue::Bool;
            return true;
        }
        if (literal("null")) return true;
        char* end = nullptr;
        out.number_ = std::strtoll(text_.c_str() + pos_, &end, 10);
        if (end == text_.c_str() + pos_) return false;
        // Numbers beyond long long (unsigned 64-bit values) are read as unsigned.
        if (out.number_ == LLONG_MAX) out.number_ = static_cast<long long>(std::strtoull(text_.c_str() + pos_, &end, 10));
        pos_ = static_cast<size_t>(end - text_.c_str());
        out.kind_ = JsonValue::Number;
        return true;
    }

    bool atEnd() {
        skip();
        return pos_ == text_.size();
    }

private:
    void skip() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' ||
                                       text_[pos_] == '\t'))
            ++pos_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }
    bool expect(char c) {
        skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool string(std::string& out) {
        if (!expect('"')) return false;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\' && pos_ < text_.size()) {
                c = text_[pos_++];
                if (c == 'u' && pos_ + 4 <= text_.size()) {
                    out += static_cast<char>(std::strtol(text_.substr(pos_, 4).c_str(), nullptr, 16));
                    pos_ += 4;
                    continue;
                }
                if (c == 'n') c = '\n';
            }
            out += c;
        }
        return expect('"');
    }
    bool array(JsonValue& out) {
        out.kind_ = JsonValue::Array;
        expect('[');
        if (expect(']')) return true;
        do {
            JsonValue item;
            if (!value(item)) return false;
            out.items_.push_back(item);
        } while (expect(','));
        return expect(']');
    }
    bool object(JsonValue& out) {
        out.kind_ = JsonValue::Object;
        expect('{');
        if (expect('}')) return true;
        do {
            skip();
            std::string key;
            if (!string(key) || !expect(':')) return false;
            JsonValue item;
            if (!value(item)) return false;
            out.members_[key] = item;
        } while (expect(','));
        return expect('}');
    }

    const std::string& text_;
    size_t pos_ = 0;
};

JsonValue JsonValue::parse(const std::string& text) {
    JsonValue result;
    JsonParser parser(text);
    if (!parser.value(result) || !parser.atEnd()) return JsonValue();
    return result;
}

const JsonValue& JsonValue::operator[](size_t index) const {
    return kind_ == Array && index < items_.size() ? items_[index] : kNull;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    const auto found = members_.find(key);
    return found == members_.end() ? kNull : found->second;
}

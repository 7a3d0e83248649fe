#pragma once
// A small JSON reader for the stand-in runtime's call log (test support only).
#include <map>
#include <memory>
#include <string>
#include <vector>

class JsonValue {
public:
    enum Kind { Null, Bool, Number, String, Array, Object };

    // Parses one JSON text; a value of kind Null when it is malformed.
    static JsonValue parse(const std::string& text);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Null; }
    bool boolean() const { return boolean_; }
    long long number() const { return number_; }
    const std::string& text() const { return text_; }
    size_t size() const { return kind_ == Array ? items_.size() : members_.size(); }
    const JsonValue& operator[](size_t index) const;
    const JsonValue& operator[](const std::string& key) const;
    bool has(const std::string& key) const { return members_.count(key) != 0; }

private:
    friend class JsonParser;
    Kind kind_ = Null;
    bool boolean_ = false;
    long long number_ = 0;
    std::string text_;
    std::vector<JsonValue> items_;
    std::map<std::string, JsonValue> members_;
};

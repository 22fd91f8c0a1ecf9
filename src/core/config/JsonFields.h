#pragma once

#include "core/values/IsoDate.h"
#include "core/values/Url.h"
#include "core/values/Uuid.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn {

// Thrown when a JSON document does not have the form a record requires; the text
// names the place ("profiles[2].endpoint") and what was wrong there.
class JsonDecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown when a record cannot be written (a duration that is not a finite number).
class JsonEncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict readers for the value forms of the configuration file. A value of the
// wrong JSON type is an error even where the key itself is optional: the file is
// either read whole or not at all.
namespace jsonio {

template <class T>
struct Tag {};

[[noreturn]] void fail(const std::string& path, const std::string& problem);

std::string decode(Tag<std::string>, const nlohmann::json& value, const std::string& path);
bool decode(Tag<bool>, const nlohmann::json& value, const std::string& path);
std::int64_t decode(Tag<std::int64_t>, const nlohmann::json& value, const std::string& path);
double decode(Tag<double>, const nlohmann::json& value, const std::string& path);
Uuid decode(Tag<Uuid>, const nlohmann::json& value, const std::string& path);
Url decode(Tag<Url>, const nlohmann::json& value, const std::string& path);
TimePoint decode(Tag<TimePoint>, const nlohmann::json& value, const std::string& path);

template <class T>
std::vector<T> decode(Tag<std::vector<T>>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_array()) fail(path, "expected an array");
    std::vector<T> result;
    result.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        result.push_back(decode(Tag<T>{}, value[i], path + "[" + std::to_string(i) + "]"));
    }
    return result;
}

template <class T>
std::map<std::string, T> decode(Tag<std::map<std::string, T>>, const nlohmann::json& value,
                                const std::string& path) {
    if (!value.is_object()) fail(path, "expected an object");
    std::map<std::string, T> result;
    for (const auto& [name, member] : value.items()) {
        result.emplace(name, decode(Tag<T>{}, member, path + "[\"" + name + "\"]"));
    }
    return result;
}

nlohmann::json encode(const std::string& value);
nlohmann::json encode(bool value);
nlohmann::json encode(std::int64_t value);
nlohmann::json encode(double value);  // throws JsonEncodeError for NaN and infinities
nlohmann::json encode(const Uuid& value);
nlohmann::json encode(const Url& value);
nlohmann::json encode(TimePoint value);

template <class T>
nlohmann::json encode(const std::vector<T>& values) {
    auto array = nlohmann::json::array();
    for (const auto& value : values) array.push_back(encode(value));
    return array;
}

template <class T>
nlohmann::json encode(const std::map<std::string, T>& values) {
    auto object = nlohmann::json::object();
    for (const auto& [name, value] : values) object[name] = encode(value);
    return object;
}

// Reads the members of one JSON object.
class ObjectReader {
public:
    ObjectReader(const nlohmann::json& value, std::string path);

    // Absent or null fails.
    template <class T>
    T required(const char* key) const {
        const nlohmann::json* member = find(key);
        if (member == nullptr) fail(memberPath(key), "required value is missing");
        return decode(Tag<T>{}, *member, memberPath(key));
    }

    // Absent or null gives none; a present value must still have the right type.
    template <class T>
    std::optional<T> optional(const char* key) const {
        const nlohmann::json* member = find(key);
        if (member == nullptr) return std::nullopt;
        return decode(Tag<T>{}, *member, memberPath(key));
    }

    template <class T>
    T optionalOr(const char* key, T fallback) const {
        auto value = optional<T>(key);
        return value ? std::move(*value) : std::move(fallback);
    }

    // The member itself when present and not null.
    const nlohmann::json* find(const char* key) const;
    std::string memberPath(const char* key) const;

private:
    const nlohmann::json& m_value;
    std::string m_path;
};

}  // namespace jsonio

}  // namespace tarn

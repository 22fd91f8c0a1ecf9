#include "core/config/JsonFields.h"

#include <cmath>
#include <limits>

namespace tarn::jsonio {

void fail(const std::string& path, const std::string& problem) {
    throw JsonDecodeError("The value at \"" + (path.empty() ? std::string("(root)") : path) + "\" is not valid: " +
                          problem + ".");
}

std::string decode(Tag<std::string>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) fail(path, "expected a string");
    return value.get<std::string>();
}

bool decode(Tag<bool>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_boolean()) fail(path, "expected true or false");
    return value.get<bool>();
}

std::int64_t decode(Tag<std::int64_t>, const nlohmann::json& value, const std::string& path) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            fail(path, "the number does not fit a 64-bit integer");
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (value.is_number_float()) {
        // 10.0 is still a whole number; 10.5 and 1e30 are not integers.
        const double number = value.get<double>();
        if (std::isfinite(number) && std::floor(number) == number && number >= -9.2233720368547758e18 &&
            number < 9.2233720368547758e18) {
            return static_cast<std::int64_t>(number);
        }
    }
    fail(path, "expected a whole number");
}

double decode(Tag<double>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_number()) fail(path, "expected a number");
    return value.get<double>();
}

Uuid decode(Tag<Uuid>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) fail(path, "expected a UUID string");
    auto uuid = Uuid::parse(value.get_ref<const std::string&>());
    if (!uuid) fail(path, "\"" + value.get<std::string>() + "\" is not a UUID");
    return *uuid;
}

Url decode(Tag<Url>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) fail(path, "expected a URL string");
    // The empty text is what an unset URL is written as: whatever the file holds
    // must read back, or one blank field would make every account unreadable.
    if (value.get_ref<const std::string&>().empty()) return Url();
    auto url = Url::parse(value.get_ref<const std::string&>());
    if (!url) fail(path, "\"" + value.get<std::string>() + "\" is not a URL");
    return *url;
}

TimePoint decode(Tag<TimePoint>, const nlohmann::json& value, const std::string& path) {
    if (!value.is_string()) fail(path, "expected a date string");
    auto date = IsoDate::parse(value.get_ref<const std::string&>(), IsoDate::Fractions::reject);
    if (!date) fail(path, "\"" + value.get<std::string>() + "\" is not an ISO-8601 date with whole seconds");
    return *date;
}

nlohmann::json encode(const std::string& value) { return value; }
nlohmann::json encode(bool value) { return value; }
nlohmann::json encode(std::int64_t value) { return value; }

nlohmann::json encode(double value) {
    if (!std::isfinite(value)) throw JsonEncodeError("A number that is not finite cannot be written as JSON.");
    return value;
}

nlohmann::json encode(const Uuid& value) { return value.toString(); }
nlohmann::json encode(const Url& value) { return value.absoluteString(); }
nlohmann::json encode(TimePoint value) { return IsoDate::format(value); }

ObjectReader::ObjectReader(const nlohmann::json& value, std::string path) : m_value(value), m_path(std::move(path)) {
    if (!m_value.is_object()) fail(m_path, "expected an object");
}

const nlohmann::json* ObjectReader::find(const char* key) const {
    const auto it = m_value.find(key);
    if (it == m_value.end() || it->is_null()) return nullptr;
    return &*it;
}

std::string ObjectReader::memberPath(const char* key) const { return m_path.empty() ? key : m_path + "." + key; }

}  // namespace tarn::jsonio

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A 128-bit UUID. Its text form is always the upper-case 8-4-4-4-12 form, because
// configuration keys and secret-store account names compare that text exactly.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    Uuid() = default;  // the nil UUID
    explicit Uuid(const Bytes& bytes) : m_bytes(bytes) {}

    // Accepts hexadecimal digits of either case in the 8-4-4-4-12 grouping, nothing else.
    static std::optional<Uuid> parse(std::string_view text);
    // A random version-4 UUID from the operating system's CSPRNG.
    static Uuid random();

    std::string toString() const;
    const Bytes& bytes() const { return m_bytes; }

    auto operator<=>(const Uuid&) const = default;

private:
    Bytes m_bytes{};
};

}  // namespace tarn

template <>
struct std::hash<tarn::Uuid> {
    std::size_t operator()(const tarn::Uuid& uuid) const noexcept;
};

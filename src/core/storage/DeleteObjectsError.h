#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// One key the server refused to delete in a multi-object delete.
struct DeleteFailure {
    std::string key;
    std::optional<std::string> code;  // e.g. "AccessDenied"
    std::optional<std::string> message;

    bool operator==(const DeleteFailure&) const = default;
};

// A multi-object delete that the server answered with success while refusing
// some of the keys: those objects still exist.
class DeleteObjectsError : public std::exception {
public:
    // `requested`: how many keys the whole operation was asked to delete.
    DeleteObjectsError(std::vector<DeleteFailure> failures, std::size_t requested);

    const std::vector<DeleteFailure>& failures() const { return m_failures; }
    std::size_t requested() const { return m_requested; }

    // "3 of 2500 objects were not deleted: "a.txt" (AccessDenied), "b.txt", "c.txt".",
    // naming the first few keys and how many more there are.
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    std::vector<DeleteFailure> m_failures;
    std::size_t m_requested;
    std::string m_description;
};

}  // namespace tarn

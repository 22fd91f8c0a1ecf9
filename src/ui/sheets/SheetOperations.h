#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace tarn {

// The state's operations that the text sheets and the delete confirmation end in, as
// function objects: the window binds them to the state, tests watch them. An unset
// one does nothing (a text sheet still closes; the confirmation finds nothing to
// delete and shows no alert).
struct SheetOperations {
    // Called with the trimmed text of the new-folder sheet.
    std::function<void(const QString& name)> createFolder;
    // Called with the trimmed text of the rename-and-move sheet.
    std::function<void(const QString& destination)> moveSelectedObject;

    // Asked when the delete confirmation opens: the deletion of what is selected at
    // that moment, or an empty function when nothing is to be deleted. The alert runs
    // what it got on "delete", so a selection changed meanwhile does not matter.
    std::function<std::function<void()>()> prepareDelete;

    // prepareDelete from a pair of operations: one makes the request from the
    // selection (none when there is nothing to delete), the other deletes a request.
    template <class Request>
    static std::function<std::function<void()>()> deleteThrough(std::function<std::optional<Request>()> makeRequest,
                                                                 std::function<void(const Request&)> performDelete)
    {
        return [makeRequest = std::move(makeRequest), performDelete = std::move(performDelete)]() -> std::function<void()> {
            std::optional<Request> request = makeRequest ? makeRequest() : std::nullopt;
            if (!request || !performDelete) {
                return {};
            }
            return [performDelete, request = std::move(*request)] { performDelete(request); };
        };
    }
};

}  // namespace tarn

#pragma once

#include <QPointer>

#include <cstdint>

namespace tarn {

class TransferCenter;

// A place in the transfer queue, taken when the user hands files over, for the
// uploads they become once they have been looked at (the keys probed, the folders
// walked). Looking takes longer for a large folder than for one small file, so
// uploads join the queue in the order their places were taken, not in the order
// their looks end: a later drop never overtakes an earlier one. A place that is
// given up (destroyed unfilled: nothing to send, or the user is asked first) lets
// the places behind it on.
class UploadPlace {
public:
    UploadPlace() = default;
    ~UploadPlace();
    UploadPlace(UploadPlace&& other) noexcept;
    UploadPlace& operator=(UploadPlace&& other) noexcept;
    UploadPlace(const UploadPlace&) = delete;
    UploadPlace& operator=(const UploadPlace&) = delete;

private:
    friend class TransferCenter;
    UploadPlace(TransferCenter* queue, std::uint64_t number);
    // Hands the place back to the queue it belongs to, if any; it no longer holds one.
    void giveUp();

    QPointer<TransferCenter> m_queue;
    std::uint64_t m_number = 0;  // 0: no place
};

}  // namespace tarn

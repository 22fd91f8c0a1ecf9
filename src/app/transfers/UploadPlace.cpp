#include "app/transfers/UploadPlace.h"

#include "app/transfers/TransferCenter.h"

#include <utility>

namespace tarn {

UploadPlace::UploadPlace(TransferCenter* queue, std::uint64_t number) : m_queue(queue), m_number(number) {}

UploadPlace::~UploadPlace() { giveUp(); }

UploadPlace::UploadPlace(UploadPlace&& other) noexcept
    : m_queue(other.m_queue), m_number(std::exchange(other.m_number, 0)) {
    other.m_queue = nullptr;
}

UploadPlace& UploadPlace::operator=(UploadPlace&& other) noexcept {
    if (this != &other) {
        giveUp();
        m_queue = other.m_queue;
        m_number = std::exchange(other.m_number, 0);
        other.m_queue = nullptr;
    }
    return *this;
}

void UploadPlace::giveUp() {
    const std::uint64_t number = std::exchange(m_number, 0);
    if (number != 0 && m_queue) m_queue->giveUpUploadPlace(number);
    m_queue = nullptr;
}

}  // namespace tarn

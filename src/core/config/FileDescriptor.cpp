#include "core/config/FileDescriptor.h"

#include <unistd.h>

namespace tarn {

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace tarn

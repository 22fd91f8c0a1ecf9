#include "core/preview/PreviewProbe.h"

#include "core/files/FileDescriptor.h"
#include "core/text/Utf8.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::PreviewProbe {

bool isLikelyTextFile(const std::filesystem::path& file) {
    // Non-blocking, so opening a named pipe with no writer returns at once; it is
    // then refused below as not a regular file.
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) return false;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;

    std::string prefix(sniffLength, '\0');
    std::size_t filled = 0;
    while (filled < prefix.size()) {
        const ssize_t count = ::read(fd.get(), prefix.data() + filled, prefix.size() - filled);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            // Unreadable contents cannot be vouched for as text.
            return false;
        }
        filled += static_cast<std::size_t>(count);
    }
    prefix.resize(filled);
    return looksLikeText(prefix);
}

bool looksLikeText(std::string_view bytes) {
    if (bytes.empty()) return true;
    if (bytes.find('\0') != std::string_view::npos) return false;
    if (Utf8::isValid(bytes)) return true;
    std::size_t textual = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 9 || byte == 10 || byte == 13 || (byte >= 32 && byte <= 126) || byte >= 128) ++textual;
    }
    // Strictly more than 85 %, compared in integers: textual / size > 17 / 20.
    return textual * 20 > bytes.size() * 17;
}

}  // namespace tarn::PreviewProbe

#pragma once

namespace tarn {

// Owns one open file descriptor and closes it when it goes away; a negative value
// (a failed open) owns nothing. Meant for descriptors that are only read, and for
// open folders: closing one cannot lose data, so a failed close is not reported.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;

    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace tarn

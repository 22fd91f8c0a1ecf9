#pragma once

#include "core/files/FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// A file that is written piece by piece under a hidden temporary name in its
// target's folder and takes the target's name only when it is complete and on
// disk. Until then an existing file at the target stays exactly as it was; a
// staged file that is never committed (a failed or cancelled download, an
// exception) is removed when the object goes away.
//
// A process that is killed cannot remove its temporary file, so the name records
// the writer: the first staged file in a folder (again after an hour) removes the
// temporary files of this naming there that are over a day old or whose writer
// is gone, provided they belong to this user.
//
// Failures throw std::filesystem::filesystem_error naming the target and the
// operating system's reason. The target's folder must exist.
class StagedFile {
public:
    enum class Access {
        ownerOnly,  // 0600: configuration and other private files
        usual,      // 0666 less the umask, like any file a program creates for the user
    };

    // In the folder of `target`, found by its path.
    StagedFile(std::filesystem::path target, Access access);
    // As the entry `name` of the open `folder`, which the file keeps open: the
    // temporary file, the rename and the flushes all go through it, so the file
    // lands in that folder even if its path is changed meanwhile. `target` is the
    // file's path, for messages and target().
    StagedFile(FileDescriptor folder, std::string name, std::filesystem::path target, Access access);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    void write(std::string_view bytes);
    void write(std::span<const std::uint8_t> bytes);
    // Bytes written so far.
    std::int64_t size() const { return m_size; }

    // Flushes the file, gives it the target's name (replacing a file there) and
    // flushes the folder, so the new name survives a crash.
    void commit();
    // The same, except that a file already at the target is left alone: false then,
    // and the staged bytes are dropped. Checking and naming are one step.
    bool commitIfAbsent();

    const std::filesystem::path& target() const { return m_target; }
    // The temporary name; empty once the file was committed.
    const std::filesystem::path& temporaryPath() const { return m_temporary; }

    // The hidden temporary name for a file named `targetName` written by the
    // process `writer`: ".name.tmp-PID-HOST-RANDOM", where HOST tells this machine
    // and process namespace from others sharing the folder (a network home).
    static std::string temporaryName(std::string_view targetName, int writer);

private:
    void create(Access access);
    void finishWriting();
    void syncFolder() const;
    void discard() noexcept;

    FileDescriptor m_folder;
    std::string m_name;
    std::filesystem::path m_target;
    std::string m_temporaryName;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    std::int64_t m_size = 0;
};

}  // namespace tarn

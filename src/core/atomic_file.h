#pragma once

#include <string>
#include <string_view>

namespace vna::core {

// Replaces the file at `path` with `contents`: the text is written to a temporary file in the
// same folder, flushed to the disk and renamed over the old file, so a crash or a full disk leaves
// either the old file or the new one, never half of one. On failure the old file is untouched,
// the temporary file is removed and `error` (when given) says what went wrong.
bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or read. Files larger than `maxBytes` are
// refused, so a wrong file chosen by mistake cannot exhaust memory.
bool ReadWholeFile(const std::string& path, std::string& contents, std::size_t maxBytes = 64u << 20);

bool FileExists(const std::string& path);

// True for an existing file whose owner-write permission is off: the program treats it as a
// read-only file that it must not replace.
bool FileIsWriteProtected(const std::string& path);

} // namespace vna::core

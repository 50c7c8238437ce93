#include "core/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vna::core {

namespace {

std::string TempNameFor(const std::string& path) {
    static std::mt19937 rng{std::random_device{}()};
    return path + ".tmp" + std::to_string(rng() % 1000000);
}

void SetError(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
}

} // namespace

bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error) {
    const std::string tmp = TempNameFor(path);
#ifndef _WIN32
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetError(error, std::strerror(errno));
        return false;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t w = ::write(fd, contents.data() + done, contents.size() - done);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, std::strerror(errno));
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        SetError(error, std::strerror(errno));
        ::unlink(tmp.c_str());
        return false;
    }
#else
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.flush();
        if (!out) {
            SetError(error, "write failed");
            out.close();
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
    }
#endif
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        SetError(error, ec.message());
        std::filesystem::remove(tmp, ec);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& contents, std::size_t maxBytes) {
    if (!FileExists(path)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    contents.assign(static_cast<std::size_t>(size), '\0');
    in.read(contents.data(), size);
    return static_cast<bool>(in) || in.eof();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool FileIsWriteProtected(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        return false;
    }
    return (status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
}

} // namespace vna::core

#include "core/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vna::core {

namespace {

namespace fs = std::filesystem;

// Temporary files are named "<file>.tmp<pid>-<n>": the writer's process id tells a later write
// whether the one that left it is still at work or died half way (killed, or the power went).
constexpr const char* TempInfix = ".tmp";

std::string TempNameFor(const std::string& path) {
    static std::mt19937 rng{std::random_device{}()};
#ifndef _WIN32
    const long pid = static_cast<long>(::getpid());
#else
    const long pid = 0;
#endif
    return path + TempInfix + std::to_string(pid) + "-" + std::to_string(rng() % 1000000);
}

void SetError(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
}

// The file a write replaces: a symbolic link is followed to the file it names, so the link stays.
fs::path WriteTarget(const std::string& path) {
    fs::path target(path);
    std::error_code ec;
    // A loop of links ends somewhere: the last one is then replaced like a file.
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// True for "<name>.tmp<pid>-<n>" (and the older "<name>.tmp<n>") of this name.
bool IsOurTemp(const std::string& candidate, const std::string& name, long& pid) {
    const std::string prefix = name + TempInfix;
    if (candidate.size() <= prefix.size() || candidate.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string rest = candidate.substr(prefix.size());
    const auto dash = rest.find('-');
    const std::string pidText = dash == std::string::npos ? std::string() : rest.substr(0, dash);
    const std::string number = dash == std::string::npos ? rest : rest.substr(dash + 1);
    const auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 10 && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(number) || (dash != std::string::npos && !digits(pidText))) {
        return false;
    }
    pid = pidText.empty() ? 0 : std::stol(pidText);
    return true;
}

// Removes the temporary files that earlier writes of this file left behind when they were cut
// short: those of a process that no longer runs, and any older than ten minutes (no write takes
// that long, and a process id may have been reused).
void RemoveStaleTemps(const fs::path& target) {
    std::error_code ec;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string name = target.filename().string();
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        long pid = 0;
        const std::string candidate = it->path().filename().string();
        if (!IsOurTemp(candidate, name, pid) || !it->is_regular_file(ec)) {
            continue;
        }
        bool gone = now - it->last_write_time(ec) > std::chrono::minutes(10);
#ifndef _WIN32
        gone = gone || pid == 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
#endif
        if (gone) {
            fs::remove(it->path(), ec);
        }
    }
}

#ifndef _WIN32
// The rename is only lasting once the folder that holds the new name is on the disk too.
void SyncFolder(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

} // namespace

bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error) {
    const fs::path target = WriteTarget(path);
    const std::string tmp = TempNameFor(target.string());
    RemoveStaleTemps(target);
#ifndef _WIN32
    // A new file gets the usual mode (umask applied); a replaced one keeps its own.
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, std::strerror(errno));
        return false;
    }
    const auto fail = [&](int code) {
        SetError(error, std::strerror(code));
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    };
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0) {
        return fail(errno);
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t w = ::write(fd, contents.data() + done, contents.size() - done);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (::close(fd) != 0) {
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
            fs::remove(tmp, ec);
            return false;
        }
    }
#endif
    std::error_code ec;
    fs::rename(tmp, target, ec);
    if (ec) {
        SetError(error, ec.message());
        fs::remove(tmp, ec);
        return false;
    }
#ifndef _WIN32
    SyncFolder(target);
#endif
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

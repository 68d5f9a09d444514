// Named mutexes as per-user locks: the creator of a name holds an exclusive
// flock on a lock file for that name. The kernel drops a flock when the last
// descriptor of its open file goes, so the name lives exactly as long as the
// process that created it (or until it closes its last handle), a crashed or
// killed one included, and no stale file can keep it alive.
//
// Lock files are never removed: unlinking a lock file lets a second process
// lock a fresh file of the same name while a third still holds the old one.
#include "kernel/mutex.h"

#include <windows.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "backend/trace.h"
#include "kernel/no_memory.h"

namespace platform::kernel {

namespace {

// Escaped names up to this length are used whole; longer ones keep a prefix
// and a hash. With "pomrivel-" and ".lock" around them file names stay far
// below the 255 bytes Linux file systems allow.
constexpr std::size_t kMaxEscapedName = 160;
constexpr std::size_t kKeptPrefix = 120;

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// A name this process holds handles to. `lock` holds the flock when this
// process created the name; it is closed when the name already existed in
// another process, whose lock is what keeps the name existing. Either way the
// name exists for this process while it has a handle to it, as on Windows.
struct NamedMutex {
    UniqueFd lock;
    int handles = 0;
};

struct Tables {
    std::mutex guard;
    // Handed out once each, never reused; a range of their own, apart from
    // the GDI handles, so a handle of the wrong kind is never mistaken.
    std::uintptr_t nextHandle = 0x4B000004;
    // Handle -> lock file name of its mutex; "" for an unnamed mutex.
    std::unordered_map<std::uintptr_t, std::string> handles;
    std::map<std::string, NamedMutex> names;

    HANDLE add(std::string fileName) {
        const std::uintptr_t h = nextHandle;
        nextHandle += 4;
        handles.emplace(h, std::move(fileName));
        return reinterpret_cast<HANDLE>(h);
    }
};

Tables& tables() {
    static Tables t;
    return t;
}

bool isPlainNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

DWORD win32ErrorFor(int error) {
    switch (error) {
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;
    }
}

// The named mutex cannot be made: says why on stderr (the lock is what keeps
// a second instance out, so its loss is worth a line) and fails as Windows
// does when the name is not accessible.
HANDLE fail(const char* name, const std::string& where, int error) {
    std::fprintf(stderr, "pomrivel: cannot create the mutex \"%s\" (%s): %s\n", name, where.c_str(),
                 std::strerror(error));
    SetLastError(win32ErrorFor(error));
    return nullptr;
}

bool isPrivateDirectory(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

}  // namespace

std::string mutexFileName(std::string_view name) {
    constexpr std::string_view kLocal = "Local\\";
    if (name.starts_with(kLocal)) name.remove_prefix(kLocal.size());
    std::string escaped;
    for (unsigned char c : name) {
        if (isPlainNameByte(c)) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    if (escaped.size() > kMaxEscapedName) {
        escaped.resize(kKeptPrefix);
        char hash[20];
        std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(fnv1a(name)));
        escaped += hash;
    }
    return "pomrivel-" + escaped + ".lock";
}

namespace {
std::string& scope() {
    static std::string s;
    return s;
}
}  // namespace

void setMutexScope(std::string newScope) { scope() = std::move(newScope); }

std::string mutexDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && isPrivateDirectory(st) &&
        ::access(runtime, W_OK | X_OK) == 0)
        return runtime;

    // Never a world-writable place such as /tmp, where another user could
    // make the folder first and so switch the guard off: a folder under
    // this user's own cache directory.
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        cache = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* user = ::getpwuid(::geteuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return {};
        cache = std::string(home) + "/.cache";
    }
    if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) return {};
    const std::string folder = cache + "/pomrivel";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // lstat: a symbolic link planted under our name is refused, not followed.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return {};
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return {};
    return folder;
}

}  // namespace platform::kernel

extern "C" {

// Security attributes play no part (the lock descriptor is never inherited:
// a child must not keep the name alive), and neither does initial ownership:
// nothing here waits on or releases a mutex; what callers rely on is the
// name's existence.
// Every table entry is made before anything depends on it, so a name and
// its handles stay counted alike when memory runs out on the way.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR lpName) {
    using namespace platform::kernel;
    Tables& t = tables();
    std::lock_guard hold(t.guard);
    return failOnNoMemory(HANDLE{}, [&]() -> HANDLE {
        // Windows makes an unnamed mutex for an empty name as for a null one.
        if (!lpName || !*lpName) {
            HANDLE handle = t.add({});
            SetLastError(ERROR_SUCCESS);
            return handle;
        }

        const std::string file =
            mutexFileName(scope().empty() ? std::string(lpName) : std::string(lpName) + "@" + scope());
        bool created = false;
        auto known = t.names.find(file);
        if (known == t.names.end()) {
            const std::string directory = mutexDirectory();
            if (directory.empty())
                return fail(lpName,
                            "no private folder for lock files: $XDG_RUNTIME_DIR and ~/.cache/pomrivel are unusable",
                            EACCES);
            const std::string path = directory + "/" + file;
            UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
            if (!fd) return fail(lpName, path, errno);
            struct stat st {};
            if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
                return fail(lpName, path, EACCES);
            int locked;
            do locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
            while (locked != 0 && errno == EINTR);
            if (locked != 0) {
                if (errno != EWOULDBLOCK) return fail(lpName, path, errno);
                fd.reset();  // another live process holds the name
            }
            created = static_cast<bool>(fd);
            known = t.names.emplace(file, NamedMutex{std::move(fd), 0}).first;
        }

        HANDLE handle = nullptr;
        try {
            handle = t.add(file);
        } catch (const std::bad_alloc&) {
            // A name this call added has no handle: it goes again, and with it
            // the lock it took.
            if (known->second.handles == 0) t.names.erase(known);
            throw;
        }
        ++known->second.handles;
        if (created) {
            SetLastError(ERROR_SUCCESS);
        } else {
            try {
                platform::backend::trace(std::string("mutex exists ") + lpName);
            } catch (const std::bad_alloc&) {
            }
            SetLastError(ERROR_ALREADY_EXISTS);
        }
        return handle;
    });
}

// Only mutex handles are kernel handles here; anything else is refused.
BOOL WINAPI CloseHandle(HANDLE hObject) {
    using namespace platform::kernel;
    Tables& t = tables();
    std::lock_guard hold(t.guard);
    const auto entry = t.handles.find(reinterpret_cast<std::uintptr_t>(hObject));
    if (entry == t.handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::string file = std::move(entry->second);
    t.handles.erase(entry);
    if (!file.empty()) {
        const auto name = t.names.find(file);
        // The last handle of the name: closing the lock file releases it.
        if (name != t.names.end() && --name->second.handles == 0) t.names.erase(name);
    }
    return TRUE;
}

}  // extern "C"

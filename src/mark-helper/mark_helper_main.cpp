// posflash-mark-helper: keeps, per recipe name, the highest recipe sequence this station has
// verified, in a folder the operator cannot write. Setuid to the system user posflash (never
// root); libc and the C++ standard library only, no toolkit, none of the inherited
// environment, and its arguments alone:
//   posflash-mark-helper raise NAME_HEX SEQUENCE
// It stores SEQUENCE when higher than the mark stored, never lowers one, and touches no file but
// the name's mark (and its temporary twin) below the marks folder. It prints one line:
//   "kept N"          exit 0: the mark now stored
//   "refused TEXT"    exit 2: the arguments are not ones it takes
//   "failed TEXT"     exit 1: the folder or the mark could not be read or written
#include "mark-helper/mark_request.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace posflash::mark_helper;

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer cannot look into a setuid process (it is not dumpable) and reads no option
// from the environment there: in the sanitizers' build its check would fail every exit.
extern "C" int __lsan_is_turned_off() {
    return 1;
}
#endif

namespace {

// However the caller behaves (a held lock, a stopped disk), the helper ends by then.
constexpr unsigned kLifetimeSeconds = 10;
// A mark is "SEQUENCE\n": 17 bytes at most; more is no mark.
constexpr std::size_t kMarkReadSize = 32;

int say(int code, const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
    return code;
}

int failed(const std::string& what) {
    return say(1, "failed " + what + ": " + std::strerror(errno));
}

// Descriptors 0 to 2 are open, so that no file this program opens becomes its output.
bool standardDescriptorsOpen() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", O_RDWR) != fd)
            return false;
    return true;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

// The folder at dir/name, made when missing; never through a symlink.
Fd openFolder(int dir, const std::string& name) {
    if (::mkdirat(dir, name.c_str(), 0755) != 0 && errno != EEXIST)
        return Fd();
    return Fd(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The stored mark; 0 when there is none, or what is there is not a mark (a symlink, a folder,
// a device, a damaged file). Only a regular file is read, and never through a symlink.
std::uint64_t storedMark(int dir, const std::string& name) {
    const Fd fd(
        ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!fd.ok() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    char content[kMarkReadSize];
    const ssize_t size = ::read(fd.get(), content, sizeof content);
    if (size <= 0)
        return 0;
    return ParseStoredMark(std::string_view(content, static_cast<std::size_t>(size))).value_or(0);
}

// Writes the mark whole beside the old one and puts it in its place in one step: a crash leaves
// the old mark or the new one, never a part.
bool storeMark(int dir, const std::string& name, std::uint64_t sequence) {
    const std::string temporary = "." + name + ".tmp";
    // A leftover of a stopped run (or anything planted there) goes; O_EXCL never follows a link.
    ::unlinkat(dir, temporary.c_str(), 0);
    const int fd = ::openat(dir, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const std::string content = std::to_string(sequence) + "\n";
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
        ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
        const int kept = written ? errno : error;
        ::unlinkat(dir, temporary.c_str(), 0);
        errno = kept;
        return false;
    }
    return ::fsync(dir) == 0;
}

} // namespace

int main(int argc, char** argv) {
    // First of all: whatever the caller does, the helper does not outlive this.
    ::alarm(kLifetimeSeconds);
    // Nothing inherited is trusted; the helper reads no variable at all.
    ::clearenv();
    ::umask(022);
    if (!standardDescriptorsOpen())
        return 1;
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const ParsedMarkRequest parsed = ParseMarkRequest(args);
    if (!parsed.request)
        return say(2, "refused " + parsed.refusal);

    const Fd top(::open(POSFLASH_MARKS_DIR, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!top.ok())
        return failed(std::string("the marks folder ") + POSFLASH_MARKS_DIR);
    // One raise at a time, so that a lower one never replaces a higher one written meanwhile.
    if (::flock(top.get(), LOCK_EX) != 0)
        return failed("the marks folder's lock");
    std::vector<std::string> path = MarkPath(parsed.request->nameHex);
    const std::string name = path.back();
    path.pop_back();
    Fd inner; // a long name's folder, when it has one
    for (const std::string& folder : path) {
        inner = openFolder(inner.ok() ? inner.get() : top.get(), folder);
        if (!inner.ok())
            return failed("the marks folder " + folder);
    }
    const int dir = inner.ok() ? inner.get() : top.get();

    const std::uint64_t stored = storedMark(dir, name);
    if (stored >= parsed.request->sequence)
        return say(0, "kept " + std::to_string(stored));
    if (!storeMark(dir, name, parsed.request->sequence))
        return failed("the mark could not be stored");
    return say(0, "kept " + std::to_string(parsed.request->sequence));
}

// The durable writer, the folders it writes in, and the writers' lock.
#include <FileIO/durable_file.h>
#include <FileIO/durable_file_testing.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <thread>

namespace fileio {
namespace testing {
namespace {

std::function<int(Step, int)> &step_hook() {
    static std::function<int(Step, int)> hook;
    return hook;
}

std::function<void(unsigned char *, size_t)> &random_hook() {
    static std::function<void(unsigned char *, size_t)> hook;
    return hook;
}

}  // namespace

void set_step_hook(std::function<int(Step, int)> hook) { step_hook() = std::move(hook); }
void set_random_hook(std::function<void(unsigned char *, size_t)> hook) { random_hook() = std::move(hook); }

}  // namespace testing

namespace {

using testing::Step;

std::string directory_of(const std::string &path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string file_name_of(const std::string &path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Failure failed_with(int error, const std::string &why) {
    errno = error;
    return Failure(why);
}

Failure system_failure(const std::string &doing = {}) {
    int error = errno;
    return failed_with(error, doing.empty() ? std::strerror(error) : doing + ": " + std::strerror(error));
}

// A step of the writer, after the test seam had its say: false with errno
// set when the seam fails it.
bool seam_allows(Step step, int fd) {
    if (!testing::step_hook()) return true;
    int error = testing::step_hook()(step, fd);
    if (error == 0) return true;
    errno = error;
    return false;
}

// Closes a descriptor on every path out of a scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    // Closes now and says whether the close reported no error.
    bool close_checked() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int fd_;
};

// A short, stable stand-in for a name too long to carry a suffix within
// NAME_MAX (FNV-1a, 64 bits).
std::string name_hash(const std::string &name) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char text[20];
    snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("#") + text;
}

constexpr size_t kRandomBytes = 10;  // 80 bits: 20 hex digits
constexpr size_t kLongestPlainName = 160;

bool fill_random(unsigned char *bytes, size_t size) {
    if (testing::random_hook()) {
        testing::random_hook()(bytes, size);
        return true;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t got = getrandom(bytes + done, size - done, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool write_all(int fd, std::string_view bytes, size_t &done) {
    done = 0;
    while (done < bytes.size()) {
        if (!seam_allows(Step::WriteData, fd)) return false;
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// The temporary, created exclusively under a fresh random name; a name
// already taken (by a planted file or link, or by chance) is never opened.
Result<int> create_temporary(int folder, const std::string &prefix, std::string &name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        unsigned char random[kRandomBytes];
        if (!fill_random(random, sizeof random)) return system_failure("no random name for a temporary file");
        name = prefix;
        for (unsigned char byte : random) {
            static constexpr char kHex[] = "0123456789abcdef";
            name += kHex[byte >> 4];
            name += kHex[byte & 0xf];
        }
        if (!seam_allows(Step::CreateTemporary, folder)) return system_failure();
        int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return system_failure();
    }
    return failed_with(EEXIST, "no free name for a temporary file");
}

Status check_owner(const struct stat &folder, const std::string &dir) {
    if (!S_ISDIR(folder.st_mode)) return failed_with(ENOTDIR, std::strerror(ENOTDIR));
    if (folder.st_uid == geteuid()) return Status::success();
    // Named as the user named it, and where links led, when elsewhere.
    std::string named = "the folder " + dir;
    char resolved[PATH_MAX];
    if (realpath(dir.c_str(), resolved) && dir != resolved) named += " (which leads to " + std::string(resolved) + ")";
    return failed_with(EPERM, named + " belongs to user " + std::to_string(folder.st_uid) + ", not to this user (" +
                                  std::to_string(geteuid()) + ")");
}

}  // namespace

std::string temporary_prefix(const std::string &path) {
    std::string name = file_name_of(path);
    return "." + (name.size() <= kLongestPlainName ? name : name_hash(name)) + ".tmp-";
}

Result<struct stat> write_file_durably(const std::string &path, std::string_view bytes, mode_t mode,
                                       const WriteOptions &options) {
    std::string dir = directory_of(path);
    Descriptor folder(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return system_failure();
    if (options.folder == Folder::OwnedByMe) {
        struct stat info {};
        if (fstat(folder.get(), &info) != 0) return system_failure();
        if (Status owned = check_owner(info, dir); !owned) return owned.failure();
    }
    std::string temporary;
    Result<int> created = create_temporary(folder.get(), temporary_prefix(path), temporary);
    if (!created) return created.failure();
    Descriptor file(*created);
    // From here on, a failure removes the temporary; errno survives that.
    auto abandon = [&](Failure failure) {
        int error = errno;
        file.close_checked();
        unlinkat(folder.get(), temporary.c_str(), 0);
        errno = error;
        return failure;
    };
    if (options.owner && geteuid() == 0 &&
        fchown(file.get(), *options.owner, options.group ? *options.group : static_cast<gid_t>(-1)) != 0)
        return abandon(system_failure("cannot give the file its owner"));
    if (fchmod(file.get(), mode) != 0) return abandon(system_failure("cannot set the file's mode"));
    size_t written = 0;
    if (!write_all(file.get(), bytes, written)) {
        if (written == 0) return abandon(system_failure());
        return abandon(system_failure("short write, " + std::to_string(written) + " of " +
                                      std::to_string(bytes.size()) + " bytes"));
    }
    if (!seam_allows(Step::SyncFile, file.get()) || fsync(file.get()) != 0)
        return abandon(system_failure("cannot flush the file to disk"));
    // A second descriptor stays open across the rename, to take the status
    // of the written file as it then stands (a rename changes its
    // status-change time). The first is closed before the rename and its
    // close checked: a late write error must leave the old file in place.
    Descriptor witness(dup(file.get()));
    if (witness.get() < 0) return abandon(system_failure());
    if (!file.close_checked()) return abandon(system_failure("cannot close the file"));
    if (!seam_allows(Step::Rename, folder.get()) ||
        renameat(folder.get(), temporary.c_str(), folder.get(), file_name_of(path).c_str()) != 0)
        return abandon(system_failure("cannot rename the file into place"));
    struct stat status {};
    if (fstat(witness.get(), &status) != 0) return system_failure();
    if (!seam_allows(Step::SyncFolder, folder.get()) || fsync(folder.get()) != 0)
        return system_failure("the file was replaced, but its folder could not be flushed to disk");
    return status;
}

Status make_directories(const std::string &dir, mode_t mode) {
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return Status::success();
        return failed_with(ENOTDIR, std::strerror(ENOTDIR));
    }
    if (errno != ENOENT) return system_failure();
    std::string parent = directory_of(dir);
    if (parent != dir) {
        if (Status made = make_directories(parent, mode); !made) return made;
    }
    if (mkdir(dir.c_str(), mode) != 0) {
        if (errno == EEXIST && stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return Status::success();
        return system_failure();
    }
    // mkdir's mode passes through the umask; the folder gets exactly mode.
    Descriptor made(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (made.get() < 0 || fchmod(made.get(), mode) != 0) return system_failure();
    return Status::success();
}

Status require_owned_folder(const std::string &dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0) return system_failure();
    return check_owner(info, dir);
}

void remove_stale_temporaries(const std::string &path) {
    std::string prefix = temporary_prefix(path);
    DIR *listing = opendir(directory_of(path).c_str());
    if (!listing) return;
    while (const dirent *entry = readdir(listing)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(dirfd(listing), entry->d_name, 0);
    }
    closedir(listing);
}

Result<WriterLock> WriterLock::take(const std::string &path, std::chrono::milliseconds longest_wait) {
    std::string lock_path = directory_of(path) + "/." + file_name_of(path) + ".lock";
    // Never through a link, and never blocking on whatever else was put there.
    int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return system_failure();
    WriterLock lock(fd);
    struct stat info {};
    if (fstat(fd, &info) != 0) return system_failure();
    if (!S_ISREG(info.st_mode)) return failed_with(EINVAL, "its lock " + lock_path + " is not a regular file");
    auto deadline = std::chrono::steady_clock::now() + longest_wait;
    auto pause = std::chrono::microseconds(100);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return system_failure();
        if (std::chrono::steady_clock::now() >= deadline)
            return failed_with(EWOULDBLOCK, "another writer holds its lock");
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(500));
    }
    // Held: no writer of path can be busy, so a temporary beside it is one a
    // killed writer left.
    remove_stale_temporaries(path);
    return lock;
}

WriterLock &WriterLock::operator=(WriterLock &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

WriterLock::~WriterLock() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace fileio

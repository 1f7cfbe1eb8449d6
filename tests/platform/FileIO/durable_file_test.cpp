// The durable-file helper on its own: what a write leaves behind on success
// and on every failure, names no one can guess or plant, and readers that
// neither block nor outgrow their limit.
#include "temp_home.h"

#include <FileIO/durable_file.h>
#include <FileIO/durable_file_testing.h>

#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <vector>

using namespace glissor_test;
using fileio::testing::Step;
using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

class DurableFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string target = dir.path() + "/settings.plist";

    void TearDown() override {
        fileio::testing::set_step_hook({});
        fileio::testing::set_random_hook({});
    }
    std::vector<std::string> names_in_dir() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename());
        return names;
    }
    void expect_no_temporaries() const {
        for (const auto &name : names_in_dir())
            EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "temporary left behind: " << name;
    }
};

mode_t mode_of(const std::string &path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The path a descriptor stands for, from /proc.
std::string path_of_descriptor(int fd) {
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd));
}

TEST_F(DurableFile, WriteReplacesTheFileWithExactlyTheModeAsked) {
    write_file(target, "old");
    mode_t old_umask = umask(0277);  // would make a file no one may write
    auto written = fileio::write_file_durably(target, "new bytes", 0640);
    umask(old_umask);
    ASSERT_TRUE(written) << written.message();
    EXPECT_EQ(read_file(target), "new bytes");
    EXPECT_EQ(mode_of(target), 0640u);
    struct stat now {};
    ASSERT_EQ(stat(target.c_str(), &now), 0);
    EXPECT_EQ(written->st_ino, now.st_ino) << "the status is not of the written file";
    EXPECT_EQ(written->st_size, 9);
    expect_no_temporaries();
}

TEST_F(DurableFile, StepsRunInOrderAndTheFolderIsFlushedAfterTheRename) {
    write_file(target, "old");
    struct stat folder {};
    ASSERT_EQ(stat(dir.path().c_str(), &folder), 0);
    std::vector<Step> steps;
    std::string content_at_folder_sync;
    bool synced_the_folder = false;
    fileio::testing::set_step_hook([&](Step step, int fd) {
        if (steps.empty() || steps.back() != step) steps.push_back(step);
        if (step == Step::SyncFolder) {
            struct stat synced {};
            synced_the_folder = fstat(fd, &synced) == 0 && synced.st_ino == folder.st_ino &&
                                synced.st_dev == folder.st_dev;
            content_at_folder_sync = read_file(target);
        }
        return 0;
    });
    ASSERT_TRUE(fileio::write_file_durably(target, "new", 0600));
    EXPECT_EQ(steps, (std::vector<Step>{Step::CreateTemporary, Step::WriteData, Step::SyncFile, Step::Rename,
                                        Step::SyncFolder}));
    EXPECT_TRUE(synced_the_folder) << "the folder's own descriptor was not the one flushed";
    EXPECT_EQ(content_at_folder_sync, "new") << "the folder was flushed before the rename";
}

TEST_F(DurableFile, AFailureAtAnyStepBeforeTheRenameLeavesTheOldFileIntact) {
    for (Step failing : {Step::CreateTemporary, Step::WriteData, Step::SyncFile, Step::Rename}) {
        write_file(target, "old contents");
        fileio::testing::set_step_hook([failing](Step step, int) { return step == failing ? EIO : 0; });
        auto written = fileio::write_file_durably(target, "new contents", 0600);
        fileio::testing::set_step_hook({});
        ASSERT_FALSE(written) << static_cast<int>(failing);
        EXPECT_THAT(written.message(), HasSubstr(strerror(EIO)));
        EXPECT_EQ(read_file(target), "old contents") << static_cast<int>(failing);
        expect_no_temporaries();
    }
    // A folder that cannot be flushed is reported too, though the file is
    // already the new one then.
    fileio::testing::set_step_hook([](Step step, int) { return step == Step::SyncFolder ? EIO : 0; });
    auto written = fileio::write_file_durably(target, "new contents", 0600);
    ASSERT_FALSE(written);
    EXPECT_THAT(written.message(), HasSubstr("folder could not be flushed"));
}

// In a child: a file size limit of 10 bytes, its signal ignored.
[[noreturn]] void write_past_a_size_limit(const std::string &target) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 10;
    setrlimit(RLIMIT_FSIZE, &limit);
    auto written = fileio::write_file_durably(target, std::string(100, 'x'), 0600);
    bool right = !written && written.message() == "short write, 10 of 100 bytes: File too large" &&
                 read_file(target) == "old contents";
    if (!right) fprintf(stderr, "%s\n", written ? "written" : written.message().c_str());
    _exit(right ? 0 : 1);
}

TEST_F(DurableFile, AShortWriteIsAFailureNotADeathBySignal) {
    write_file(target, "old contents");
    EXPECT_EXIT(write_past_a_size_limit(target), ::testing::ExitedWithCode(0), "");
    expect_no_temporaries();
}

TEST_F(DurableFile, TemporaryNamesAreRandomAndBesideTheTarget) {
    std::vector<std::string> names;
    fileio::testing::set_step_hook([&](Step step, int fd) {
        if (step == Step::SyncFile) names.push_back(path_of_descriptor(fd));
        return 0;
    });
    ASSERT_TRUE(fileio::write_file_durably(target, "one", 0600));
    ASSERT_TRUE(fileio::write_file_durably(target, "two", 0600));
    ASSERT_EQ(names.size(), 2u);
    for (const auto &name : names)
        EXPECT_THAT(name, MatchesRegex(dir.path() + "/\\.settings\\.plist\\.tmp-[0-9a-f]{20}"));
    EXPECT_NE(names[0], names[1]);
    EXPECT_EQ(fileio::temporary_prefix(target), ".settings.plist.tmp-");
    // A name too long to carry the suffix gets a hash in its place.
    std::string long_name = dir.path() + "/" + std::string(240, 'n');
    ASSERT_TRUE(fileio::write_file_durably(long_name, "long", 0600));
    EXPECT_EQ(read_file(long_name), "long");
}

TEST_F(DurableFile, AFileOrLinkPlantedAtATemporaryNameIsNeverOpenedNorFollowed) {
    write_file(target, "old");
    std::string victim = dir.path() + "/victim";
    write_file(victim, "victim's own");
    // The first name drawn is known in advance, as if the attacker guessed it.
    int draws = 0;
    fileio::testing::set_random_hook([&](unsigned char *bytes, size_t size) {
        memset(bytes, draws == 0 ? 0xab : draws, size);
        ++draws;
    });
    std::string guessed = dir.path() + "/.settings.plist.tmp-abababababababababab";
    ASSERT_EQ(symlink(victim.c_str(), guessed.c_str()), 0);
    auto written = fileio::write_file_durably(target, "new", 0600);
    ASSERT_TRUE(written) << written.message();
    EXPECT_EQ(read_file(target), "new");
    EXPECT_EQ(read_file(victim), "victim's own") << "the planted link was followed";
    EXPECT_TRUE(std::filesystem::is_symlink(guessed)) << "someone else's link is not ours to remove";
    EXPECT_EQ(draws, 2) << "a taken name must make the writer draw another";

    // When every name is taken, the write fails and the old file stays.
    fileio::testing::set_random_hook([](unsigned char *bytes, size_t size) { memset(bytes, 0xab, size); });
    auto refused = fileio::write_file_durably(target, "newer", 0600);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message(), "no free name for a temporary file");
    EXPECT_EQ(read_file(target), "new");
    EXPECT_EQ(read_file(victim), "victim's own");
}

TEST_F(DurableFile, AFolderOfAnotherUserIsRefusedWhenOwnershipIsAsked) {
    std::string foreign = dir.path() + "/foreign";
    std::filesystem::create_directories(foreign);
    chmod(foreign.c_str(), 0777);
    if (geteuid() != 0 || chown(foreign.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a folder away";
    auto refused = fileio::write_file_durably(foreign + "/x.plist", "x", 0600, {.folder = fileio::Folder::OwnedByMe});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message(), "the folder " + foreign + " belongs to user 65534, not to this user (0)");
    EXPECT_FALSE(file_exists(foreign + "/x.plist"));
    EXPECT_FALSE(fileio::require_owned_folder(foreign));
    EXPECT_TRUE(fileio::require_owned_folder(dir.path()));
    EXPECT_TRUE(fileio::write_file_durably(foreign + "/x.plist", "x", 0600)) << "Folder::Any writes anywhere";
}

TEST_F(DurableFile, FoldersAreMadeWithTheirModeWhateverTheUmask) {
    std::string deep = dir.path() + "/a/b/c";
    mode_t old_umask = umask(0277);
    Status made = fileio::make_directories(deep, 0700);
    umask(old_umask);
    ASSERT_TRUE(made) << made.message();
    for (const std::string &folder : {dir.path() + "/a", dir.path() + "/a/b", deep}) EXPECT_EQ(mode_of(folder), 0700u);
    write_file(dir.path() + "/file", "x");
    Status blocked = fileio::make_directories(dir.path() + "/file/sub", 0700);
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.message(), strerror(ENOTDIR));
}

TEST_F(DurableFile, TakingTheLockClearsWhatAKilledWriterLeftAndASecondWaitsBoundedly) {
    write_file(target, "x");
    std::string stale = dir.path() + "/" + fileio::temporary_prefix(target) + "0123456789abcdef0123";
    write_file(stale, "half a file");
    std::string other = dir.path() + "/.other.plist.tmp-0123456789abcdef0123";
    write_file(other, "another file's");
    {
        auto lock = fileio::WriterLock::take(target, std::chrono::milliseconds(100));
        ASSERT_TRUE(lock) << lock.message();
        EXPECT_FALSE(file_exists(stale)) << "the killed writer's temporary was kept";
        EXPECT_TRUE(file_exists(other)) << "another file's temporary is not this lock's to clear";
        auto start = std::chrono::steady_clock::now();
        auto second = fileio::WriterLock::take(target, std::chrono::milliseconds(200));
        ASSERT_FALSE(second);
        EXPECT_EQ(second.message(), "another writer holds its lock");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    EXPECT_TRUE(fileio::WriterLock::take(target, std::chrono::milliseconds(100))) << "released with its owner";
}

class WholeFile : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(WholeFile, ReadsARegularFileWithItsStatus) {
    std::string path = dir.path() + "/f";
    write_file(path, "contents");
    auto read = fileio::read_whole_file(path, 100);
    ASSERT_TRUE(read) << read.message();
    EXPECT_EQ(read->bytes, "contents");
    EXPECT_EQ(read->status.st_size, 8);
    EXPECT_TRUE(S_ISREG(read->status.st_mode));
    // Exactly at the limit is within it.
    ASSERT_TRUE(fileio::read_whole_file(path, 8));
    auto missing = fileio::read_whole_file(dir.path() + "/none", 100);
    ASSERT_FALSE(missing);
    EXPECT_EQ(errno, ENOENT);
}

[[noreturn]] void read_what_is_no_regular_file(const std::string &fifo, const std::string &folder,
                                               const std::string &link) {
    alarm(10);
    auto from_fifo = fileio::read_whole_file(fifo, 100);
    bool right = !from_fifo && from_fifo.message() == "not a regular file" && errno == EINVAL;
    auto from_device = fileio::read_whole_file("/dev/zero", 100);
    right = right && !from_device && from_device.message() == "not a regular file";
    auto from_dir = fileio::read_whole_file(folder, 100);
    right = right && !from_dir && errno == EISDIR;
    auto from_link = fileio::read_whole_file(link, 100);
    right = right && !from_link && from_link.message() == "a symbolic link, not followed" && errno == ELOOP;
    _exit(right ? 0 : 1);
}

TEST_F(WholeFile, AFifoADeviceADirectoryAndALinkAreRefusedWithoutBlocking) {
    std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string regular = dir.path() + "/regular";
    write_file(regular, "x");
    std::string link = dir.path() + "/link";
    ASSERT_EQ(symlink(regular.c_str(), link.c_str()), 0);
    // In a child with an alarm: a reader that blocked on the FIFO would hang
    // the test instead of failing it.
    EXPECT_EXIT(read_what_is_no_regular_file(fifo, dir.path(), link), ::testing::ExitedWithCode(0), "");
}

TEST_F(WholeFile, AFileOverTheLimitIsRefusedWithoutReadingIt) {
    std::string huge = dir.path() + "/huge";
    {
        int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);  // 1 GB, sparse
        close(fd);
    }
    auto start = std::chrono::steady_clock::now();
    auto read = fileio::read_whole_file(huge, size_t{1} << 20);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.message(), "too large: more than 1 MiB");
    EXPECT_EQ(errno, EFBIG);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "the gigabyte was read";
    std::string small = dir.path() + "/small";
    write_file(small, "123456789");
    auto over = fileio::read_whole_file(small, 8);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.message(), "too large: more than 8 bytes");
}

TEST_F(WholeFile, AnEndlessStreamStopsAtTheLimitWhileReading) {
    int zero = open("/dev/zero", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(zero, 0);
    auto read = fileio::read_to_end(zero, size_t{4} << 20);
    close(zero);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.message(), "too large: more than 4 MiB");
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    ASSERT_EQ(write(pipe_ends[1], "abc", 3), 3);
    close(pipe_ends[1]);
    auto piped = fileio::read_to_end(pipe_ends[0], 100);
    close(pipe_ends[0]);
    ASSERT_TRUE(piped) << piped.message();
    EXPECT_EQ(*piped, "abc");
}

}  // namespace

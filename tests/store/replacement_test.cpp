// A file replaced through a scratch file keeps what the old one had, refuses
// before anything changes, and leaves the old file whole on any failure.

#include "store/replacement.h"
#include "support/faultyfs.h"
#include "support/tempdir.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

using ReplacementTest = InTempDir;

constexpr const char* kTarget = "rubrica.dat";
constexpr const char* kScratch = "rubrica.dat.tmp";

// Replaces `target` with `bytes`, as every caller does.
Status replace(FileSystem& fs, const std::string& bytes, const char* target = kTarget) {
    Replacement copy(fs);
    Status status = copy.begin(target, kScratch);
    if (status.ok()) {
        status = copy.write(bytes.data(), bytes.size(), 0);
    }
    return status.ok() ? copy.commit() : status;
}

struct stat statOf(const char* path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path, &info), 0) << path;
    return info;
}

std::optional<std::string> attribute(const char* path, const char* name) {
    std::string value(256, '\0');
    const ssize_t size = ::getxattr(path, name, value.data(), value.size());
    if (size < 0) {
        return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(size));
    return value;
}

// An access ACL in the kernel's form: the owner may read and write, user
// 12345 and the owning group may read, others nothing.
std::string readableByOneMoreUser() {
    std::string blob;
    const auto put = [&blob](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            blob += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    put(2, 4); // version
    const std::uint32_t anyone = 0xFFFFFFFF;
    const std::uint32_t entries[][3] = {
        {0x01, 6, anyone}, {0x02, 4, 12345},  {0x04, 4, anyone},
        {0x10, 4, anyone}, {0x20, 0, anyone},
    };
    for (const auto& entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return blob;
}

// A group the user is in besides the current one, if any.
std::optional<gid_t> otherGroupOfMine() {
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    groups.resize(static_cast<std::size_t>(
        std::max(getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    for (const gid_t group : groups) {
        if (group != getegid()) {
            return group;
        }
    }
    return std::nullopt;
}

} // namespace

TEST_F(ReplacementTest, TheNewFileKeepsWhatTheOldOneHad) {
    const struct {
        const char* what;
        // Prepares the old file; false when this machine cannot (the row is skipped).
        std::function<bool()> prepare;
        std::function<void()> check;
    } cases[] = {
        {"its permissions", [] { return chmod(kTarget, 0604) == 0; },
         [] { EXPECT_EQ(statOf(kTarget).st_mode & 07777, 0604u); }},
        // A change of owner or group clears them: the mode must come last.
        {"its set-id bits", [] { return chmod(kTarget, 06750) == 0; },
         [] { EXPECT_EQ(statOf(kTarget).st_mode & 07777, 06750u); }},
        {"an extended attribute of the user's",
         [] { return setxattr(kTarget, "user.chiamoro", "sincronizzata", 13, 0) == 0; },
         [] { EXPECT_EQ(attribute(kTarget, "user.chiamoro"), "sincronizzata"); }},
        {"an ACL",
         [] {
             const std::string acl = readableByOneMoreUser();
             return setxattr(kTarget, "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
         },
         [] {
             EXPECT_EQ(attribute(kTarget, "system.posix_acl_access"), readableByOneMoreUser());
             EXPECT_EQ(statOf(kTarget).st_mode & 0777, 0640u);
         }},
        {"another group of the user's",
         [] {
             const auto group = otherGroupOfMine();
             return group && chown(kTarget, static_cast<uid_t>(-1), *group) == 0;
         },
         [] { EXPECT_EQ(statOf(kTarget).st_gid, *otherGroupOfMine()); }},
        {"for root, another owner and group",
         [] { return geteuid() == 0 && chown(kTarget, 12345, 23456) == 0; },
         [] {
             EXPECT_EQ(statOf(kTarget).st_uid, 12345u);
             EXPECT_EQ(statOf(kTarget).st_gid, 23456u);
         }},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(kTarget);
        writeFile(kTarget, "vecchio");
        if (!c.prepare()) {
            std::printf("skipped, not possible here: %s\n", c.what);
            continue;
        }
        ++run;
        const ino_t before = statOf(kTarget).st_ino;
        ASSERT_TRUE(replace(posixFileSystem(), "nuovo").ok());
        EXPECT_EQ(readFile(kTarget), "nuovo");
        EXPECT_NE(statOf(kTarget).st_ino, before) << "written in place, not replaced";
        EXPECT_FALSE(fileExists(kScratch));
        c.check();
    }
    EXPECT_GE(run, 3);

    // A file made new gets what any new file gets.
    std::filesystem::remove(kTarget);
    const mode_t mask = umask(022);
    ASSERT_TRUE(replace(posixFileSystem(), "nuovo").ok());
    umask(mask);
    EXPECT_EQ(statOf(kTarget).st_mode & 07777, 0644u);
}

TEST_F(ReplacementTest, ARefusalComesBeforeAnythingChanges) {
    const struct {
        const char* what;
        std::function<void(FaultyFileSystem&)> prepare;
        FileOperation operation;
        Cause cause;
        std::string file;
        std::int64_t detail;
    } cases[] = {
        {"a folder", [](FaultyFileSystem&) { std::filesystem::create_directory("cartella"); },
         FileOperation::Replace, Cause::NotRegularFile, "cartella", S_IFDIR},
        {"a pipe", [](FaultyFileSystem&) { ASSERT_EQ(mkfifo("tubo", 0600), 0); },
         FileOperation::Replace, Cause::NotRegularFile, "tubo", S_IFIFO},
        {"a link, which is the caller's to follow",
         [](FaultyFileSystem&) { std::filesystem::create_symlink(kTarget, "collegamento"); },
         FileOperation::Replace, Cause::NotRegularFile, "collegamento", S_IFLNK},
        {"a file with a second name",
         [](FaultyFileSystem&) { std::filesystem::create_hard_link(kTarget, "copia.dat"); },
         FileOperation::Replace, Cause::HardLinks, kTarget, 2},
        {"a folder under the scratch name",
         [](FaultyFileSystem&) { std::filesystem::create_directory(kScratch); },
         FileOperation::Remove, Cause::NotRegularFile, kScratch, S_IFDIR},
        {"a link under the scratch name",
         [](FaultyFileSystem&) { std::filesystem::create_symlink("altro", kScratch); },
         FileOperation::Remove, Cause::NotRegularFile, kScratch, S_IFLNK},
        {"a group the user is not in", [](FaultyFileSystem& fs) { fs.failAt("fchown", 1, EPERM); },
         FileOperation::Replace, Cause::GroupNotKept, kTarget, -1}, // the file's group
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove_all(entry.path());
        }
        writeFile(kTarget, "vecchio");
        writeFile("altro", "di qualcun altro");
        FaultyFileSystem fs;
        c.prepare(fs);
        const bool scratchThere = std::filesystem::is_symlink(kScratch) || fileExists(kScratch);
        const Status status = replace(fs, "nuovo", c.file == kScratch ? kTarget : c.file.c_str());
        EXPECT_EQ(status.operation, c.operation);
        EXPECT_EQ(status.cause, c.cause);
        EXPECT_EQ(status.file, c.file);
        EXPECT_EQ(status.detail, c.detail == -1 ? statOf(kTarget).st_gid : c.detail);
        EXPECT_EQ(readFile(kTarget), "vecchio");
        EXPECT_EQ(readFile("altro"), "di qualcun altro");
        // What lay under the scratch name stays; nothing is left there otherwise.
        EXPECT_EQ(std::filesystem::is_symlink(kScratch) || fileExists(kScratch), scratchThere);
    }
}

TEST_F(ReplacementTest, AScratchNameThatNoLongerLeadsToTheFileWrittenIsNotRenamed) {
    writeFile(kTarget, "vecchio");
    Replacement copy(posixFileSystem());
    ASSERT_TRUE(copy.begin(kTarget, kScratch).ok());
    ASSERT_TRUE(copy.write("nuovo", 5, 0).ok());
    // Another program puts a file of its own under the scratch name.
    writeFile("intruso", "dell'intruso");
    ASSERT_EQ(std::rename("intruso", kScratch), 0);
    const Status status = copy.commit();
    EXPECT_EQ(status.cause, Cause::ScratchReplaced);
    EXPECT_EQ(status.to, kTarget);
    EXPECT_FALSE(copy.renamed());
    EXPECT_EQ(readFile(kTarget), "vecchio");
    EXPECT_EQ(readFile(kScratch), "dell'intruso"); // not ours to remove
}

TEST_F(ReplacementTest, EveryFailedCallLeavesTheOldFileOrTheWholeNewOne) {
    writeFile(kTarget, "vecchio");
    // With an extended attribute, where the disk keeps them, so that copying it fails too.
    const bool attributes = setxattr(kTarget, "user.chiamoro", "x", 1, 0) == 0;
    FaultyFileSystem counting;
    ASSERT_TRUE(replace(counting, "nuovo").ok());
    if (attributes) {
        EXPECT_EQ(counting.count("fsetxattr"), 1);
    }
    int failures = 0;
    for (int n = 1; n <= counting.calls(); ++n) {
        std::filesystem::remove(kTarget);
        writeFile(kTarget, "vecchio");
        if (attributes) {
            ASSERT_EQ(setxattr(kTarget, "user.chiamoro", "x", 1, 0), 0);
        }
        writeFile(kScratch, "stantio");
        FaultyFileSystem faulty;
        faulty.failCall(n, EIO);
        Replacement copy(faulty);
        Status status = copy.begin(kTarget, kScratch);
        if (status.ok()) {
            status = copy.write("nuovo", 5, 0);
        }
        if (status.ok()) {
            status = copy.commit();
        }
        const std::string where = "call " + std::to_string(n) + ", " + faulty.firstFailure();
        ASSERT_FALSE(status.ok()) << where;
        EXPECT_EQ(status.error, EIO) << where;
        ++failures;
        // Only the folder's sync comes after the rename.
        EXPECT_EQ(readFile(kTarget), copy.renamed() ? "nuovo" : "vecchio") << where;
        // A scratch file still there is the stale one, when removing it failed.
        EXPECT_TRUE(!fileExists(kScratch) || readFile(kScratch) == "stantio") << where;
    }
    EXPECT_GE(failures, 14);
}

TEST_F(ReplacementTest, ASignalHandlerRemovesTheScratchFileOfTheReplacementUnderWay) {
    writeFile(kTarget, "vecchio");
    {
        Replacement copy(posixFileSystem());
        ASSERT_TRUE(copy.begin(kTarget, kScratch).ok());
        ASSERT_TRUE(fileExists(kScratch));
        removeScratchFileOnSignal();
        EXPECT_FALSE(fileExists(kScratch));
    }
    // Once renamed or abandoned, the name is no longer the handler's.
    for (const bool commit : {true, false}) {
        Replacement copy(posixFileSystem());
        ASSERT_TRUE(copy.begin(kTarget, kScratch).ok());
        if (commit) {
            ASSERT_TRUE(copy.commit().ok());
        } else {
            copy.abandon();
        }
        writeFile(kScratch, "un file dell'utente");
        removeScratchFileOnSignal();
        EXPECT_TRUE(fileExists(kScratch)) << (commit ? "after the commit" : "after abandoning");
        std::filesystem::remove(kScratch);
    }

    // In a process stopped by SIGTERM half-way through writing.
    writeFile(kTarget, "vecchio");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGTERM, [](int) {
            removeScratchFileOnSignal();
            _exit(3);
        });
        Replacement copy(posixFileSystem());
        if (copy.begin(kTarget, kScratch).ok() && copy.write("nuo", 3, 0).ok()) {
            raise(SIGTERM);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    EXPECT_FALSE(fileExists(kScratch));
    EXPECT_EQ(readFile(kTarget), "vecchio");
}

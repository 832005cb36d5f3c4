// The phone book in folders others may write: links followed only as the
// kernel would, nothing but regular files opened or adopted, and the import
// refusing what the window refuses.

#include "store/fileio.h"
#include "store/recordappend.h"
#include "store/recordfile.h"
#include "support/faultyfs.h"
#include "support/records.h"
#include "support/tempdir.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

using SharedFolderTest = InTempDir;

const uid_t kSomeoneElse = geteuid() + 4242;

// The file system, with `path` (and any path under it, for a folder) shown as
// belonging to `owner`: another user, without another user on the machine.
void showAsOwnedBy(FaultyFileSystem& fs, std::vector<std::pair<std::string, uid_t>> owners) {
    fs.alterStat([owners](const std::string& path, struct stat& info) {
        for (const auto& [name, owner] : owners) {
            if (path == name) {
                info.st_uid = owner;
            }
        }
    });
}

} // namespace

TEST_F(SharedFolderTest, ALinkInAStickyFolderWritableByAllIsFollowedAsTheKernelWould) {
    const struct {
        const char* what;
        mode_t folder;
        bool linkOfAnother;
        bool folderOfTheLinksOwner;
        bool followed;
    } cases[] = {
        {"a link of the user's own, in a shared folder", 01777, false, false, true},
        {"a link of another, in a shared folder", 01777, true, false, false},
        {"a link of the folder's owner, in a shared folder", 01777, true, true, true},
        {"a link of another, in a sticky folder only its owner writes", 01755, true, false, true},
        {"a link of another, in a folder writable by all but not sticky", 0777, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all("condivisa");
        std::filesystem::create_directory("condivisa");
        writeFile("vera.dat", record("1"));
        std::filesystem::create_symlink("../vera.dat", "condivisa/rubrica.dat");
        ASSERT_EQ(chmod("condivisa", c.folder), 0);
        // The link is met through another one, as from the phone book's own name.
        std::filesystem::remove(kDataFileName);
        std::filesystem::create_symlink("condivisa/rubrica.dat", kDataFileName);

        FaultyFileSystem fs;
        std::vector<std::pair<std::string, uid_t>> owners;
        if (c.linkOfAnother) {
            owners.emplace_back("condivisa/rubrica.dat", kSomeoneElse);
        }
        if (c.folderOfTheLinksOwner) {
            owners.emplace_back("condivisa", kSomeoneElse);
        }
        showAsOwnedBy(fs, owners);
        PhoneBookFiles files;
        const Status status = locatePhoneBook(fs, files);
        if (c.followed) {
            ASSERT_TRUE(status.ok());
            EXPECT_EQ(files.data, "condivisa/../vera.dat");
        } else {
            EXPECT_EQ(status.cause, Cause::ForeignLink);
            EXPECT_EQ(status.error, EACCES);
            EXPECT_EQ(status.file, "condivisa/rubrica.dat");
            EXPECT_EQ(status.link, kDataFileName);
        }
        ASSERT_EQ(chmod("condivisa", 0755), 0);
    }
}

TEST_F(SharedFolderTest, OnlyARegularFileOfTheUsersOwnIsAdoptedAsThePhoneBook) {
    const struct {
        const char* what;
        std::function<void()> make; // puts something under the scratch name
        bool ofAnother;
        Cause cause; // System: adopted
        std::int64_t detail;
    } cases[] = {
        {"a file of the user's", [] { writeFile(kScratchFileName, record("salvato")); }, false,
         Cause::System, 0},
        {"a file of another user", [] { writeFile(kScratchFileName, record("piantato")); }, true,
         Cause::ForeignFile, kSomeoneElse},
        {"a link to a file",
         [] {
             writeFile("altrove.dat", record("altrove"));
             std::filesystem::create_symlink("altrove.dat", kScratchFileName);
         },
         false, Cause::NotRegularFile, S_IFLNK},
        {"a folder", [] { std::filesystem::create_directory(kScratchFileName); }, false,
         Cause::NotRegularFile, S_IFDIR},
        {"a pipe", [] { ASSERT_EQ(mkfifo(kScratchFileName, 0600), 0); }, false,
         Cause::NotRegularFile, S_IFIFO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove_all(entry.path());
        }
        c.make();
        FaultyFileSystem fs;
        if (c.ofAnother) {
            showAsOwnedBy(fs, {{kScratchFileName, kSomeoneElse}});
        }
        FolderLock folder(fs);
        ASSERT_TRUE(folder.acquire().ok());
        const Status status = adoptOrphanedScratchFile(fs, folder);
        EXPECT_EQ(status.cause, c.cause);
        if (c.cause == Cause::System) {
            EXPECT_TRUE(status.ok());
            EXPECT_EQ(readFile(kDataFileName), record("salvato"));
            continue;
        }
        EXPECT_EQ(status.operation, FileOperation::Adopt);
        EXPECT_EQ(status.file, kScratchFileName);
        EXPECT_EQ(status.detail, c.detail);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(kDataFileName)));
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(kScratchFileName)));
    }
}

namespace {

// The kernel's permission bits as they stop a user who is not root: writing
// a file without its owner's write bit is refused, whoever runs the test.
class NotRoot : public FaultyFileSystem {
public:
    int open(const char* path, int flags, mode_t mode) override {
        struct stat info {};
        if ((flags & O_ACCMODE) != O_RDONLY && ::stat(path, &info) == 0 &&
            (info.st_mode & S_IWUSR) == 0) {
            errno = EACCES;
            return -1;
        }
        return FaultyFileSystem::open(path, flags, mode);
    }
};

// Opens the phone book as the window does, and as the import does; the
// outcome of each: 0 when it opened, else the errno.
std::pair<int, int> openBothWays(FileSystem& fs) {
    PhoneBookFiles files;
    EXPECT_TRUE(locatePhoneBook(fs, files).ok());
    RecordFile window(fs);
    const Status shown = window.open(files);
    FolderLock folder(fs); // not taken: the import creates nothing here
    RecordAppend import(fs);
    const Status appended = import.open(files, folder);
    return {shown.error, appended.error};
}

} // namespace

TEST_F(SharedFolderTest, TheImportRefusesWhatTheWindowRefuses) {
    const struct {
        const char* what;
        std::function<void()> make;
        bool asNotRoot;
        int error; // for both, the window and the import; -1: whatever the window's is
    } cases[] = {
        {"a book the user may write", [] { writeFile(kDataFileName, record("1")); }, false, 0},
        {"a read-only book, for a user who is not root",
         [] {
             writeFile(kDataFileName, record("1"));
             ASSERT_EQ(chmod(kDataFileName, 0444), 0);
         },
         true, EACCES},
        // Root writes it anyway, and so do both; anyone else is refused by both.
        {"a read-only book, for whoever runs the test",
         [] {
             writeFile(kDataFileName, record("1"));
             ASSERT_EQ(chmod(kDataFileName, 0444), 0);
         },
         false, -1},
        {"a pipe", [] { ASSERT_EQ(mkfifo(kDataFileName, 0600), 0); }, false, EINVAL},
        {"a folder", [] { std::filesystem::create_directory(kDataFileName); }, false, EISDIR},
        {"a link to a device", [] { std::filesystem::create_symlink("/dev/null", kDataFileName); },
         false, EINVAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove_all(entry.path());
        }
        c.make();
        NotRoot notRoot;
        FaultyFileSystem anyone;
        FileSystem& fs = c.asNotRoot ? static_cast<FileSystem&>(notRoot) : anyone;
        const auto [window, import] = openBothWays(fs);
        if (c.error != -1) {
            EXPECT_EQ(window, c.error);
        }
        EXPECT_EQ(import, window);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(kScratchFileName)));
        if (std::filesystem::is_regular_file(kDataFileName)) {
            EXPECT_EQ(readFile(kDataFileName), record("1"));
        }
    }
}

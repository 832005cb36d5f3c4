#pragma once

#include "filesystem.h"
#include "status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// A file replaced in one step: the new content goes into a scratch file
// beside it, which takes the file's attributes and then its name. Whenever the
// program or the computer stops, the file is the whole old one or the whole
// new one; on any failure before the rename the scratch file is removed and
// the file is as it was.
//
// begin()  refuses, before anything changes, a target that is not a regular
//          file, that the user may not write, or that has other names (hard
//          links, which a rename would leave showing the old content); removes
//          a stale scratch file, if it is a regular file (anything else under
//          that name is reported and left alone); makes the scratch file,
//          private (0600) and never through a link; gives it the target's
//          group (refused with Cause::GroupNotKept when the user is not in that
//          group), and for root the owner too, and every extended attribute
//          the user can read, ACLs among them.
// write()  puts the new content into it.
// commit() gives it the target's permissions (last: a change of owner clears
//          the set-id bits), syncs it, checks that the scratch name still
//          leads to the file written (another program could have swapped it),
//          renames it over the target and syncs the folder.
//
// A failure of any of the three before the rename abandons the replacement.
// A missing target is made new, with the permissions a new file gets (0666
// less the umask), given, as all of them, only once its content is complete. The target is the file
// itself: following a link to it is the caller's part (followLinks), and so is choosing the scratch
// name, in the target's folder ("Chiamoro.TMP" beside the phone book).
//
// One replacement is under way at a time: its scratch name is kept where a
// signal handler can reach it (removeScratchFileOnSignal).
class Replacement {
public:
    explicit Replacement(FileSystem& fs) : fs_(fs) {}
    ~Replacement(); // abandons a replacement not committed
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // `link` is the link through which the target was reached, for the reports.
    chiamoro::Status begin(const std::string& target, const std::string& scratch,
                           const std::string& link = {});
    chiamoro::Status write(const char* bytes, std::size_t count, std::int64_t offset);
    // Reads back what write() put there (fewer bytes only past its end).
    chiamoro::Status read(char* bytes, std::size_t count, std::int64_t offset);
    // After the rename it fails only when the folder's sync does: renamed()
    // then says the new content is in place, though a crash might undo it.
    chiamoro::Status commit();
    bool renamed() const { return renamed_; }
    // After the rename, the scratch file's descriptor, which now reaches the
    // target; closing it is then the caller's part.
    int release();
    // Before the rename, closes and removes the scratch file; after it, nothing.
    void abandon();

private:
    chiamoro::Status prepare();
    chiamoro::Status copyOwner(const struct stat& info);
    chiamoro::Status copyAttributes();
    chiamoro::Status removeStaleScratch();
    void forget(); // takes the scratch name back from the signal handler
    chiamoro::Status failure(chiamoro::FileOperation operation,
                             const std::string& file) const; // with errno

    FileSystem& fs_;
    std::string target_;
    std::string scratch_;
    std::string link_;
    int source_ = -1;      // the target, while its attributes are read
    int fd_ = -1;          // the scratch file
    bool made_ = false;    // the scratch name is ours to remove
    bool pending_ = false; // and waits for the signal handler
    bool renamed_ = false;
    mode_t mode_ = 0;  // the target's, given to the scratch file last
    dev_t device_ = 0; // the scratch file written, as its descriptor says
    ino_t inode_ = 0;
};

// For a handler of SIGINT, SIGTERM or SIGHUP: removes the scratch file of the
// replacement under way, if there is one. Async-signal-safe: the name waits
// in a fixed buffer, from the scratch file's creation to its rename or removal.
// True when it removed one: the file it was to replace is as it was.
bool removeScratchFileOnSignal();

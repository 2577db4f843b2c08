#pragma once

// The undo record of one append to a ZIP archive. An append overwrites the archive's central
// directory and end records; they are saved beside the archive, synced, before it is touched,
// so that a failed or killed append can always be taken back to the archive as it was.

#include <cstdint>
#include <string>

namespace record {

// The journal of the archive at archivePath: its path with this added.
constexpr char kAppendJournalSuffix[] = ".journal";

// Takes back an append that a crash or kill interrupted, when its journal lies beside the
// archive; a journal that was not completely written is removed, since the archive was not
// touched yet. An append that is running is waited for, not taken back. Everything that
// opens an archive calls this first. False, with the system's reason in error, when the
// archive could not be restored; the journal then stays for the next try.
bool RecoverInterruptedAppend(const std::string& archivePath, std::string& error);

class AppendJournal {
public:
    AppendJournal() = default;
    ~AppendJournal();
    AppendJournal(const AppendJournal&) = delete;
    AppendJournal& operator=(const AppendJournal&) = delete;

    // Saves the end of the archive (or that there is none yet) in its journal, synced, and
    // holds the journal's lock until Undo or Commit. False with the reason when the archive is
    // not one or the journal cannot be written; the archive is untouched then and no journal
    // is left.
    bool Begin(const std::string& archivePath, std::string& error);

    // The append failed: the archive gets back its old length and end, synced, and the journal
    // is removed.
    bool Undo(std::string& error);

    // The append succeeded: the archive is synced, then the journal goes and with it the way
    // back. When this fails the append is to be undone.
    bool Commit(std::string& error);

    struct Saved {
        bool existed = false;
        uint64_t oldLength = 0;
        uint64_t tailStart = 0;
        // Which file the journal is about: an archive replaced since is not restored.
        uint64_t device = 0;
        uint64_t inode = 0;
        std::string prefix;
        std::string tail;
    };

private:
    bool Save(std::string& error);
    void Unlock();

    std::string archivePath_;
    std::string journalPath_;
    Saved saved_;
    int lock_ = -1;
};

}  // namespace record

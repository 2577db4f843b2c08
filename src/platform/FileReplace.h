#pragma once

// Replacing a small file whole: the new bytes are written beside it, synced and renamed over
// it, so that whatever fails (a full disk, an I/O error, the process killed) the file holds
// either all of its old bytes or all of the new ones.

#include <QByteArray>
#include <QString>

// The outcome of a write. On failure the old file is kept and reason is the system's text.
struct WriteResult {
    bool ok = true;
    QString reason;

    explicit operator bool() const { return ok; }
    static WriteResult Failed(int errorCode);
    static WriteResult Failed(QString reason) { return {false, std::move(reason)}; }
};

enum class LinkRule {
    ReplaceTarget,  // a symbolic link is kept and its target replaced
    ReplaceName,    // the name is replaced, whatever it is; nothing outside its folder is touched
};

// A file written in pieces beside its path and renamed over it by Commit: until then, and
// whatever fails, the path keeps what it held. Not committed, the new bytes are removed.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // An existing file keeps its permissions; a new one gets newFileMode less the umask.
    [[nodiscard]] WriteResult Open(const QString& path, LinkRule links = LinkRule::ReplaceTarget,
                                   unsigned newFileMode = 0666);
    [[nodiscard]] WriteResult Write(const char* bytes, size_t count);
    // Syncs the new bytes and renames them over the path.
    [[nodiscard]] WriteResult Commit();
    void Discard();

private:
    WriteResult Fail(int error);

    int fd_ = -1;
    QByteArray target_;
    QByteArray aside_;
};

// An existing file keeps its permissions; a new one gets newFileMode less the umask.
[[nodiscard]] WriteResult ReplaceFile(const QString& path, const QByteArray& bytes,
                                      LinkRule links = LinkRule::ReplaceTarget,
                                      unsigned newFileMode = 0666);

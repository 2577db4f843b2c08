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

// An existing file keeps its permissions; a new one gets newFileMode less the umask.
[[nodiscard]] WriteResult ReplaceFile(const QString& path, const QByteArray& bytes,
                                      LinkRule links = LinkRule::ReplaceTarget,
                                      unsigned newFileMode = 0666);

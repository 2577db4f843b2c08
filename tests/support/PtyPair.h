#pragma once

// A pseudo-terminal for serial tests: the code under test opens the slave by its path, the test
// plays the far end on the master.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <chrono>

class PtyPair {
public:
    PtyPair() {
        char name[64] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0)
            path_ = name;
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0)
            close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString SlavePath() const { return path_; }
    int Master() const { return master_; }

    bool Send(const QByteArray& bytes) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t put = write(master_, bytes.constData() + done, bytes.size() - done);
            if (put <= 0)
                return false;
            done += put;
        }
        return true;
    }

    // What the slave side wrote, until count bytes came or timeoutMs passed without any.
    QByteArray Receive(qsizetype count, int timeoutMs) const {
        QByteArray got;
        char buffer[4096];
        while (got.size() < count) {
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, timeoutMs) != 1)
                break;
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

    void CloseMaster() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// A byte pattern whose period (251) does not divide the chunk and ring sizes.
inline QByteArray Pattern(qsizetype count, qsizetype offset = 0) {
    QByteArray bytes(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i) bytes[i] = char((i + offset) % 251);
    return bytes;
}

inline int MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count());
}

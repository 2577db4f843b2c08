#pragma once

// Helpers for the comm component's tests: the process's thread count, waiting for a condition,
// and a user locale set for one scope.

#include <dirent.h>
#include <stdlib.h>

#include <QByteArray>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

// A sanitizer starts a thread of its own with the first thread created; one is made first so
// that it is there before anything is counted.
inline int ThreadCount() {
    static const bool warmedUp = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmedUp;
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// Polls until done() holds or timeoutMs passed; returns done() at the end.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 2000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

// Sets LC_ALL for the scope, as a user's locale.
class LocaleScope {
public:
    explicit LocaleScope(const char* locale) {
        if (const char* old = getenv("LC_ALL")) {
            had_ = true;
            old_ = old;
        }
        setenv("LC_ALL", locale, 1);
    }
    ~LocaleScope() {
        if (had_)
            setenv("LC_ALL", old_.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int value : values) bytes.append(char(value));
    return bytes;
}

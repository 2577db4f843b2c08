#pragma once

// What crossed the line, one time-stamped line each: "<" received, ">" sent.

#include <cstdio>
#include <string>

class TLineLog {
public:
    TLineLog() = default;
    ~TLineLog();
    TLineLog(const TLineLog&) = delete;
    TLineLog& operator=(const TLineLog&) = delete;

    bool Open(const std::string& path);
    void Received(double seconds, const std::string& text) { Write(seconds, '<', text); }
    void Sent(double seconds, const std::string& text) { Write(seconds, '>', text); }
    void Note(double seconds, const std::string& text) { Write(seconds, '*', text); }

private:
    void Write(double seconds, char direction, const std::string& text);

    std::FILE* file_ = nullptr;
};

#pragma once

// An X server of the test's own, and plain X windows on it that stand for other programs.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <string>

// A private X server for the test; DISPLAY points at it while it runs.
class Xvfb {
public:
    Xvfb() {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(pipeFds[0]);
            const std::string fd = std::to_string(pipeFds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        std::string number;
        char c;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipeFds[0]);
        if (!number.empty()) {
            display_ = ":" + number;
            setenv("DISPLAY", display_.c_str(), 1);
        }
    }
    ~Xvfb() {
        unsetenv("DISPLAY");
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return !display_.empty(); }

private:
    pid_t pid_ = -1;
    std::string display_;
};

inline xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A mapped window, titled in the given property, inside parent.
inline xcb_window_t MakeWindow(xcb_connection_t* c, xcb_window_t parent, xcb_atom_t property,
                               xcb_atom_t type, const QByteArray& title) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, parent, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    if (!title.isEmpty()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                            static_cast<uint32_t>(title.size()), title.constData());
    }
    xcb_map_window(c, window);
    return window;
}

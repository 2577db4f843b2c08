#include "TopWindows.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TextCodec.h"
#include "Xvfb.h"

namespace {

TEST(TopWindows, FoundByTheirExactTitle) {
    const Xvfb server;
    ASSERT_TRUE(server.Running()) << "Xvfb did not start";
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    const QString tool = QStringLiteral("ISP 编程工具 V1.0 www.example.com");
    const QString legacy = QStringLiteral("老工具 V2");
    const QString framed = QStringLiteral("Framed tool");
    MakeWindow(c, root, netName, utf8, tool.toUtf8());
    MakeWindow(c, root, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, ToGbk(legacy));
    // As a window manager reparents a client into its frame.
    const xcb_window_t frame = MakeWindow(c, root, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, {});
    MakeWindow(c, frame, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, framed.toUtf8());
    xcb_flush(c);

    const struct {
        QString title;
        bool found;
    } cases[] = {
        {tool, true},
        {legacy, true},
        {framed, true},
        {QStringLiteral("ISP 编程工具"), false},
        {tool + QStringLiteral(" "), false},
        {QString(), false},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(TopLevelWindowExists(k.title), k.found) << k.title.toStdString();
        EXPECT_EQ(LowerTopLevelWindow(k.title), k.found) << k.title.toStdString();
    }
    xcb_disconnect(c);
}

TEST(TopWindows, WithoutADisplayNothingIsFound) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    EXPECT_FALSE(TopLevelWindowExists(QStringLiteral("anything")));
    EXPECT_FALSE(LowerTopLevelWindow(QStringLiteral("anything")));
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace

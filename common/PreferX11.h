#pragma once

#include <QByteArray>
#include <string_view>

// Window placement needs X11: in a Wayland session prefer XWayland unless a platform was named
// (on the command line or in QT_QPA_PLATFORM). Call before the application object exists.
inline void PreferX11(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "-platform")
            return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

#pragma once

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUrl>
#include <string_view>

// What both programs need from the desktop around them.

// Window placement needs X11: in a Wayland session prefer XWayland unless a platform was named
// (on the command line or in QT_QPA_PLATFORM). Call before the application object exists.
inline void PreferX11(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "-platform")
            return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Qt's own buttons and dialogs (Yes/No, file dialogs) in German, like the programs' texts.
inline void InstallQtGerman(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

// Opens a user guide with the desktop's viewer. Empty when that worked, else the message for
// the user, naming the guide's path.
inline QString OpenGuide(const QString& path) {
    if (!QFileInfo::exists(path))
        return "Die Anleitung fehlt: " + path;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return "Kein Programm kann die Anleitung zeigen: " + path;
    return {};
}

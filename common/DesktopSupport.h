#pragma once

#include "Language.h"

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

// Qt's own buttons and dialogs (Yes/No, file dialogs) in the programs' language: Qt's German
// translation, or Qt's own English. May be called again to switch; needs the application object.
inline void InstallQtLanguage(TLanguage language) {
    static QTranslator* german = nullptr;
    if (!german) {
        german = new QTranslator(QCoreApplication::instance());
        if (!german->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            qWarning("Qt's German translation (qtbase_de.qm) is not installed");
    }
    if (language == TLanguage::German)
        QCoreApplication::installTranslator(german);
    else
        QCoreApplication::removeTranslator(german);
}

// Opens a user guide with the desktop's viewer. Empty when that worked, else the message for
// the user, naming the guide's path.
inline QString OpenGuide(const QString& path, TLanguage language) {
    const bool german = language == TLanguage::German;
    if (!QFileInfo::exists(path))
        return (german ? "Die Anleitung fehlt: " : "The guide is missing: ") + path;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return (german ? "Kein Programm kann die Anleitung zeigen: "
                       : "No program can show the guide: ") +
               path;
    return {};
}

// The file of a user guide: `program` is "Plinkora" or "Plinkora Control".
inline QString GuideFile(const QString& program, TLanguage language) {
    return program + (language == TLanguage::German ? " Anleitung.html" : " Instructions.html");
}

#include "Startup.h"

#include "FormPositions.h"
#include "Machine.h"
#include "NewOptions.h"
#include "Pk2MidForm.h"
#include "language.h"
#include "midi/Midi_Errors.h"
#include "server/Server.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>

namespace {

// Window placement needs X11: in a Wayland session prefer XWayland unless a platform was named.
void PreferX11(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "-platform")
            return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Arguments 1..n joined with single spaces: a path with spaces survives being split.
QString SongArgument(const std::vector<std::string>& arguments) {
    std::string joined;
    for (size_t i = 1; i < arguments.size(); ++i)
        joined += (i > 1 ? " " : "") + arguments[i];
    return QString::fromLocal8Bit(joined.c_str());
}

} // namespace

int RunMachine(int argc, char** argv) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Plinkora");
    QApplication::setQuitOnLastWindowClosed(false);

    TMachine machine;
    machine.Arguments.assign(argv, argv + argc);

    Tserverform server;
    TForm1 form1(machine, server);
    TForm8 form8(machine.TempoInfo, machine.Song.Steps);
    QObject::connect(&server, &Tserverform::Closed, &application, &QApplication::quit);
    server.AskCloseQuestion = [&form1, &machine] {
        return !machine.Song.SongModified || form1.AskSaveQuestion(false);
    };
    server.StopPlayback = [&form1] { form1.Button2Click(); };
    server.WriteSettings = [&form1] { form1.MakeIniFile(); };
    server.PaintSkin = [&form1](QPainter& painter) { form1.Skins->PaintSkin(painter); };
    form1.Skins->Attach(&server);
    form1.AskStepCount = [&form8, &machine] {
        form8.setsignature(machine.Song.Steps);
        return form8.exec();
    };
    QObject::connect(&form1, &TForm1::SongLoaded, &form8,
                     [&form8, &machine] { form8.setsignature(machine.Song.Steps); });

    // The German texts, applied to every window created so far.
    machine.Texts = LoadLanguage(
        {&server, &form1, nullptr, nullptr, nullptr, nullptr, nullptr, &form8, nullptr});
    SetDeviceBusyText(machine.Texts.DeviceBusyText);
    form1.NewSongName = QString::fromStdString(machine.Texts.NewSongName);
    form1.SaveQuestion = QString::fromStdString(machine.Texts.SaveQuestion);
    form1.OverwriteQuestion = QString::fromStdString(machine.Texts.OverwriteQuestion);
    ApplyMainWindowCaption(form1, "Plinkora", form1.VersionText.toStdString());
    form1.ShowFolderCaptions();
    ApplyNewSongName(machine.Song, nullptr, machine.Texts);
    emit form1.SongNameChanged(form1.NewSongName);

    // End of start-up.
    const QString song = SongArgument(machine.Arguments);
    if (!song.isEmpty() && QFileInfo(song).isFile()) {
        QString error;
        if (!form1.DoLoadSong(song, &error) && !error.isEmpty())
            QMessageBox::warning(&form1, "Plinkora", error);
    }
    form1.show();
    form1.raise();
    form1.activateWindow();
    const TWindowSet windows{&form1, nullptr, nullptr, &server};
    PlaceServerAtStart(windows, machine.Settings.Layout);
    if (server.Connected)
        server.show();
    form1.Skin1Click(); // the saved skin was kept one below: "next" restores it
    SetHints({&form1});
    return application.exec();
}

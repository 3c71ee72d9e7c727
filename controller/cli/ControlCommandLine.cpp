#include "ControlCommandLine.h"

#include "GetPureFilename.h"
#include "LogTexts.h"
#include "ProcessMidUnit.h"
#include "ProgramVersion.h"
#include "ProjectExport.h"
#include "ProjectRender.h"
#include "TextLines.h"

#include <array>

namespace {

const char* const HelpText = R"(Usage: PKControl [--language de|en] [PROJECT.pkp]
       PKControl --combine OUT.mid IN1.mid [IN2.mid [IN3.mid [IN4.mid]]]
       PKControl [--language de|en] --export-midi PROJECT.pkp OUT.mid [--timings]
       PKControl [--language de|en] --render PROJECT.pkp OUT.wav
       PKControl --help | --version

  PROJECT.pkp              start the window and open this project (its machines start)
  --language de|en         German or English for this run, instead of the language chosen
                           in the window (which is kept in the settings); the machines the
                           controller starts speak it too
  --combine OUT IN...      join up to four MIDI files into one format 1 file, one track each
                           (the header, division and tempo of IN1)
  --export-midi PROJECT OUT
                           start the project's machines without windows, have each write its
                           song as a MIDI file, join them into OUT and end the machines;
                           --timings prints how long each phase took
  --render PROJECT OUT     the project's machines as one mix in a sound file: the combined MIDI
                           export played through the built-in synthesizer, much faster than
                           real time (16-bit, 44,100 Hz, stereo;
                           OUT ends in one of: %s)
  --help                   show this text
  --version                show the program version and licence

Options > Synchronisation in the window (kept in the settings) starts the machines with
--follow-transport (JACK-Transport: they follow the JACK transport, and SONG, PATTERN and stop
start and stop it for all of them), --clock (they send MIDI clock), --link (Ableton Link:
they join the Link session of the computers on the local network and play in its tempo and
beat; the window's tempo bar follows the session) and --follow-clock (MIDI-Clock folgen: they
follow the MIDI clock, Start, Stop and Continue that reach their MIDI input).
)";

// The help, naming the sound files this FluidSynth can write.
QString Help() {
    QStringList formats;
    for (const std::string& extension : RenderableExtensions())
        formats << "." + QString::fromStdString(extension);
    return QString(HelpText).replace("%s", formats.join(", "));
}

int Usage(const QString& problem, QTextStream& err) {
    err << "PKControl: " << problem << "\n" << Help();
    return 2;
}

// The MIDI file a command writes must be named so: otherwise the user gets a MIDI file under a
// name that says it is something else. A refused name touches no file.
bool RefusesMidiName(const QString& path, QTextStream& err) {
    if (NamesMidiFile(path.toStdString()))
        return false;
    err << "PKControl: the MIDI file " << path << " does not end in .mid\n";
    return true;
}

int Render(const QStringList& args, const QString& programDirectory, TLanguage language,
           QTextStream& out, QTextStream& err) {
    if (args.size() != 3)
        return Usage("--render needs a project file and a sound file", err);
    const TRenderResult result = RenderProject(args[1], args[2], programDirectory, language);
    if (result.State != TRenderResult::TState::Written) {
        err << "PKControl: " << RenderFaultText(result.Fault, TLanguage::English) << "\n";
        return 1;
    }
    out << args[2] << " (" << result.Seconds << " s)\n";
    return 0;
}

int Combine(const QStringList& args, QTextStream& err) {
    if (args.size() < 3 || args.size() > 6)
        return Usage("--combine needs an output file and one to four input files", err);
    if (RefusesMidiName(args[1], err))
        return 2;
    std::array<QString, 4> inputs;
    for (qsizetype i = 2; i < args.size(); ++i)
        inputs[i - 2] = args[i];
    CombineMidiFiles(inputs, static_cast<int>(args.size() - 2), args[1]);
    return 0;
}

int ExportMidi(const QStringList& args, const QString& programDirectory, TLanguage language,
               QTextStream& out, QTextStream& err) {
    const bool timings = args.size() == 4 && args[3] == "--timings";
    if (args.size() != 3 && !timings)
        return Usage("--export-midi needs a project file and a MIDI file", err);
    if (RefusesMidiName(args[2], err))
        return 2;
    const TExportResult result = ExportProjectMidi(args[1], args[2], programDirectory, language);
    if (!result.Ok) {
        err << "PKControl: " << result.Error << "\n";
        return 1;
    }
    if (timings) {
        const TExportTimes& t = result.Times;
        out << "prepare " << t.Prepare << " ms\nstart " << t.Start << " ms\nload " << t.Load
            << " ms\nexport " << t.Export << " ms\nend " << t.End << " ms\n";
    }
    return 0;
}

} // namespace

QString ControlVersionText() {
    return "PKControl v" + QString::fromStdString(ProgramVersionText());
}

int RunControlCommandLine(const QStringList& args, const QString& programDirectory,
                          QTextStream& out, QTextStream& err, TLanguage language) {
    const QString option = args.value(0);
    try {
        if (option == "--help") {
            out << Help();
            return 0;
        }
        if (option == "--version") {
            out << ControlVersionText() << "\n" << QString::fromStdString(ProgramLicenceText());
            return 0;
        }
        if (option == "--combine")
            return Combine(args, err);
        if (option == "--export-midi")
            return ExportMidi(args, programDirectory, language, out, err);
        if (option == "--render")
            return Render(args, programDirectory, language, out, err);
    } catch (const TControlError& error) {
        err << "PKControl: " << error.what() << "\n";
        return 1;
    }
    return Usage("unknown option " + option, err);
}

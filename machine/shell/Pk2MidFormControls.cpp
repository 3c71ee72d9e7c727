#include "Pk2MidForm.h"
#include "midi/MidiPortSystem.h"
#include "midi/Midi_Errors.h"
#include "midi/ProgramNames.h"

#include <QMessageBox>

namespace {

QString ProgramText(int program) {
    const std::string_view name = ProgramName(program);
    return QString::fromUtf8(name.data(), int(name.size()));
}

void SetQuietly(QSpinBox* box, int value) {
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

} // namespace

// A busy device is told with its classic text; the built-in synthesizer without a soundfont
// plainly.
void TForm1::ShowStartResult(TStartResult result) {
    QString text;
    if (result == TStartResult::DeviceBusy)
        text = QString::fromStdString(MidiErrorText(MidiResult::Allocated));
    else if (result == TStartResult::Unavailable)
        text = QString::fromStdString(machine_.MidiOut->OpenFailure);
    else if (result == TStartResult::Failed && machine_.MidiOut->DeviceId == MidiMapperId &&
             dynamic_cast<TSystemMidiPort*>(machine_.Port.get()))
        text = QString::fromStdString(SystemSoundFontProblem());
    if (text.isEmpty())
        return;
    QMessageBox box(QMessageBox::NoIcon, "Plinkora", text, QMessageBox::Ok, this);
    box.exec();
}

void TForm1::Button6Click() {
    const bool wasPlaying = Playing();
    ShowStartResult(machine_.Playback->PlayPattern());
    if (!wasPlaying && Playing())
        emit PlaybackStarted(0);
}

void TForm1::Button1Click() {
    const bool wasPlaying = Playing();
    ShowStartResult(machine_.Playback->PlaySong());
    if (!wasPlaying) {
        emit CurrentPatternChanged(machine_.PlaybackState.CurrentPattern);
        if (Playing())
            emit PlaybackStarted(1);
    }
}

void TForm1::Button2Click() {
    if (!Playing())
        return;
    machine_.Playback->Stop();
    emit PlaybackStopped();
}

void TForm1::Button3Click() {
    machine_.Playback->ResetOutput();
}

void TForm1::SpeedButton1Click() {
    if (machine_.PlaybackState.PlayMode == TPlayMode::Pattern) {
        Button6Click();
    } else {
        if (!Playing())
            machine_.PlaybackState.TrackPosition = 1;
        Button1Click();
    }
    SpeedButton1->setChecked(true);
    if (!machine_.MidiSupport->DeviceOpen)
        SpeedButton2Click();
}

void TForm1::SpeedButton2Click() {
    Button2Click();
    SpeedButton1->setChecked(false);
}

void TForm1::SpeedButton3Click() {
    machine_.PlaybackState.PlayMode = TPlayMode::Pattern;
    SpeedButton3->setChecked(true);
    if (Playing())
        SpeedButton1Click();
}

void TForm1::SpeedButton4Click() {
    machine_.PlaybackState.PlayMode = TPlayMode::Track;
    SpeedButton4->setChecked(true);
    if (Playing())
        SpeedButton1Click();
}

void TForm1::ScrollBar2Change() {
    const int stepTime = ScrollBar2->maximum() + ScrollBar2->minimum() - ScrollBar2->value();
    BpmValue->setText(QString::asprintf("%3.3f", 60000.0 / (4.0 * stepTime)));
    MsValue->setText(QString::number(stepTime));
}

void TForm1::ScrollBar2Scroll() {
    const int stepTime = ScrollBar2->maximum() + ScrollBar2->minimum() - ScrollBar2->value();
    if (machine_.Playback->ReleaseTempo(stepTime))
        machine_.Song.SongModified = true;
}

void TForm1::ComboBox1Change() {
    TMidiOut& out = *machine_.MidiOut;
    if (machine_.MidiSupport->DeviceOpen)
        out.CloseDevice();
    out.DeviceId = ComboBox1->currentIndex() - 1;
    SetSongValue(machine_.Song, machine_.Song.Device, out.DeviceId);
    out.Open();
    out.SetPatch(SpinEdit1->value());
    out.SelectBank(SpinEdit4->value());
    if (!machine_.MidiSupport->DeviceOpen)
        Button2Click();
}

void TForm1::SpinEdit1Change() {
    const int program = WrapValue(SpinEdit1->value(), 0, 127);
    SetQuietly(SpinEdit1, program);
    machine_.MidiOut->SetPatch(program);
    Edit1->setText(ProgramText(program));
    SetSongValue(machine_.Song, machine_.Song.Patch, program);
    TExportOptions& options = machine_.ExportOptions;
    if (!options.InstrumentEdited && options.Instrument != Edit1->text().toStdString()) {
        options.Instrument = Edit1->text().toStdString();
        options.InstrumentEdited = true; // an automatic update happens once after a reset
        emit ExportOptionsChanged();
    }
    emit PatchNameChanged(Edit1->text());
}

void TForm1::SpinEdit4Change() {
    const int bank = WrapValue(SpinEdit4->value(), 0, 127);
    SetQuietly(SpinEdit4, bank);
    SetSongValue(machine_.Song, machine_.Song.Bank, bank);
    machine_.MidiOut->SelectBank(bank);
    SpinEdit1Change();
}

void TForm1::SpinEdit2Change() {
    if (!machine_.Song.SongReady)
        return;
    emit KeyGridOff();
    if (machine_.Song.Transpose[1] != SpinEdit2->value())
        machine_.Song.SongModified = true;
    machine_.Playback->SetTransposition(SpinEdit2->value());
    emit SongChanged();
}

void TForm1::SpinEdit3Change() {
    const int channel = WrapValue(SpinEdit3->value(), 1, 16);
    SetQuietly(SpinEdit3, channel);
    TMidiOut& out = *machine_.MidiOut;
    out.Voice.OutChannel = static_cast<uint8_t>(channel - 1);
    SetSongValue(machine_.Song, machine_.Song.Channel, channel);
    out.SetPatch(SpinEdit1->value());
    BuildAllMelodies(machine_.Song, machine_.Melodies, out.Voice);
    emit SongChanged();
    if (Playing())
        out.Reset();
}

void TForm1::PatchClick(int program) {
    Edit1->setText(ProgramText(program));
    SpinEdit1->setValue(program);
}

void TForm1::RangeClick(int range) {
    if (ChangeRange(machine_.Song, range)) {
        ShowRange();
        emit RangeChanged(range);
        MakeIniFile();
    } else {
        ShowRange(); // the refused item does not stay ticked
    }
}

void TForm1::ShowRange() {
    for (int i = 0; i < 5; ++i)
        Octave[i]->setChecked(OctaveRanges[i] == machine_.Song.Range);
    SpinEdit2->setMaximum(TransposeCeiling(machine_.Song));
}

void TForm1::PreviewofTones1Click() {
    machine_.Playback->TogglePreview();
    PreviewofTones1->setChecked(machine_.Playback->PreviewWhilePlaying());
}

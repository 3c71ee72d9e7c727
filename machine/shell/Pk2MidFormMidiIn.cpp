#include "Pk2MidForm.h"
#include "midi/MidiPortSystem.h"

#include <algorithm>

// The main window's part of MIDI in: the input list, following the clock, the keyboard's
// transposition channel.

namespace {

QString Text(int number) {
    return QString::fromStdString(TextByNumber(number));
}

} // namespace

QStringList TForm1::MidiInputEntries() {
    QStringList entries{Text(NoMidiInputText)};
    const std::vector<std::string> alsa = session_.MidiInputNames();
    for (const std::string& name : alsa)
        entries << QString::fromStdString(name);
    alsaInputCount_ = static_cast<int32_t>(alsa.size());
    const std::vector<std::string>& outputs = session_.DeviceNames();
    const bool jackRuns =
        std::find(outputs.begin(), outputs.end(), JackDeviceName) != outputs.end();
    if (jackRuns || session_.MidiInput().Kind == TMidiInputChoice::TKind::Jack)
        entries << JackDeviceName;
    return entries;
}

// An ALSA port that is no longer listed shows no entry.
int TForm1::MidiInputIndex() const {
    const TMidiInputChoice& choice = session_.MidiInput();
    switch (choice.Kind) {
    case TMidiInputChoice::TKind::None:
        return 0;
    case TMidiInputChoice::TKind::Alsa:
        return choice.Device < alsaInputCount_ ? choice.Device + 1 : -1;
    case TMidiInputChoice::TKind::Jack:
        return alsaInputCount_ + 1;
    }
    return -1;
}

void TForm1::FillMidiInputList() {
    const QStringList entries = MidiInputEntries();
    const QSignalBlocker quiet(MidiInputBox);
    QStringList shown;
    for (int i = 0; i < MidiInputBox->count(); ++i)
        shown << MidiInputBox->itemText(i);
    if (shown != entries) {
        MidiInputBox->clear();
        MidiInputBox->addItems(entries);
    }
    MidiInputBox->setCurrentIndex(MidiInputIndex());
}

// The ports are looked up again only when the list lacks the chosen entry (JACK chosen before the
// list showed it); otherwise on device changes and when the list opens. "none" follows the
// language.
void TForm1::ShowMidiInputChoice() {
    const int index = MidiInputIndex();
    if (index >= MidiInputBox->count()) {
        FillMidiInputList();
        return;
    }
    const QSignalBlocker quiet(MidiInputBox);
    MidiInputBox->setItemText(0, Text(NoMidiInputText));
    MidiInputBox->setCurrentIndex(index);
}

void TForm1::MidiInputBoxChange() {
    const int index = MidiInputBox->currentIndex();
    if (index < 0)
        return;
    TMidiInputChoice choice;
    if (index > alsaInputCount_)
        choice.Kind = TMidiInputChoice::TKind::Jack;
    else if (index > 0)
        choice = {TMidiInputChoice::TKind::Alsa, index - 1};
    session_.SetMidiInput(choice);
    machine_.Settings.MidiInput = session_.MidiInput();
    MakeIniFile();
}

void TForm1::ShowMidiIn() {
    ShowMidiInputChoice();
    FollowClock1->setChecked(session_.FollowsClock());
    ScrollBar2->setEnabled(!session_.FollowsClock()); // the leader's pulses set the tempo
    const QString channelText = Text(KeyboardChannelText);
    for (int channel = 1; channel <= 16; ++channel)
        KeyboardChannel1[channel]->setText(
            QString(channelText).replace("%1", QString::number(channel)));
    const int keyboard = std::clamp(session_.KeyboardChannel(), 0, 16);
    KeyboardChannel1[keyboard]->setChecked(true);
    ShowLink(); // the input's notice
}

// Following the clock and Link exclude each other: the one the session turned off is off in the
// settings too.
void TForm1::FollowClock1Click() {
    session_.SetFollowClock(FollowClock1->isChecked());
    machine_.Settings.FollowClock = session_.FollowsClock();
    machine_.Settings.Link = machine_.Settings.Link && session_.LinksOn();
    MakeIniFile();
}

void TForm1::KeyboardChannelClick(int channel) {
    session_.SetKeyboardChannel(channel);
    machine_.Settings.KeyboardChannel = session_.KeyboardChannel();
    MakeIniFile();
}

QString TForm1::MidiInputNoticeText() const {
    return QString::fromStdString(MessageText(session_.MidiInputNotice()));
}

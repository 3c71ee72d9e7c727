#include "Pk2MidForm.h"
#include "TempoBar.h"
#include "midi/MidiPortSystem.h"
#include "midi/Midi_Errors.h"

#include <QMessageBox>

namespace {

void SetQuietly(QSpinBox* box, int value) {
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

// Marks the status label while the session has a notice.
constexpr char NoticeMark[] = "\u26A0 ";
// The widest the MIDI input's notice may make the status label; a longer one is cut short, its
// whole text in the hint.
constexpr int NoticeWidth = 150;

} // namespace

// The controls show what the session holds; their signals stay quiet while they follow it.
void TForm1::SessionChanged(TChanges changes) {
    if (changes & (chTempo | chLoaded))
        ShowTempo();
    if (changes & chRange) // first: the transposition box's ceiling follows the range
        ShowRange();
    if (changes & chDevice) {
        ShowDeviceList();
        FillMidiInputList(); // "JACK" comes and goes with the server
    }
    if (changes & (chDevice | chPatch | chBank | chTransposition | chChannel))
        ShowOutput();
    if (changes & chDeviceGone)
        ShowDeviceGone();
    if (changes & chPreview)
        PreviewofTones1->setChecked(session_.PreviewWhilePlaying());
    if (changes & chTransport)
        ShowPlayState();
    if (changes & chSync) {
        ShowSync();
        ShowMidiIn();
    }
    if (changes & chLink)
        ShowLink();
    if (changes & chHistory)
        ShowHistory();
    if (changes & chStartFailed)
        ShowStartResult(session_.LastStart());
}

void TForm1::ShowHistory() {
    const TUndoHistory& history = session_.History();
    const auto caption = [](const QString& text, int32_t step) {
        return step == 0 ? text : text + ": " + QString::fromStdString(TextByNumber(step));
    };
    Undo1->setText(caption(UndoText, history.UndoName()));
    Undo1->setEnabled(history.CanUndo());
    Redo1->setText(caption(RedoText, history.RedoName()));
    Redo1->setEnabled(history.CanRedo());
}

void TForm1::ShowTempo() {
    const QSignalBlocker quiet(ScrollBar2);
    ScrollBar2->setValue(TempoBar::PositionOf(session_.Song().StepTime));
    ScrollBar2Change();
}

void TForm1::ShowOutput() {
    const TPkSong& song = session_.Song();
    {
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(session_.Out().DeviceId + 1);
    }
    SetQuietly(SpinEdit1, song.Patch);
    Edit1->setText(QString::fromStdString(session_.InstrumentName()));
    SetQuietly(SpinEdit4, song.Bank);
    SetQuietly(SpinEdit2, session_.Transposition());
    SetQuietly(SpinEdit3, song.Channel);
}

void TForm1::ShowDeviceList() {
    QStringList shown;
    for (int i = 0; i < ComboBox1->count(); ++i)
        shown << ComboBox1->itemText(i);
    QStringList names;
    for (const std::string& name : session_.DeviceNames())
        names << QString::fromStdString(name);
    if (shown != names)
        FillDeviceList();
    if (deviceGoneShown_ && session_.Support().DeviceOpen) {
        deviceGoneShown_ = false;
        const QString title = windowTitle();
        setWindowTitle(title.left(title.lastIndexOf(" – ")));
    }
}

void TForm1::ShowDeviceGone() {
    if (!deviceGoneShown_)
        setWindowTitle(windowTitle() + " – " +
                       QString::fromStdString(MessageText(Message(TMessageKind::JackEnded))));
    deviceGoneShown_ = true;
    ShowNotice(QString::fromStdString(MessageText(Message(TMessageKind::JackGone))),
               QMessageBox::Warning);
}

QString LinkPeersCaption(int32_t peers) {
    if (peers == 1)
        return QString::fromStdString(TextByNumber(LinkOnePeerText));
    return QString::fromStdString(TextByNumber(LinkPeersText))
        .replace("%1", QString::number(peers));
}

void TForm1::NamePlayToggle() {
    SpeedButton1->setAccessibleName(QString::fromStdString(TextByNumber(PlayToggleText)));
}

void TForm1::ShowPlayState() {
    SpeedButton1->setChecked(session_.PlayToggleDown());
    const bool patternMode = session_.PlayMode() == TPlayMode::Pattern;
    (patternMode ? SpeedButton3 : SpeedButton4)->setChecked(true);
}

// A busy device is told with its classic text; the built-in synthesizer without a soundfont
// plainly.
void TForm1::ShowStartResult(TStartResult result) {
    QString text;
    if (result == TStartResult::DeviceBusy)
        text = QString::fromStdString(MidiErrorText(MidiResult::Allocated));
    else if (result == TStartResult::Unavailable)
        text = QString::fromStdString(MessageText(session_.Out().OpenFailure));
    else if (result == TStartResult::Failed && session_.Out().DeviceId == MidiMapperId &&
             dynamic_cast<const TSystemMidiPort*>(&session_.Port()))
        text = QString::fromStdString(MessageText(SystemSoundFontProblem()));
    if (!text.isEmpty())
        ShowNotice(text);
}

void TForm1::ShowNotice(const QString& text, QMessageBox::Icon icon) {
    if (!noticeBox_) {
        noticeBox_ = new QMessageBox(icon, "Plinkora", text, QMessageBox::Ok, this);
        noticeBox_->setModal(false);
    }
    noticeBox_->setIcon(icon);
    noticeBox_->setText(text);
    noticeBox_->show();
    noticeBox_->raise();
}

void TForm1::Button6Click() {
    session_.PlayPattern();
}

void TForm1::Button1Click() {
    session_.PlaySong();
}

void TForm1::Button2Click() {
    session_.Stop();
}

void TForm1::Button3Click() {
    session_.ResetOutput();
}

void TForm1::SpeedButton1Click() {
    session_.PlayToggle();
}

void TForm1::SpeedButton2Click() {
    session_.StopToggle();
}

void TForm1::SpeedButton3Click() {
    session_.ChoosePatternMode();
}

void TForm1::SpeedButton4Click() {
    session_.ChooseTrackMode();
}

int TForm1::StepTimeOfBar() const {
    return TempoBar::StepTimeAt(ScrollBar2->value());
}

void TForm1::ScrollBar2Change() {
    const int stepTime = StepTimeOfBar();
    BpmValue->setText(QString::fromStdString(TempoBar::BpmText(stepTime)));
    MsValue->setText(QString::number(stepTime));
}

void TForm1::ScrollBar2Scroll() {
    session_.SetStepTime(StepTimeOfBar());
}

void TForm1::ComboBox1Change() {
    session_.SetDevice(ComboBox1->currentIndex() - 1);
}

void TForm1::SpinEdit1Change() {
    session_.SetPatch(SpinEdit1->value());
}

void TForm1::SpinEdit4Change() {
    session_.SetBank(SpinEdit4->value());
}

void TForm1::SpinEdit2Change() {
    session_.SetTransposition(SpinEdit2->value());
}

void TForm1::SpinEdit3Change() {
    session_.SetChannel(SpinEdit3->value());
}

void TForm1::PatchClick(int program) {
    if (program != session_.Song().Patch)
        session_.SetPatch(program);
}

void TForm1::RangeClick(int range) {
    if (session_.SetRange(range))
        MakeIniFile();
    else
        ShowRange(); // the refused item does not stay ticked
}

void TForm1::ShowRange() {
    for (int i = 0; i < 5; ++i)
        Octave[i]->setChecked(OctaveRanges[i] == session_.Song().Range);
    const QSignalBlocker quiet(SpinEdit2);
    SpinEdit2->setMaximum(TransposeCeiling(session_.Song()));
}

void TForm1::PreviewofTones1Click() {
    session_.TogglePreview();
}

void TForm1::ShowSync() {
    SendClock1->setChecked(session_.SendsClock());
    FollowTransport1->setChecked(session_.FollowsTransport());
    Link1->setChecked(session_.LinksOn());
    LinkStartStop1->setChecked(session_.SyncsLinkStartStop());
}

void TForm1::ShowLink() {
    const bool linkOn = session_.LinksOn();
    const QString midiNotice = MidiInputNoticeText();
    QStringList notices;
    if (const QString link =
            linkOn ? QString::fromStdString(MessageText(session_.LinkNotice())) : QString();
        !link.isEmpty())
        notices << link;
    if (!midiNotice.isEmpty())
        notices << midiNotice;
    const QString mark = notices.isEmpty() ? QString() : QString(NoticeMark);
    const QFontMetrics metrics = LinkPeers->fontMetrics();
    int labelWidth = 0;
    if (linkOn) {
        // As wide as its widest text in this language (a marked two-digit count), so the bar
        // does not move while peers come and go.
        LinkPeers->setText(mark + LinkPeersCaption(session_.LinkPeers()));
        labelWidth = metrics.horizontalAdvance(NoticeMark + LinkPeersCaption(88)) + 6;
    } else if (!midiNotice.isEmpty()) {
        const QString text = metrics.elidedText(mark + midiNotice, Qt::ElideRight, NoticeWidth);
        LinkPeers->setText(text);
        labelWidth = metrics.horizontalAdvance(text) + 6;
    }
    LinkPeers->setToolTip(notices.join('\n'));
    LinkPeers->setAccessibleDescription(notices.join('\n'));
    LinkPeers->setStyleSheet(notices.isEmpty() ? QString() : "color: #b00000");
    LinkPeers->setVisible(labelWidth > 0);
    PlaceStatusLabel(labelWidth);
}

void TForm1::PlaceStatusLabel(int labelWidth) {
    const int barWidth = TempoBarWidth - labelWidth;
    ScrollBar2->setGeometry(TempoBarLeft, TempoRowTop + 1, barWidth, ScrollBar2->height());
    LinkPeers->setGeometry(TempoBarLeft + barWidth, TempoRowTop, labelWidth, 20);
}

void TForm1::Link1Click() {
    session_.SetLink(Link1->isChecked());
    machine_.Settings.Link = session_.LinksOn();
    machine_.Settings.FollowClock = machine_.Settings.FollowClock && session_.FollowsClock();
    MakeIniFile();
}

void TForm1::LinkStartStop1Click() {
    session_.SetLinkStartStop(LinkStartStop1->isChecked());
    machine_.Settings.LinkStartStop = session_.SyncsLinkStartStop();
    MakeIniFile();
}

void TForm1::SendClock1Click() {
    session_.SetSendClock(SendClock1->isChecked());
    machine_.Settings.SendClock = session_.SendsClock();
    MakeIniFile();
}

void TForm1::FollowTransport1Click() {
    session_.SetFollowTransport(FollowTransport1->isChecked());
    machine_.Settings.FollowTransport = session_.FollowsTransport();
    MakeIniFile();
}

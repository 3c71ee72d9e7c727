#include "PatternFormTest.h"

#include "SessionSongs.h"
#include "shell/language.h"
#include "song/PatternFunctions.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TEST_F(PatternEditor, StepControlsSitOnTheTwentyPixelGrid) {
    EXPECT_EQ(editor->objectName(), "Form3");
    EXPECT_EQ(editor->property("Tag").toInt(), 6);
    for (int k = 1; k <= 16; ++k) {
        EXPECT_EQ(Slider(k)->objectName(), QString("ScrBar%1").arg(k));
        EXPECT_EQ(Slider(k)->geometry(), QRect(20 * k - 14, 22, 16, 200)) << k;
        EXPECT_EQ(editor->memo[k]->objectName(), QString("memo%1").arg(k));
        EXPECT_EQ(editor->memo[k]->geometry(), QRect(20 * k - 15, 3, 17, 16)) << k;
        EXPECT_EQ(Slider(k)->maximum(), 37);
        EXPECT_EQ(Slider(k)->value(), 37 - 10) << "the fresh song's default note";
    }
    EXPECT_EQ(editor->Panel1->width(), 317);
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor - PATTERN 1");
    EXPECT_EQ(editor->Edit2->text(), "(1) ");
    EXPECT_EQ(editor->ScrollBar1->maximum() - editor->ScrollBar1->value(), 10);
    EXPECT_FALSE(editor->ScrollBar1->isVisible());
}

TEST_F(PatternEditor, TaggedCaptionsTakeTheGermanTexts) {
    LoadLanguage({editor.get()});
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor");
    EXPECT_EQ(editor->Button1->text(), "Neu");
    EXPECT_EQ(editor->Button2->text(), "Kopieren");
    EXPECT_EQ(editor->Button3->text(), "Reset");
    EXPECT_EQ(editor->Button10->text(), "Zufall");
    EXPECT_EQ(editor->LengthItems[1]->text(), Utf8("Tonlänge 1")) << "no Tag: keeps its number";
    EXPECT_EQ(editor->LengthItems[16]->objectName(), "l16");
    EXPECT_EQ(editor->LengthItems[16]->text(), Utf8("Tonlänge 16"));
    SetHints({editor.get()});
    EXPECT_EQ(editor->SpinEdit1->toolTip(), "Nummer des angezeigten Patterns");
    EXPECT_EQ(editor->SpeedButton2->toolTip(), "Verschiebt Pattern nach rechts");
}

TEST_F(PatternEditor, TheBottomPositionIsARestAndTheTopTheRange) {
    Drag(3, 0);
    EXPECT_EQ(Slider(3)->value(), Slider(3)->maximum());
    EXPECT_EQ(Note(3), 0);
    EXPECT_EQ(editor->memo[3]->text(), " --");
    EXPECT_EQ(editor->Edit1->text(), "Aus");
    EXPECT_EQ(Slider(3)->toolTip(), "Aus");
    EXPECT_EQ(machine.Session.Melodies().Event(0, 4).Message, 0u) << "a rest sends nothing";
    EXPECT_TRUE(machine.Session.Song().SongModified);

    Drag(4, 37);
    EXPECT_EQ(Slider(4)->value(), 0);
    EXPECT_EQ(Note(4), 37);
    EXPECT_EQ(editor->Edit1->text(), "C6") << "key 72";
    EXPECT_EQ(editor->memo[4]->text(), "C");
}

TEST_F(PatternEditor, NoteNamesFollowTheTranspositionAndTheStepCount) {
    Drag(1, 25); // key 60
    EXPECT_EQ(editor->GetNoteDescription(1), "C5");
    EXPECT_EQ(editor->StepNoteName(1), "C");
    machine.Session.SetTransposition(2);
    EXPECT_EQ(editor->GetNoteDescription(1), "D5");
    EXPECT_EQ(editor->StepNoteName(2), "B") << "note 10 + 2 + 35 = key 47";

    machine.Session.NewSong({8, false});
    editor->shownotenames();
    EXPECT_EQ(editor->StepNoteName(9), "");
    EXPECT_EQ(editor->memo[9]->text(), "");
    EXPECT_TRUE(Slider(8)->isVisibleTo(editor.get()));
    EXPECT_FALSE(Slider(9)->isVisibleTo(editor.get()));
    EXPECT_FALSE(editor->memo[9]->isVisibleTo(editor.get()));
    EXPECT_EQ(editor->Panel1->width(), 20 * 8 - 3);
}

TEST_F(PatternEditor, ChannelTenShowsGeneralMidiDrumNames) {
    machine.Session.SetChannel(10);
    ASSERT_EQ(machine.Session.Out().Voice.OutChannel, 9);
    Drag(1, 1);
    EXPECT_EQ(editor->GetNoteDescription(1), "Bass Drum 1") << "key 36";
    EXPECT_EQ(Slider(1)->toolTip(), "Bass Drum 1");
    EXPECT_EQ(editor->Edit1->text(), "Bass Drum 1");
    EXPECT_EQ(editor->StepNoteName(1), "C") << "the boxes keep note letters";
    Drag(2, 37);
    EXPECT_EQ(editor->GetNoteDescription(2), "Long Whistle") << "key 72";

    machine.Session.SetTransposition(10); // note 37 is now key 82
    EXPECT_EQ(Slider(2)->toolTip(), "Nicht verwendet in GM");
    machine.Session.SetTransposition(-1); // note 1 is now key 35
    EXPECT_EQ(editor->GetNoteDescription(1), "Acoustic Bass Drum");
    machine.Session.SetTransposition(-2);
    EXPECT_EQ(editor->GetNoteDescription(1), "Nicht verwendet in GM") << "key 34";

    machine.Session.SetChannel(1);
    EXPECT_EQ(Slider(2)->toolTip(), "A#5") << "key 70: the channel change refreshes the hints";
}

TEST_F(PatternEditor, TheLengthMenuOffersOnlyWhatFitsBeforeTheEnd) {
    editor->ScrollBarContextPopup(Slider(15));
    EXPECT_EQ(editor->PopupStep, 15);
    EXPECT_EQ(editor->PopupPattern, 1);
    EXPECT_FALSE(editor->LengthItems[1]->isVisible()) << "the step is already single";
    EXPECT_TRUE(editor->LengthItems[2]->isVisible());
    for (int n = 3; n <= 16; ++n)
        EXPECT_FALSE(editor->LengthItems[n]->isVisible()) << n;

    editor->LengthItems[2]->trigger();
    editor->ScrollBarContextPopup(Slider(15));
    EXPECT_TRUE(editor->LengthItems[1]->isVisible());
    EXPECT_TRUE(editor->LengthItems[2]->isVisible());
    EXPECT_FALSE(editor->LengthItems[3]->isVisible());

    editor->ScrollBarContextPopup(Slider(1));
    for (int n = 2; n <= 16; ++n)
        EXPECT_TRUE(editor->LengthItems[n]->isVisible()) << n;
}

TEST_F(PatternEditor, JoiningStepsMakesOneWideSliderAndOneHeldNote) {
    Drag(2, 20);
    SetLength(2, 3);
    const TPkSong& song = machine.Session.Song();
    EXPECT_EQ(song.Gates[1][2], gtStart);
    EXPECT_EQ(song.Gates[1][3], gtHold);
    EXPECT_EQ(song.Gates[1][4], gtEnd);
    for (int k = 2; k <= 4; ++k) {
        EXPECT_EQ(song.Lengths[1][k], 3) << k;
        EXPECT_EQ(Note(k), 20) << k;
    }
    EXPECT_EQ(Slider(2)->width(), 56);
    EXPECT_FALSE(Slider(3)->isVisibleTo(editor.get()));
    EXPECT_FALSE(Slider(4)->isVisibleTo(editor.get()));
    EXPECT_TRUE(machine.Session.Song().SongModified);
    // One note-on at the start of step 2, its note-off at the end of step 4.
    EXPECT_EQ(machine.Session.Melodies().Event(0, 2).Message, NoteOn(20));
    EXPECT_EQ(machine.Session.Melodies().Event(0, 3).Message, 0u);
    EXPECT_EQ(machine.Session.Melodies().Event(0, 7).Message, NoteOff(20));

    // Moving the wide slider moves the whole note, and every covered box shows its letter.
    Drag(2, 22);
    EXPECT_EQ(Note(3), 22);
    EXPECT_EQ(Note(4), 22);
    EXPECT_EQ(editor->memo[4]->text(), editor->memo[2]->text());
    editor->shownotenames();
    EXPECT_EQ(editor->memo[3]->text(), editor->memo[2]->text());
}

TEST_F(PatternEditor, LengtheningIntoAFollowingNoteKeepsItsRemainder) {
    Drag(4, 5);
    Drag(5, 12);
    SetLength(5, 3); // a 3-step note on steps 5..7
    SetLength(4, 2); // now ends on step 5, the start of that note
    const TPkSong& song = machine.Session.Song();
    EXPECT_EQ(song.Gates[1][4], gtStart);
    EXPECT_EQ(song.Gates[1][5], gtEnd);
    EXPECT_EQ(Note(5), 5);
    EXPECT_EQ(song.Gates[1][6], gtStart) << "the rest of the cut note starts right after";
    EXPECT_EQ(song.Gates[1][7], gtEnd);
    EXPECT_EQ(song.Lengths[1][6], 2);
    EXPECT_EQ(song.Lengths[1][7], 2);
    EXPECT_EQ(Note(6), 12);
    EXPECT_EQ(Slider(4)->width(), 36);
    EXPECT_EQ(Slider(6)->width(), 36);
    EXPECT_TRUE(Slider(6)->isVisibleTo(editor.get()));
    EXPECT_FALSE(Slider(7)->isVisibleTo(editor.get()));
    EXPECT_EQ(machine.Session.Melodies().Event(0, 6).Message, NoteOn(5));
    EXPECT_EQ(machine.Session.Melodies().Event(0, 9).Message, NoteOff(5));
    EXPECT_EQ(machine.Session.Melodies().Event(0, 10).Message, NoteOn(12));
    EXPECT_EQ(machine.Session.Melodies().Event(0, 13).Message, NoteOff(12));

    SetLength(4, 3); // into the middle of the remainder: one step of it survives
    EXPECT_EQ(song.Gates[1][6], gtEnd);
    EXPECT_EQ(song.Gates[1][7], gtSingle);
    EXPECT_EQ(song.Lengths[1][7], 1);
    EXPECT_EQ(Note(7), 12);
    EXPECT_EQ(Slider(7)->width(), 16);
    EXPECT_TRUE(Slider(7)->isVisibleTo(editor.get()));
}

TEST_F(PatternEditor, LengtheningIntoTheHoldOfAThreeStepNote) {
    Drag(6, 30);
    SetLength(6, 3); // steps 6..8
    SetLength(5, 3); // steps 5..7: ends inside the held part
    const TPkSong& song = machine.Session.Song();
    EXPECT_EQ(song.Gates[1][7], gtEnd);
    EXPECT_EQ(song.Gates[1][8], gtSingle);
    EXPECT_EQ(Note(8), 30);
    EXPECT_EQ(Note(6), 10) << "the lengthened note's pitch";
    EXPECT_EQ(machine.Session.Melodies().Event(0, 14).Message, NoteOn(30));
}

TEST_F(PatternEditor, ShorteningFreesStepsAsSingleNotesOfTheSamePitch) {
    Drag(2, 8);
    SetLength(2, 4);
    SetLength(2, 2);
    const TPkSong& song = machine.Session.Song();
    EXPECT_EQ(song.Gates[1][2], gtStart);
    EXPECT_EQ(song.Gates[1][3], gtEnd);
    for (int k = 4; k <= 5; ++k) {
        EXPECT_EQ(song.Gates[1][k], gtSingle) << k;
        EXPECT_EQ(song.Lengths[1][k], 1) << k;
        EXPECT_EQ(Note(k), 8) << k;
        EXPECT_TRUE(Slider(k)->isVisibleTo(editor.get())) << k;
        EXPECT_EQ(Slider(k)->width(), 16) << k;
    }
    SetLength(2, 1);
    EXPECT_EQ(song.Gates[1][2], gtSingle);
    EXPECT_EQ(song.Gates[1][3], gtSingle);
    EXPECT_EQ(Slider(2)->width(), 16);
    EXPECT_EQ(machine.Session.Melodies().Event(0, 5).Message, NoteOff(8));
}

TEST_F(PatternEditor, NoteLengthsOutsideThePatternAreRefused) {
    TPkSong song = machine.Session.Song();
    EXPECT_FALSE(SetNoteLength(song, 1, 16, 2));
    EXPECT_FALSE(SetNoteLength(song, 1, 0, 1));
    EXPECT_FALSE(SetNoteLength(song, 2, 1, 1));
    EXPECT_TRUE(SetNoteLength(song, 1, 16, 1));
}

TEST_F(PatternEditor, TheKeyGridSnapsADraggedSliderOntoTheScale) {
    EXPECT_FALSE(editor->ComboBox1->isEnabled());
    editor->CheckBox2->setChecked(true);
    EXPECT_TRUE(editor->ComboBox1->isEnabled());
    EXPECT_EQ(editor->ComboBox1->currentText(), "C");
    EXPECT_EQ(editor->ComboBox2->currentText(), "Dur");
    TWheelBar2003* bar = Slider(1); // note 10, key A
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->maximum() - bar->value(), 12) << "A# is skipped upward to B";
    EXPECT_EQ(editor->Edit1->text(), "B3");
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->maximum() - bar->value(), 10) << "and downward to A";
    editor->ScrollBarOnScroll(bar, TWheelBar2003::scEndScroll);
    EXPECT_EQ(Note(1), 10);

    editor->ComboBox2->setCurrentIndex(1); // A minor holds F# (note 7), not F (note 6)
    editor->ComboBox1->setCurrentIndex(9);
    bar->setValue(bar->maximum() - 8);
    bar->setValue(bar->maximum() - 7);
    EXPECT_EQ(bar->maximum() - bar->value(), 7);
    bar->setValue(bar->maximum() - 6);
    EXPECT_EQ(bar->maximum() - bar->value(), 5) << "moving down past F";

    machine.Session.SetTransposition(3); // the notes leave the scale: the grid goes off
    EXPECT_FALSE(editor->CheckBox2->isChecked());
    EXPECT_FALSE(editor->ComboBox2->isEnabled());
}

TEST_F(PatternEditor, ThePatternBoxWrapsBothWays) {
    editor->Button1Click();
    editor->Button1Click();
    ASSERT_EQ(machine.Session.Song().PatternCount, 3);
    EXPECT_EQ(editor->SpinEdit1->value(), 3);
    EXPECT_EQ(editor->SpinEdit1->maximum(), 4);
    EXPECT_EQ(editor->Edit2->text(), "(3) ");
    editor->SpinEdit1->stepUp();
    EXPECT_EQ(editor->SpinEdit1->value(), 1);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 1);
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor - PATTERN 1");
    EXPECT_EQ(editor->Edit2->text(), "(1) ");
    editor->SpinEdit1->stepDown();
    EXPECT_EQ(editor->SpinEdit1->value(), 3);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 3);
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor - PATTERN 3");
}

TEST_F(PatternEditor, NewAndCopyAddTheCurrentPatternAndReloadTheSliders) {
    int added = 0;
    const int id = machine.Session.Listen([&added](TChanges changes) {
        if (changes & chPatterns)
            ++added;
    });
    machine.Session.SetVolume(90);
    editor->ScrollBar1->setValue(editor->ScrollBar1->maximum() - 14);
    editor->Button1Click();
    ASSERT_EQ(machine.Session.Song().PatternCount, 2);
    EXPECT_EQ(Note(1, 2), 14) << "the fill pitch";
    EXPECT_EQ(machine.Session.Song().Velocities[2][1], 90);
    EXPECT_EQ(Slider(5)->maximum() - Slider(5)->value(), 14);
    EXPECT_EQ(machine.Session.Melodies().Event(1, 0).Message, NoteOn(14, 90));

    Drag(3, 2);
    SetLength(3, 2);
    editor->Button2Click();
    ASSERT_EQ(machine.Session.Song().PatternCount, 3);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 3);
    EXPECT_EQ(editor->Edit2->text(), "(3) copy of 2");
    EXPECT_EQ(Slider(3)->width(), 36);
    EXPECT_EQ(Note(3, 3), 2);
    EXPECT_EQ(added, 2);
    machine.Session.Unlisten(id);

    editor->Edit2->setText("bass");
    emit editor->Edit2->textEdited("bass");
    EXPECT_EQ(machine.Session.Song().PatternNames[3], "bass");
}

// The name box and the song hold UTF-8; the song file holds Windows-1252.
TEST_F(PatternEditor, PatternNamesMeetTheSongFileAsWindowsText) {
    const std::string path = dir.Write("Names.pks", "Plinkora Song\r\n200 ms\r\n1 Pattern\r\n"
                                                    "1 2 \r\n1 Songlines\r\n1 \r\nTransponition\r\n"
                                                    "0 \r\n0 Patch\r\n-1 Device\r\n1 Channel\r\n"
                                                    "37 Range\r\n4\r\n-\r\n4\r\n0 0 \r\n1 1 \r\n"
                                                    "\xDCmlaut\r\n0\r\n");
    ASSERT_TRUE(machine.Session.Load(path).Loaded);
    EXPECT_EQ(editor->Edit2->text(), Utf8("Ümlaut"));

    editor->Edit2->setText(Utf8("Grüß ♪"));
    emit editor->Edit2->textEdited(editor->Edit2->text());
    EXPECT_EQ(machine.Session.Song().PatternNames[1], "Grüß ♪");
    ASSERT_TRUE(machine.Session.Save()); // beside the file it came from
    EXPECT_NE(TempDir::Read(path).find("\r\nGr\xFC\xDF ?\r\n0\r\n"), std::string::npos)
        << "what Windows-1252 cannot hold shows as '?'";
}

TEST_F(PatternEditor, ResetDragChoosesThePitchAndFillsOnRelease) {
    editor->show();
    editor->Button3MouseDown(10);
    EXPECT_TRUE(editor->ScrollBar1->isVisible());
    editor->Button3MouseMove(5, 14, true); // four pixels down: four notes lower
    EXPECT_TRUE(editor->ResetDragging);
    EXPECT_EQ(editor->FillPitch(), 6);
    EXPECT_TRUE(editor->FormMouseWheel(120)); // one notch up while dragging
    EXPECT_EQ(editor->FillPitch(), 7);
    editor->Button3MouseMove(-3, 14, true);
    EXPECT_FALSE(editor->ScrollBar1->isVisible()) << "outside the button";
    editor->Button3MouseUp(-3);
    EXPECT_EQ(Note(1), 10) << "released outside: nothing";

    editor->Button3MouseDown(10);
    editor->Button3MouseUp(5);
    EXPECT_FALSE(editor->ScrollBar1->isVisible());
    for (int k = 1; k <= 16; ++k)
        EXPECT_EQ(Note(k), 7) << k;
    EXPECT_EQ(Slider(16)->maximum() - Slider(16)->value(), 7);
    EXPECT_TRUE(editor->NamesDirty);
}

TEST_F(PatternEditor, ShiftAndRotateButtonsAndTheirAutoRepeat) {
    editor->CheckBox2->setChecked(true);
    Drag(1, 36);
    editor->Button4Click();
    EXPECT_EQ(Note(1), 37);
    EXPECT_FALSE(editor->CheckBox2->isChecked()) << "the notes left the grid";
    editor->Button4Click();
    EXPECT_EQ(Note(1), 37) << "refused at the top";
    EXPECT_EQ(Note(2), 11);

    editor->MouseOnButtonDown(4); // held down button
    EXPECT_TRUE(editor->Timer2->isActive());
    EXPECT_EQ(editor->Timer2->interval(), 200);
    editor->Timer2Timer();
    editor->Timer2Timer();
    editor->MouseOnButtonUp();
    EXPECT_FALSE(editor->Timer2->isActive());
    EXPECT_EQ(Note(1), 35);
    EXPECT_EQ(Slider(1)->maximum() - Slider(1)->value(), 35);

    SetLength(1, 3);
    editor->Button8Click(); // the 3-step note moves whole to the end
    EXPECT_EQ(machine.Session.Song().Gates[1][14], gtStart);
    EXPECT_EQ(Note(14), 35);
    EXPECT_EQ(Slider(14)->width(), 56);
    editor->MouseOnButtonDown(2);
    editor->Timer2Timer(); // rotate right brings it back to the front
    EXPECT_EQ(machine.Session.Song().Gates[1][1], gtStart);
}

TEST_F(PatternEditor, RandomStaysInTheRangeAndOnTheGrid) {
    editor->CheckBox2->setChecked(true);
    for (int round = 0; round < 20; ++round) {
        editor->Button10Click();
        for (int k = 1; k <= 16; ++k) {
            EXPECT_LT(Note(k), 37);
            EXPECT_TRUE(ScaleContains(ModeMajor, 0, Note(k))) << Note(k);
            EXPECT_EQ(Slider(k)->maximum() - Slider(k)->value(), Note(k));
        }
    }
    EXPECT_TRUE(editor->CheckBox2->isChecked());
}

TEST_F(PatternEditor, TheRangeMenuRescalesTheSliders) {
    Drag(2, 20);
    machine.Session.SetRange(61);
    EXPECT_EQ(Slider(2)->maximum(), 61);
    EXPECT_EQ(Slider(2)->value(), 41);
    EXPECT_EQ(editor->ScrollBar1->maximum() - editor->ScrollBar1->value(), 10);
    EXPECT_FALSE(machine.Session.SetRange(13));
    EXPECT_EQ(Slider(2)->maximum(), 61) << "refused: note 20 does not fit one octave";
}

TEST_F(PatternEditor, EveryRangeChoiceAndANewProjectSetTheFillPitchBackToTen) {
    const auto setFillPitch = [this](int note) {
        editor->ScrollBar1->setValue(editor->ScrollBar1->maximum() - note);
    };
    setFillPitch(20);
    ASSERT_TRUE(machine.Session.SetRange(37)); // the range it already has
    EXPECT_EQ(editor->FillPitch(), 10);

    setFillPitch(20);
    machine.Session.NewSong({16, false});
    editor->Button1Click();
    EXPECT_EQ(Note(1, 2), 10) << "New > Project: the next new pattern has the default note";

    setFillPitch(20);
    machine.Session.SetStepNote(1, 14);
    EXPECT_FALSE(machine.Session.SetRange(13)) << "note 14 does not fit one octave";
    TPkSong wide = PatternsAndTrack(2, {1});
    wide.Range = 61;
    ASSERT_TRUE(LoadSong(machine.Session, wide, dir));
    EXPECT_EQ(editor->ScrollBar1->maximum(), 61);
    EXPECT_EQ(editor->FillPitch(), 20) << "a refused choice, an edit and a load keep it";
}

TEST_F(PatternEditor, TheWheelEditsTheSliderOrTheNumberBoxUnderThePointer) {
    editor->show();
    QWheelEvent up(QPointF(5, 50), Slider(3)->mapToGlobal(QPointF(5, 50)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Slider(3), &up);
    EXPECT_EQ(Note(3), 11) << "one notch, whatever the size";
    EXPECT_EQ(editor->HoverSlider, Slider(3));
    EXPECT_TRUE(machine.Session.Song().SongModified);

    editor->Button1Click();
    ASSERT_EQ(editor->SpinEdit1->value(), 2);
    QWheelEvent box(QPointF(5, 5), editor->SpinEdit1->mapToGlobal(QPointF(5, 5)), QPoint(),
                    QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(editor->SpinEdit1, &box);
    EXPECT_EQ(editor->SpinEdit1->value(), 1) << "one past the last wraps";
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 1);
}

TEST_F(PatternEditor, TheRefreshTimerAppliesTheDirtyFlags) {
    machine.Session.SetStepNote(5, 0);
    {
        const QSignalBlocker quiet(Slider(5));
        Slider(5)->setValue(0); // drawn out of date
    }
    editor->memo[5]->setText("x");
    editor->NamesDirty = true;
    editor->PatternDirty = true;
    editor->Timer1Timer();
    EXPECT_EQ(editor->memo[5]->text(), " --");
    EXPECT_EQ(Slider(5)->value(), Slider(5)->maximum());
    EXPECT_TRUE(editor->NamesDirty) << "the reload marks the names for the next tick";
    EXPECT_FALSE(editor->PatternDirty);
}

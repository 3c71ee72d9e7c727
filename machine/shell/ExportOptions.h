#pragma once

#include "session/MachineSession.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

// The "Midi Export" dialog: a non-modal window, kept on top, where the user picks the optional
// parts of the MIDI file and edits its texts. Its controls are the view of the session's export
// options: every change goes to the session, and the controls show what it holds.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TMachineSession& session, QWidget* parent = nullptr);
    ~TForm2() override;

    QGroupBox* GroupBox1; // "Export Options"
    QGroupBox* GroupBox2; // "Additional Information"
    QCheckBox* CheckBox1; // "Export Program Change"
    QCheckBox* CheckBox2; // monophone, beside "Optimized for" / "monophone mobiles"
    QCheckBox* CheckBox3; // "Trackname"
    QCheckBox* CheckBox4; // "Copyright"
    QCheckBox* CheckBox5; // instrument, beside "Instrument" / "Description"
    QLineEdit* Edit1;     // track name
    QLineEdit* Edit2;     // copyright
    QLineEdit* Edit3;     // instrument
    QPushButton* Button1; // "Export"
    QPushButton* Button2; // "Cancel"

    // Shows the options as they are now (after the program changed them), leaving the marks of
    // manual editing as the options hold them.
    void ShowOptions();
    // Opening from the main menu: instrument := the song's instrument name, track name := song
    // name + " - " + instrument name (both count as edited); then the dialog is shown, centred
    // on the screen.
    void Open();

    // "Export": the main window's save dialog and export sequence; true when a file was written
    // (the dialog then hides).
    std::function<bool()> Export;
    // The copyright text became the copyright setting.
    std::function<void()> CopyrightChanged;

private:
    void CreateControls();
    void Button1Click();
    // Changes the options as `change` does and hands them to the session.
    void Edit(const std::function<void(TExportOptions&)>& change);
    TMachineSession& session_;
    int listener_ = 0;
    bool showing_ = false;
};

#pragma once

#include "ExportMidi.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

// The "Midi Export" dialog: a non-modal window, kept on top, where the user picks the optional
// parts of the MIDI file and edits its texts. Its controls are the view of the export options:
// every change goes straight into `options`.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(TExportOptions& options, QWidget* parent = nullptr);

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
    // Opening from the main menu: instrument := the instrument name, track name := song name +
    // " - " + instrument name; then the dialog is shown, centred on the screen.
    void Open(const QString& songName, const QString& instrumentName);

    // "Export": the main window's save dialog and export sequence; true when a file was written
    // (the dialog then hides).
    std::function<bool()> Export;
    // The copyright text became the copyright setting.
    std::function<void()> CopyrightChanged;

private:
    void CreateControls();
    void Button1Click();
    TExportOptions& options_;
    bool showing_ = false;
};

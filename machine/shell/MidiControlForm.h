#pragma once

#include "session/MachineSession.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <functional>

// Options > MIDI control...: a non-modal window with one row per operation a performer plays the
// machine with — its name, the MIDI message assigned to it, "Learn" (the next message received
// is assigned; a second click or Escape stops waiting) and "Clear". It shows what the session
// holds and follows its changes.
class TMidiControlForm : public QDialog {
    Q_OBJECT
public:
    explicit TMidiControlForm(TMachineSession& session, QWidget* parent = nullptr);
    ~TMidiControlForm() override;

    struct TRow {
        QLabel* Name;
        QLabel* Assignment;
        QPushButton* Learn;
        QPushButton* Clear;
    };
    std::array<TRow, MidiControlOperationCount> Rows;

    // The assignments, the learning row and the buttons' accessible names in the current
    // language; the start-up calls it when the language changes.
    void ShowAssignments();
    // Shows the window (the first time beside the main window) and brings it to the front.
    void Open();

    // A failure to write the assignments file (tests replace it).
    std::function<void(const QString& text)> ShowError;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateRows();
    void LearnClick(TMidiControlOperation operation);
    void ClearClick(TMidiControlOperation operation);
    TMachineSession& session_;
    int listener_ = 0;
    bool placed_ = false;
};

// How the window words an assignment: "Note 36, channel 10", "Controller 74, channel 1", "—".
QString AssignmentCaption(const std::optional<TMidiAssignment>& assignment);

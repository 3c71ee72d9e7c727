#pragma once

#include "midi/MidiDebugLog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

class QPainter;

// The MIDI debugger window: the result line of every reported port call. Hidden at start;
// Ctrl+D in the main window, the editors or here shows and hides it.
class TForm6 : public QWidget {
    Q_OBJECT
public:
    // Shows the lines of `log` and follows its changes; the log outlives the window.
    explicit TForm6(TMidiDebugLog& log, QWidget* parent = nullptr);
    ~TForm6() override;

    QPlainTextEdit* Memo1;
    QPushButton* Button1; // "Clear"

    void Button1Click();
    void ToggleVisible();
    // Top at the main window's top, left at its right edge.
    void PlaceBeside(const QWidget& mainWindow);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowLines();
    TMidiDebugLog& log_;
};

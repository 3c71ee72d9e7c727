#pragma once

#include <QDialog>

// The controller's about box: program, version and a line about it; "OK" hides it.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

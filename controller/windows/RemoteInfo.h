#pragma once

#include <QDialog>

// The controller's about box: program, version, a line about it and the licence; "OK" hides it.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

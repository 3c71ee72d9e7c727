#pragma once

#include "OvixLogo.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>

// The info window: the program's name and version with the animated logo and the licence. The logo
// runs exactly while the window is shown.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(const QString& versionText, QWidget* parent = nullptr);

    // "Info" in the main menu: show or hide.
    void Toggle();
    void Button1Click(); // "OK": hide

    QLabel* Panel1;  // "Plinkora v" + version
    QWidget* Panel2; // holds the logo and the licence lines
    QLabel* Label1;  // the licence
    QLabel* Label2;  // no warranty
    TOvixLogo* OvixLogo1;
    QPushButton* Button1; // "OK"

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* LicenceLine(int tag, const QString& text, int top);

    QString versionText_;
};

#include "InfoForm.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

TForm4::TForm4(const QString& versionText, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      versionText_(versionText) {
    setObjectName("Form4");
    setWindowTitle("Info");
    setProperty("Tag", 83);
    setFixedSize(257, 216);

    Panel1 = new QLabel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 241, 40);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameShape(QFrame::StyledPanel);
    QFont title = Panel1->font();
    title.setPointSize(14);
    title.setBold(true);
    Panel1->setFont(title);

    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(8, 56, 241, 112);
    OvixLogo1 = new TOvixLogo(Panel2);
    OvixLogo1->setObjectName("OvixLogo1");
    // The logo sits above the two licence lines.
    OvixLogo1->move((241 - 50) / 2, 8);
    OvixLogo1->SetSpeed(100);
    OvixLogo1->SetPictureNo(2);
    OvixLogo1->SetAnimationOn(false);
    OvixLogo1->SpeedUpOnHover(Panel2, 10);

    Label1 = LicenceLine(87, "Licence: GPL-3.0-or-later", 64);
    Label1->setObjectName("Label1");
    Label2 = LicenceLine(88, "Without any warranty", 86);
    Label2->setObjectName("Label2");

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry((257 - 75) / 2, 178, 75, 26);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

QLabel* TForm4::LicenceLine(int tag, const QString& text, int top) {
    auto* line = new QLabel(text, Panel2);
    line->setProperty("Tag", tag);
    line->setGeometry(0, top, 241, 20);
    line->setAlignment(Qt::AlignCenter);
    return line;
}

void TForm4::Toggle() {
    if (isVisible()) {
        hide();
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void TForm4::Button1Click() {
    hide();
}

void TForm4::paintEvent(QPaintEvent*) {
    Panel1->setText("Plinkora v" + versionText_);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    OvixLogo1->SetAnimationOn(true);
}

void TForm4::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    OvixLogo1->SetAnimationOn(false);
}

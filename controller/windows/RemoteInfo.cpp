#include "RemoteInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("Info");
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_MediaPlay).pixmap(32, 32)
                        : QApplication::windowIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    auto* product = new QLabel("Plinkora Control", this);
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    product->setFont(bold);
    auto* ok = new QPushButton("OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
    layout->addWidget(icon);
    for (QLabel* line : {product, new QLabel("Version 1.206", this),
                         new QLabel("Bis zu vier Plinkora Maschinen als ein Projekt", this)}) {
        line->setAlignment(Qt::AlignCenter);
        layout->addWidget(line);
    }
    layout->addWidget(ok, 0, Qt::AlignCenter);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

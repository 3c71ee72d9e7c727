#include "RemoteInfo.h"

#include "ProgramVersion.h"

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
    // Its caption comes with the window's language.
    auto* about = new QLabel("Up to four Plinkora machines as one project", this);
    about->setObjectName("AboutText");
    for (QLabel* line :
         {product, new QLabel("Version " + QString::fromStdString(ProgramVersionText()), this),
          about}) {
        line->setAlignment(Qt::AlignCenter);
        layout->addWidget(line);
    }
    layout->addWidget(ok, 0, Qt::AlignCenter);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

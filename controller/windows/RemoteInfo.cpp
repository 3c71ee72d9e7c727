#include "RemoteInfo.h"

#include "ProgramVersion.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLabel* Named(QLabel* label, const char* name) {
    label->setObjectName(name);
    return label;
}

} // namespace

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
    // The captions of these three come with the window's language.
    auto* about =
        Named(new QLabel("Up to four Plinkora machines as one project", this), "AboutText");
    auto* licence = Named(new QLabel("Licence: GPL-3.0-or-later", this), "AboutLicence");
    auto* warranty = Named(new QLabel("Without any warranty", this), "AboutWarranty");
    for (QLabel* line :
         {product, new QLabel("Version " + QString::fromStdString(ProgramVersionText()), this),
          about, licence, warranty}) {
        line->setAlignment(Qt::AlignCenter);
        layout->addWidget(line);
    }
    layout->addWidget(ok, 0, Qt::AlignCenter);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

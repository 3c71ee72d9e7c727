#include "MidiDebugger.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>

TForm6::TForm6(TMidiDebugLog& log, QWidget* parent) : QWidget(parent, Qt::Tool), log_(log) {
    setObjectName("Form6");
    setWindowTitle("Midi Debugger");
    setProperty("Tag", 0);
    resize(286, 209);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Button1 = new QPushButton("Clear", this);
    Button1->setObjectName("Button1");
    Button1->setProperty("Tag", 120);
    Button1->setMaximumWidth(75);
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);

    log_.Changed = [this] { ShowLines(); };
    ShowLines();
}

TForm6::~TForm6() {
    log_.Changed = nullptr;
}

void TForm6::ShowLines() {
    QStringList lines;
    for (const std::string& line : log_.Lines())
        lines << QString::fromStdString(line);
    Memo1->setPlainText(lines.join('\n'));
    Memo1->moveCursor(QTextCursor::End);
    Memo1->horizontalScrollBar()->setValue(0);
}

void TForm6::Button1Click() {
    log_.Clear();
}

void TForm6::ToggleVisible() {
    setVisible(!isVisible());
}

void TForm6::PlaceBeside(const QWidget& mainWindow) {
    const QRect frame = mainWindow.frameGeometry();
    move(frame.right() + 1, frame.top());
}

void TForm6::resizeEvent(QResizeEvent*) {
    Memo1->setGeometry(2, 2, width() - 5, height() - 30);
    Button1->setGeometry(width() - 80, height() - 26, 75, 24);
}

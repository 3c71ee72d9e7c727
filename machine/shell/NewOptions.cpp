#include "NewOptions.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int Denominators[] = {2, 4, 8, 16};

QLabel* TaggedLabel(const QString& name, const QString& text, int tag, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setProperty("Tag", tag);
    return label;
}

QFrame* FractionBar(QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setFrameShape(QFrame::HLine);
    bar->setFrameShadow(QFrame::Plain);
    return bar;
}

} // namespace

int FactorMaximum(int numerator) {
    return SignatureStepLimit / std::max(numerator, 1);
}

int LimitedFactor(int numerator, int factor) {
    return std::max(1, std::min(factor, FactorMaximum(numerator)));
}

TForm8::TForm8(const TTempoInfo& tempo, int steps, QWidget* parent)
    : QDialog(parent), tempo_(tempo) {
    setObjectName("Form8");
    setWindowTitle("Song Propertys");
    setProperty("Tag", 132);

    Label1 = TaggedLabel("Label1", "Time Signature", 130, this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    for (int numerator = 1; numerator <= SignatureStepLimit; ++numerator)
        ComboBox1->addItem(QString::number(numerator), numerator);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    for (int denominator : Denominators)
        ComboBox2->addItem(QString::number(denominator), denominator);
    Label2 = TaggedLabel("Label2", "Factor", 131, this);
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(1, SignatureStepLimit);
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setProperty("Tag", 31); // "Abbruch", as in the MIDI export dialog
    Button2->setObjectName("Button2");

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0, 3, 1, Qt::AlignVCenter);
    fields->addWidget(ComboBox1, 0, 1);
    fields->addWidget(FractionBar(this), 1, 1);
    fields->addWidget(ComboBox2, 2, 1);
    fields->addWidget(Label2, 3, 0);
    fields->addWidget(SpinEdit1, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setsignature(steps);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm8::ComboBox1Change);
    connect(SpinEdit1, &QSpinBox::valueChanged, this, &TForm8::SpinEdit1Change);
    connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm8::setsignature(int steps) {
    const int numerator = std::clamp<int>(tempo_.SigNumerator, 1, SignatureStepLimit);
    ComboBox1->setCurrentIndex(ComboBox1->findData(numerator));
    const int denominator = ComboBox2->findData(static_cast<int>(tempo_.SigDenominator));
    ComboBox2->setCurrentIndex(denominator >= 0 ? denominator : ComboBox2->findData(4));
    SpinEdit1->setMaximum(SignatureStepLimit);
    SpinEdit1->setValue(steps / numerator);
    ApplyFactorLimit();
}

int TForm8::Numerator() const {
    return ComboBox1->currentData().toInt();
}

int TForm8::Denominator() const {
    return ComboBox2->currentData().toInt();
}

int TForm8::Factor() const {
    return SpinEdit1->value();
}

int TForm8::StepCount() const {
    return Numerator() * Factor();
}

void TForm8::ApplyFactorLimit() {
    const int factor = LimitedFactor(Numerator(), Factor());
    SpinEdit1->setMaximum(std::max(1, FactorMaximum(Numerator())));
    SpinEdit1->setValue(factor);
}

void TForm8::ComboBox1Change() {
    ApplyFactorLimit();
}

void TForm8::SpinEdit1Change() {
    ApplyFactorLimit();
}

void TForm8::Button1Click() {
    if (SignatureChosen)
        SignatureChosen(Numerator(), Denominator());
    done(StepCount());
}

std::string ChooseFolder(QWidget* parent, const QString& title, const std::string& startFolder) {
    QString start = QFile::decodeName(startFolder.c_str());
    if (start.isEmpty())
        start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QFileDialog dialog(parent, title, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString folder = QDir::fromNativeSeparators(dialog.selectedFiles().constFirst());
    return QFile::encodeName(folder).toStdString();
}

#include "statistics.h"

#include "song/TempoInfo.h"

#include <QFrame>
#include <QGridLayout>
#include <algorithm>

TPatternUse CountPatternUse(const TPkSong& song) {
    TPatternUse use;
    use.Total = song.PatternCount;
    use.TrackLength = song.SonglineCount;
    std::vector<int32_t> seen;
    for (int32_t line = 1; line <= song.SonglineCount && line < int32_t(song.Songlines.size());
         ++line)
        if (std::find(seen.begin(), seen.end(), song.Songlines[line]) == seen.end())
            seen.push_back(song.Songlines[line]);
    use.Used = static_cast<int32_t>(seen.size());
    use.Unused = use.Total - use.Used;
    return use;
}

namespace {

QLabel* Tagged(const char* name, const char* text, int tag, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setProperty("Tag", tag);
    return label;
}

QLabel* Value(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QFrame* Rule(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

TForm9::TForm9(const TPkSong& song, const TTempoInfo& tempo, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), song_(song), tempo_(tempo) {
    setObjectName("Form9");
    setWindowTitle("Form9");
    setProperty("Tag", 160);
    // Wider than the original 208 pixels, so the German labels fit.
    setFixedSize(270, 190);

    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(3);
    layout->addWidget(Tagged("Label1", "Time Signature", 130, this), 0, 0, 3, 1);
    Numerator = Value("Label2", this);
    Denominator = Value("Label3", this);
    Numerator->setAlignment(Qt::AlignCenter);
    Denominator->setAlignment(Qt::AlignCenter);
    layout->addWidget(Numerator, 0, 1);
    layout->addWidget(Rule(this), 1, 1);
    layout->addWidget(Denominator, 2, 1);
    layout->addWidget(Rule(this), 3, 0, 1, 2);
    layout->addWidget(Tagged("Label4", "Total number of patterns:", 164, this), 4, 0);
    TotalValue = Value("Label5", this);
    layout->addWidget(TotalValue, 4, 1);
    layout->addWidget(Tagged("Label6", "Patterns used in the track:", 161, this), 5, 0);
    UsedValue = Value("Label7", this);
    layout->addWidget(UsedValue, 5, 1);
    layout->addWidget(Tagged("Label8", "Unused patterns:", 162, this), 6, 0);
    UnusedValue = Value("Label9", this);
    layout->addWidget(UnusedValue, 6, 1);
    layout->addWidget(Tagged("Label10", "Track length (in patterns):", 165, this), 7, 0);
    LengthValue = Value("Label11", this);
    layout->addWidget(LengthValue, 7, 1);
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    layout->addWidget(Button1, 8, 0, 1, 2, Qt::AlignCenter);
    connect(Button1, &QPushButton::clicked, this, &QDialog::hide);
    updatestatistics();
}

void TForm9::updatestatistics() {
    const TPatternUse use = CountPatternUse(song_);
    Numerator->setText(QString::number(tempo_.SigNumerator));
    Denominator->setText(QString::number(tempo_.SigDenominator));
    TotalValue->setText(QString::number(use.Total));
    UsedValue->setText(QString::number(use.Used));
    UnusedValue->setText(QString::number(use.Unused));
    LengthValue->setText(QString::number(use.TrackLength));
}

void TForm9::Toggle() {
    updatestatistics();
    if (isVisible()) {
        hide();
        return;
    }
    if (parentWidget())
        move(parentWidget()->frameGeometry().center() - rect().center());
    show();
}

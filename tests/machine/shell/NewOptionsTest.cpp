#include "shell/NewOptions.h"

#include "TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

TTempoInfo Signature(uint8_t numerator, uint8_t denominator) {
    TTempoInfo tempo;
    tempo.SigNumerator = numerator;
    tempo.SigDenominator = denominator;
    SetTempo(tempo, 150);
    return tempo;
}

void ChooseNumerator(TForm8& dialog, int numerator) {
    dialog.ComboBox1->setCurrentIndex(dialog.ComboBox1->findText(QString::number(numerator)));
}

// Runs `action` on the modal dialog once it is open.
template <typename Dialog, typename Action> void WhenOpen(Action action) {
    QTimer::singleShot(0, [action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        action(*dialog);
    });
}

} // namespace

TEST(SongProperties, WindowAndControls) {
    TTempoInfo tempo;
    TForm8 dialog(tempo, 16);
    EXPECT_EQ(dialog.objectName(), "Form8");
    EXPECT_EQ(dialog.windowTitle(), "Song Propertys");
    EXPECT_EQ(dialog.property("Tag").toInt(), 132);
    EXPECT_EQ(dialog.Label1->text(), "Time Signature");
    EXPECT_EQ(dialog.Label1->property("Tag").toInt(), 130);
    EXPECT_EQ(dialog.Label2->text(), "Factor");
    EXPECT_EQ(dialog.Label2->property("Tag").toInt(), 131);
    ASSERT_EQ(dialog.ComboBox1->count(), 16);
    EXPECT_EQ(dialog.ComboBox1->itemText(0), "1");
    EXPECT_EQ(dialog.ComboBox1->itemText(15), "16");
    ASSERT_EQ(dialog.ComboBox2->count(), 4);
    EXPECT_EQ(dialog.ComboBox2->itemText(0), "2");
    EXPECT_EQ(dialog.ComboBox2->itemText(3), "16");
    EXPECT_EQ(dialog.SpinEdit1->minimum(), 1);
    EXPECT_EQ(dialog.findChild<QPushButton*>("Button1"), dialog.Button1);
}

TEST(SongProperties, SetSignatureShowsTheSongsSignatureAndFactor) {
    TTempoInfo tempo = Signature(4, 4);
    TForm8 dialog(tempo, 16);
    EXPECT_EQ(dialog.Numerator(), 4);
    EXPECT_EQ(dialog.Denominator(), 4);
    EXPECT_EQ(dialog.Factor(), 4);
    EXPECT_EQ(dialog.StepCount(), 16);

    tempo = Signature(3, 8);
    dialog.setsignature(14); // after a song load
    EXPECT_EQ(dialog.Numerator(), 3);
    EXPECT_EQ(dialog.Denominator(), 8);
    EXPECT_EQ(dialog.Factor(), 4);

    tempo = Signature(7, 16);
    dialog.setsignature(4); // fewer steps than the numerator: factor 1
    EXPECT_EQ(dialog.Factor(), 1);
    EXPECT_EQ(dialog.StepCount(), 7);
}

TEST(SongProperties, TheNumeratorLimitsTheFactor) {
    TTempoInfo tempo = Signature(4, 4);
    TForm8 dialog(tempo, 16);
    ChooseNumerator(dialog, 5);
    EXPECT_EQ(dialog.Factor(), 3);
    EXPECT_EQ(dialog.SpinEdit1->maximum(), 3);
    EXPECT_EQ(dialog.StepCount(), 15);

    ChooseNumerator(dialog, 16);
    EXPECT_EQ(dialog.Factor(), 1);
    ChooseNumerator(dialog, 2);
    EXPECT_EQ(dialog.Factor(), 1); // a lower numerator does not raise the factor
    EXPECT_EQ(dialog.SpinEdit1->maximum(), 8);
    dialog.SpinEdit1->setValue(12);
    EXPECT_EQ(dialog.Factor(), 8);
    EXPECT_EQ(dialog.StepCount(), 16);
}

TEST(SongProperties, FactorRules) {
    EXPECT_EQ(FactorMaximum(1), 16);
    EXPECT_EQ(FactorMaximum(5), 3);
    EXPECT_EQ(FactorMaximum(9), 1);
    EXPECT_EQ(LimitedFactor(5, 4), 3);
    EXPECT_EQ(LimitedFactor(3, 0), 1);
    EXPECT_EQ(LimitedFactor(4, 2), 2);
    for (int numerator = 1; numerator <= 16; ++numerator)
        for (int factor = 1; factor <= 16; ++factor)
            EXPECT_LE(numerator * LimitedFactor(numerator, factor), 16);
}

TEST(SongProperties, OkReturnsTheStepCountAndHandsOverTheSignature) {
    const TTempoInfo tempo = Signature(4, 4);
    TForm8 dialog(tempo, 16);
    std::pair<int, int> chosen;
    dialog.SignatureChosen = [&chosen](int numerator, int denominator) {
        chosen = {numerator, denominator};
    };
    WhenOpen<TForm8>([](TForm8& open) {
        ChooseNumerator(open, 3);
        open.ComboBox2->setCurrentIndex(open.ComboBox2->findText("8"));
        open.SpinEdit1->setValue(5);
        open.Button1->click();
    });
    EXPECT_EQ(dialog.exec(), 15);
    EXPECT_EQ(chosen, (std::pair<int, int>{3, 8}));
}

TEST(SongProperties, CancelChangesNothing) {
    const TTempoInfo tempo = Signature(4, 4);
    TForm8 dialog(tempo, 16);
    bool chosen = false;
    dialog.SignatureChosen = [&chosen](int, int) { chosen = true; };
    WhenOpen<TForm8>([](TForm8& open) {
        ChooseNumerator(open, 6);
        open.ComboBox2->setCurrentIndex(0);
        open.Button2->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_FALSE(chosen);
}

TEST(FolderChoice, ReturnsTheChosenFolderOrNothing) {
    TempDir dir;
    const std::string chosen = dir.File("songs");
    std::filesystem::create_directory(chosen);

    WhenOpen<QFileDialog>([&](QFileDialog& open) {
        EXPECT_EQ(open.windowTitle(), "Pick a folder");
        EXPECT_EQ(open.fileMode(), QFileDialog::Directory);
        open.setDirectory(QString::fromStdString(chosen));
        static_cast<QDialog&>(open).accept(); // QFileDialog::accept reads the choice
    });
    EXPECT_EQ(ChooseFolder(nullptr, "Pick a folder", dir.Path().string()), chosen);

    WhenOpen<QFileDialog>([](QFileDialog& open) { open.reject(); });
    EXPECT_EQ(ChooseFolder(nullptr, "Pick a folder", chosen), "");
}

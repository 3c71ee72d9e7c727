#pragma once

#include "song/TempoInfo.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// Most steps a pattern can have: numerator x factor never exceeds it.
constexpr int SignatureStepLimit = 16;

// The largest factor a numerator allows, and a factor brought within it (at least 1).
int FactorMaximum(int numerator);
int LimitedFactor(int numerator, int factor);

// The song-properties dialog of File > New > Project: time signature numerator (1 to 16) and
// denominator (2, 4, 8, 16), and a factor (1 to 16). exec() returns the new step count,
// numerator x factor, on OK, and 0 (QDialog::Rejected) on Cancel. OK also hands the numerator
// and denominator to SignatureChosen; Cancel changes nothing.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(const TTempoInfo& tempo, int steps, QWidget* parent = nullptr);

    // Shows the tempo values' time signature and the factor steps / numerator.
    void setsignature(int steps);

    int Numerator() const;
    int Denominator() const;
    int Factor() const;
    int StepCount() const; // numerator x factor

    QLabel* Label1;       // "Time Signature"
    QComboBox* ComboBox1; // numerator, "1" to "16"
    QComboBox* ComboBox2; // denominator, "2", "4", "8", "16"; read on OK
    QLabel* Label2;       // "Factor"
    QSpinBox* SpinEdit1;  // factor
    QPushButton* Button1; // "OK"
    QPushButton* Button2; // "Cancel"

    // The time signature chosen with OK (the song takes it).
    std::function<void(int numerator, int denominator)> SignatureChosen;

    void ComboBox1Change();
    void SpinEdit1Change();
    void Button1Click();

private:
    void ApplyFactorLimit();

    const TTempoInfo& tempo_;
};

// The folder browser of the Options menu: a directory-only dialog titled `title`, opened at
// `startFolder` (the user's desktop when empty). Returns the chosen folder as file-system
// bytes, or an empty text when the user cancelled.
std::string ChooseFolder(QWidget* parent, const QString& title, const std::string& startFolder);

#include "TempDir.h"
#include "shell/Startup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace {

int Advance(const QWidget& control, const QString& text) {
    return control.fontMetrics().horizontalAdvance(QString(text).remove('&'));
}

// The room a control's text has: a check box's text sits right of its box, a push button's
// between its bevels, a label's inside its frame.
int RoomForText(const QWidget& control) {
    const QStyle& style = *control.style();
    if (qobject_cast<const QCheckBox*>(&control))
        return control.width() - style.pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &control) -
               style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &control);
    if (qobject_cast<const QPushButton*>(&control))
        return control.width() - 2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth);
    if (auto* box = qobject_cast<const QGroupBox*>(&control))
        return box->width() - 2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth);
    return control.contentsRect().width();
}

QString TextOf(const QWidget& control) {
    if (auto* label = qobject_cast<const QLabel*>(&control))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->text();
    if (auto* box = qobject_cast<const QGroupBox*>(&control))
        return box->title();
    return {};
}

// The room beside a list box's arrow.
int RoomInList(const QComboBox& list) {
    QStyleOptionComboBox option;
    option.initFrom(&list);
    return list.style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &list)
        .width();
}

// Every text of the window's own controls that is wider than its room, as "name: text"; a list
// box counts with each of its entries.
QStringList CutTexts(QWidget& window) {
    window.ensurePolished();
    if (window.layout())
        window.layout()->activate(); // the places a layout gives when the window is shown
    QStringList cut;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->window() != &window || control->isHidden())
            continue;
        const QString text = TextOf(*control);
        if (!text.isEmpty() && Advance(*control, text) > RoomForText(*control))
            cut << control->objectName() + ": " + text;
        if (auto* list = qobject_cast<QComboBox*>(control))
            for (int i = 0; i < list->count(); ++i)
                if (Advance(*list, list->itemText(i)) > RoomInList(*list))
                    cut << list->objectName() + ": " + list->itemText(i);
    }
    return cut;
}

} // namespace

TEST(Windows, EveryTextFitsItsControlInBothLanguages) {
    TempDir dir;
    for (const char* language : {"de", "en"}) {
        TMachineWindows windows({"Plinkora", "--language", language}, dir.File("Plinkora.ini"));
        for (QWidget* window : std::initializer_list<QWidget*>{
                 &windows.Form1, &windows.Form3, &windows.Form5, &windows.Form2, &windows.Form4,
                 &windows.Form6, &windows.Form8, &windows.Form9, &windows.Server,
                 &windows.MidiControlForm})
            EXPECT_EQ(CutTexts(*window).join("; ").toStdString(), "")
                << language << ", " << window->objectName().toStdString();
    }
}

#include "MidiControlForm.h"

#include "FormPositions.h"
#include "files/FileError.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <algorithm>

namespace {

QString Text(int number) {
    return QString::fromStdString(TextByNumber(number));
}

TMidiControlOperation OperationAt(int index) {
    return static_cast<TMidiControlOperation>(index);
}

int IndexOf(TMidiControlOperation operation) {
    return static_cast<int>(operation);
}

QLabel* Tagged(QLabel* label, const QString& name, int tag) {
    label->setObjectName(name);
    label->setProperty("Tag", tag);
    return label;
}

QPushButton* Button(QWidget* parent, const QString& name, const char* text, int tag) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setProperty("Tag", tag);
    button->setAutoDefault(false); // Return must not press a row's button
    return button;
}

} // namespace

QString AssignmentCaption(const std::optional<TMidiAssignment>& assignment) {
    if (!assignment)
        return QString::fromUtf8("\u2014");
    const int text = assignment->Source == TMidiControlSource::Note ? NoteAssignmentText
                                                                    : ControllerAssignmentText;
    return Text(text)
        .replace("%1", QString::number(assignment->Number))
        .replace("%2", QString::number(assignment->Channel));
}

TMidiControlForm::TMidiControlForm(TMachineSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog), session_(session) {
    setObjectName("MidiControlForm");
    setProperty("Tag", MidiControlTitleText);
    setWindowTitle("MIDI control");
    setModal(false);
    ShowError = [this](const QString& text) { QMessageBox::warning(this, "Plinkora", text); };
    CreateRows();
    ShowAssignments();
    listener_ = session_.Listen([this](TChanges changes) {
        if (changes & chSync)
            ShowAssignments();
    });
}

TMidiControlForm::~TMidiControlForm() {
    session_.Unlisten(listener_);
}

void TMidiControlForm::CreateRows() {
    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(10);
    QFont bold = font();
    bold.setBold(true);
    for (const auto& [column, tag] : {std::pair{0, OperationHeaderText}, {1, MessageHeaderText}}) {
        QLabel* header = Tagged(new QLabel(this), QString("Header%1").arg(column), tag);
        header->setFont(bold);
        grid->addWidget(header, 0, column);
    }
    for (int i = 0; i < MidiControlOperationCount; ++i) {
        TRow& row = Rows[i];
        row.Name = Tagged(new QLabel(this), QString("Operation%1").arg(i),
                          FirstMidiControlOperationText + i);
        row.Assignment = new QLabel(this);
        row.Assignment->setObjectName(QString("Assignment%1").arg(i));
        row.Assignment->setMinimumWidth(150);
        row.Learn = Button(this, QString("Learn%1").arg(i), "Learn", LearnText);
        row.Learn->setCheckable(true);
        row.Clear = Button(this, QString("Clear%1").arg(i), "Clear", ClearAssignmentText);
        row.Name->setBuddy(row.Learn);
        grid->addWidget(row.Name, i + 1, 0);
        grid->addWidget(row.Assignment, i + 1, 1);
        grid->addWidget(row.Learn, i + 1, 2);
        grid->addWidget(row.Clear, i + 1, 3);
        const TMidiControlOperation operation = OperationAt(i);
        connect(row.Learn, &QPushButton::clicked, this,
                [this, operation] { LearnClick(operation); });
        connect(row.Clear, &QPushButton::clicked, this,
                [this, operation] { ClearClick(operation); });
    }
}

void TMidiControlForm::ShowAssignments() {
    const TMidiControlMap& map = session_.MidiControl();
    const std::optional<TMidiControlOperation> learning = session_.Learning();
    for (int i = 0; i < MidiControlOperationCount; ++i) {
        const TRow& row = Rows[i];
        const bool waiting = learning && IndexOf(*learning) == i;
        row.Assignment->setText(waiting ? Text(LearningText) : AssignmentCaption(map[i]));
        row.Learn->setChecked(waiting);
        row.Clear->setEnabled(map[i].has_value());
        const QString operation = Text(FirstMidiControlOperationText + i);
        row.Learn->setAccessibleName(Text(LearnButtonNameText).replace("%1", operation));
        row.Clear->setAccessibleName(Text(ClearButtonNameText).replace("%1", operation));
    }
}

// The first time beside the main window (not over it: both are used together), on the screen.
void TMidiControlForm::Open() {
    ShowAssignments();
    if (!placed_ && parentWidget()) {
        placed_ = true;
        adjustSize();
        const QRect owner = parentWidget()->window()->frameGeometry();
        MoveOntoScreen(*this, owner.right() + 1, owner.top());
    }
    show();
    raise();
    activateWindow();
}

// A second click on the row that waits stops waiting; a click on another row waits there.
void TMidiControlForm::LearnClick(TMidiControlOperation operation) {
    if (session_.Learning() == operation)
        session_.LearnMidiControl(std::nullopt);
    else
        session_.LearnMidiControl(operation);
}

void TMidiControlForm::ClearClick(TMidiControlOperation operation) {
    try {
        session_.AssignMidiControl(operation, std::nullopt);
    } catch (const FileError& failure) {
        ShowError(QString::fromStdString(MessageText(failure.Message())));
    }
}

void TMidiControlForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && session_.Learning()) {
        session_.LearnMidiControl(std::nullopt);
        return;
    }
    QDialog::keyPressEvent(event);
}

// Nobody sees what a hidden window waits for.
void TMidiControlForm::hideEvent(QHideEvent* event) {
    if (session_.Learning())
        session_.LearnMidiControl(std::nullopt);
    QDialog::hideEvent(event);
}

#include "ExportOptions.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

template <typename Control> Control* Named(Control* control, const char* name, int tag = 0) {
    control->setObjectName(name);
    if (tag != 0)
        control->setProperty("Tag", tag);
    return control;
}

// The options hold their texts in UTF-8.
QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
std::string Utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

TForm2::TForm2(TMachineSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), session_(session) {
    setObjectName("Form2");
    setWindowTitle("Midi Export");
    setProperty("Tag", 20);
    setModal(false);
    setFixedSize(540, 200);
    CreateControls();
    ShowOptions();
    listener_ = session_.Listen([this](TChanges changes) {
        if (changes & chExportOptions)
            ShowOptions();
    });
}

TForm2::~TForm2() {
    session_.Unlisten(listener_);
}

void TForm2::Edit(const std::function<void(TExportOptions&)>& change) {
    TExportOptions options = session_.ExportOptions();
    change(options);
    session_.SetExportOptions(options);
}

void TForm2::CreateControls() {
    GroupBox1 = Named(new QGroupBox("Export Options", this), "GroupBox1", 21);
    GroupBox1->setGeometry(8, 8, 226, 150);
    CheckBox1 = Named(new QCheckBox("Export Program Change", GroupBox1), "CheckBox1", 23);
    CheckBox1->setGeometry(8, 22, 214, 20);
    CheckBox2 = Named(new QCheckBox(GroupBox1), "CheckBox2");
    CheckBox2->setGeometry(8, 56, 20, 20);
    Named(new QLabel("Optimized for", GroupBox1), "Label1", 19)->setGeometry(28, 50, 194, 16);
    Named(new QLabel("monophone mobiles", GroupBox1), "Label2", 24)->setGeometry(28, 66, 194, 16);

    GroupBox2 = Named(new QGroupBox("Additional Information", this), "GroupBox2", 22);
    GroupBox2->setGeometry(242, 8, 290, 150);
    CheckBox3 = Named(new QCheckBox("Trackname", GroupBox2), "CheckBox3", 32);
    CheckBox3->setGeometry(8, 22, 100, 20);
    Edit1 = Named(new QLineEdit(GroupBox2), "Edit1");
    Edit1->setGeometry(112, 22, 166, 22);
    CheckBox4 = Named(new QCheckBox("Copyright", GroupBox2), "CheckBox4", 26);
    CheckBox4->setGeometry(8, 52, 100, 20);
    Edit2 = Named(new QLineEdit(GroupBox2), "Edit2");
    Edit2->setGeometry(112, 52, 166, 22);
    CheckBox5 = Named(new QCheckBox(GroupBox2), "CheckBox5");
    CheckBox5->setGeometry(8, 86, 20, 20);
    Named(new QLabel("Instrument", GroupBox2), "Label3", 27)->setGeometry(28, 80, 82, 16);
    Named(new QLabel("Description", GroupBox2), "Label4", 28)->setGeometry(28, 96, 82, 16);
    Edit3 = Named(new QLineEdit(GroupBox2), "Edit3");
    Edit3->setGeometry(112, 84, 166, 22);
    Named(new QLabel("Text", GroupBox2), "Label5", 29)->setGeometry(8, 120, 100, 18);
    Named(new QLabel(ExporterText, GroupBox2), "Label6")->setGeometry(112, 120, 166, 18);

    Button1 = Named(new QPushButton("Export", this), "Button1", 30);
    Button1->setGeometry(326, 166, 106, 26);
    Button2 = Named(new QPushButton("Cancel", this), "Button2", 31);
    Button2->setGeometry(438, 166, 94, 26);

    connect(CheckBox1, &QCheckBox::toggled, this,
            [this](bool on) { Edit([on](TExportOptions& o) { o.ProgramChange = on; }); });
    connect(CheckBox2, &QCheckBox::toggled, this,
            [this](bool on) { Edit([on](TExportOptions& o) { o.Monophone = on; }); });
    connect(CheckBox3, &QCheckBox::toggled, this, [this](bool on) {
        Edit([on](TExportOptions& o) { o.TrackNameOn = on; });
        Edit1->setEnabled(on);
    });
    connect(CheckBox4, &QCheckBox::toggled, this, [this](bool on) {
        Edit([on](TExportOptions& o) { o.CopyrightOn = on; });
        Edit2->setEnabled(on);
    });
    connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) {
        Edit([on](TExportOptions& o) { o.InstrumentOn = on; });
        Edit3->setEnabled(on);
    });
    // Any change of these texts, typed or made by the program, marks the field as edited.
    connect(Edit1, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (showing_)
            return;
        Edit([&text](TExportOptions& o) {
            o.TrackName = Utf8(text);
            o.TrackNameEdited = true;
        });
    });
    connect(Edit3, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (showing_)
            return;
        Edit([&text](TExportOptions& o) {
            o.Instrument = Utf8(text);
            o.InstrumentEdited = true;
        });
    });
    connect(Edit2, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (showing_)
            return;
        Edit([&text](TExportOptions& o) { o.Copyright = Utf8(text); });
        if (CopyrightChanged)
            CopyrightChanged();
    });
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::hide);
}

void TForm2::ShowOptions() {
    const TExportOptions options = session_.ExportOptions();
    showing_ = true;
    CheckBox1->setChecked(options.ProgramChange);
    CheckBox2->setChecked(options.Monophone);
    CheckBox3->setChecked(options.TrackNameOn);
    CheckBox4->setChecked(options.CopyrightOn);
    CheckBox5->setChecked(options.InstrumentOn);
    Edit1->setEnabled(options.TrackNameOn);
    Edit2->setEnabled(options.CopyrightOn);
    Edit3->setEnabled(options.InstrumentOn);
    Edit1->setText(Text(options.TrackName));
    Edit2->setText(Text(options.Copyright));
    Edit3->setText(Text(options.Instrument));
    showing_ = false;
}

void TForm2::Open() {
    session_.NameExportTrack();
    // A text longer than its field shows its beginning, not its end.
    for (QLineEdit* field : {Edit1, Edit2, Edit3})
        field->setCursorPosition(0);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
}

void TForm2::Button1Click() {
    if (Export && Export())
        hide();
}

#include "MachineTexts.h"

namespace {

TLanguage currentLanguage = DefaultLanguage;

} // namespace

TLanguage CurrentLanguage() {
    return currentLanguage;
}

void UseLanguage(TLanguage language) {
    currentLanguage = language;
}

TLanguageTexts LoadMessageTexts() {
    return LoadMessageTexts(LanguageTable(currentLanguage));
}

TLanguageTexts LoadMessageTexts(TLanguageTable table) {
    auto text = [table](int n) { return TextByNumber(table, n); };
    TLanguageTexts texts;
    texts.OffText = text(140);
    texts.OpenedText = text(141);
    texts.PlayingText = text(142);
    texts.StoppedText = text(143);
    texts.NewSongName = text(144);
    texts.SongFolderLabel = text(101);
    texts.MidiFolderLabel = text(102);
    texts.SongFolderBrowseTitle = text(150);
    texts.MidiFolderBrowseTitle = text(151);
    texts.SaveQuestion = text(152);
    texts.OverwriteQuestion = text(153);
    texts.DeviceBusyText = text(300);
    texts.HelpContentsText = text(201);
    texts.NoteDescriptionText = text(350);
    return texts;
}

std::string FolderEntryCaption(std::string_view label, std::string_view folder) {
    std::string caption(label);
    caption += "  ->  ";
    caption += folder;
    return caption;
}

std::string PatternEditorCaption(int pattern) {
    return "Pattern Editor - PATTERN " + std::to_string(pattern);
}

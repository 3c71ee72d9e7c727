#include "MachineTexts.h"

#include "StringConvert.h"
#include "files/FileError.h"

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

std::string MessageText(const TUserMessage& message, TLanguage language) {
    const TLanguageTable table = language == TLanguage::English ? TLanguageTable(EnglishMessages)
                                                                : TLanguageTable(GermanMessages);
    return WordMessage(message, [table](TMessageKind kind) {
        const int number = MessageTextNumber(kind);
        for (const TLanguageEntry& entry : table)
            if (entry.Number == number)
                return std::string(entry.Text);
        return std::string();
    });
}

std::string MessageText(const TUserMessage& message) {
    return MessageText(message, currentLanguage);
}

std::string FailureText(const std::exception& failure) {
    if (const auto* file = dynamic_cast<const FileError*>(&failure))
        return MessageText(file->Message());
    if (const auto* number = dynamic_cast<const ConvertError*>(&failure))
        return MessageText(number->Message());
    return failure.what();
}

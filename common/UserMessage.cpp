#include "UserMessage.h"

#include <cerrno>
#include <cstring>

TUserMessage Plain(std::string value) {
    return {TMessageKind::Value, std::move(value), {}};
}

TUserMessage Plain(int64_t number) {
    return Plain(std::to_string(number));
}

TUserMessage Message(TMessageKind kind, std::vector<TUserMessage> args) {
    return {kind, {}, std::move(args)};
}

TUserMessage SystemReason(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Message(TMessageKind::NoSuchFileOrFolder);
    case EACCES:
    case EPERM:
        return Message(TMessageKind::AccessDenied);
    case ENOSPC:
    case EDQUOT:
        return Message(TMessageKind::DiskFull);
    case EROFS:
        return Message(TMessageKind::ReadOnlyFileSystem);
    case EISDIR:
        return Message(TMessageKind::IsAFolder);
    default:
        return Plain(std::strerror(error));
    }
}

std::string DescribeMessage(const TUserMessage& message) {
    if (message.Kind == TMessageKind::Value)
        return message.Value;
    std::string described = "message " + std::to_string(static_cast<int>(message.Kind));
    for (size_t i = 0; i < message.Args.size(); ++i)
        described += (i == 0 ? " (" : ", ") + DescribeMessage(message.Args[i]);
    return described + (message.Args.empty() ? "" : ")");
}

std::string WordMessage(const TUserMessage& message, const TMessageWording& wording) {
    if (message.Kind == TMessageKind::Value)
        return message.Value;
    const std::string text = wording(message.Kind);
    std::string worded;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : 9;
        if (text[i] == '%' && n < message.Args.size()) {
            worded += WordMessage(message.Args[n], wording);
            ++i;
        } else {
            worded += text[i];
        }
    }
    return worded;
}

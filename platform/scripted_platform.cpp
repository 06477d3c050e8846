#include "scripted_platform.h"

namespace zr::platform {

namespace {
QString nameOf(QWidget* w) {
    return w ? w->window()->objectName() : QString();
}
} // namespace

QList<RecordedCall> ScriptedPlatform::Messages() const {
    QList<RecordedCall> out;
    for (const auto& c : calls)
        if (c.kind == RecordedCall::Message)
            out << c;
    return out;
}

int ScriptedPlatform::BeepCount() const {
    int n = 0;
    for (const auto& c : calls)
        n += c.kind == RecordedCall::Beep;
    return n;
}

MessageAnswer ScriptedPlatform::Message(QWidget* parent, const QString& text, const QString& title,
                                        MessageButtons buttons, MessageIcon icon) {
    return Answer({RecordedCall::Message, text, title, buttons, icon, {}, false, nameOf(parent)});
}

MessageAnswer ScriptedPlatform::MessageWithButton(QWidget* parent, const QString& text,
                                                  const QString& title, MessageIcon icon,
                                                  const QString& other) {
    return Answer({RecordedCall::Message,
                   text,
                   title,
                   MessageButtons::Ok,
                   icon,
                   {},
                   false,
                   nameOf(parent),
                   other});
}

MessageAnswer ScriptedPlatform::Answer(const RecordedCall& c) {
    calls << c;
    if (onMessage)
        onMessage(c);
    if (messageAnswers.empty())
        return MessageAnswer::Ok;
    const MessageAnswer a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
}

OpenFileResult ScriptedPlatform::OpenFile(QWidget* parent, const OpenFileRequest& request) {
    RecordedCall c{RecordedCall::OpenFile, {},      request.title, MessageButtons::Ok,
                   MessageIcon::None,      request, false,         nameOf(parent)};
    calls << c;
    if (openAnswers.empty())
        return {};
    const OpenFileResult r = openAnswers.front();
    openAnswers.pop_front();
    return r;
}

std::optional<FontChoice> ScriptedPlatform::ChooseFont(QWidget* parent, const FontChoice&) {
    calls << RecordedCall{RecordedCall::Font, {}, {},    MessageButtons::Ok,
                          MessageIcon::None,  {}, false, nameOf(parent)};
    if (fontAnswers.empty())
        return std::nullopt;
    const auto f = fontAnswers.front();
    fontAnswers.pop_front();
    return f;
}

void ScriptedPlatform::Beep() {
    calls << RecordedCall{RecordedCall::Beep, {}, {},    MessageButtons::Ok,
                          MessageIcon::None,  {}, false, {}};
}

void ScriptedPlatform::SetBusy(QWidget* window, bool busy) {
    calls << RecordedCall{RecordedCall::Busy, {}, {},   MessageButtons::Ok,
                          MessageIcon::None,  {}, busy, nameOf(window)};
}

} // namespace zr::platform

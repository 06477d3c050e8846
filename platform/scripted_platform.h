#pragma once
// The test seam: every call is recorded in order, and answers come from queues the test fills.
// Installed for its lifetime; an unanswered message box (of either kind) answers OK, an
// unanswered file dialog is cancelled and an unanswered font dialog too.

#include "dialogs.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <deque>
#include <functional>

namespace zr::platform {

struct RecordedCall {
    enum Kind { Message, OpenFile, Font, Beep, Busy } kind;
    QString text;  // message text
    QString title; // message title or dialog title
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    OpenFileRequest request; // for OpenFile
    bool busy = false;       // for Busy
    QString window;          // objectName of the parent or window concerned
    QString other = {};      // the second button of MessageWithButton
};

class ScriptedPlatform : public Platform {
public:
    ScriptedPlatform() { SetCurrent(this); }
    ~ScriptedPlatform() override { SetCurrent(nullptr); }

    // Answers for the next calls, consumed in order.
    void AnswerMessage(MessageAnswer a) { messageAnswers.push_back(a); }
    void AnswerOpen(QStringList paths) { openAnswers.push_back({!paths.isEmpty(), paths}); }
    void CancelOpen() { openAnswers.push_back({false, {}}); }
    void AnswerFont(std::optional<FontChoice> f) { fontAnswers.push_back(f); }
    // Runs when a message box is shown (inside the modal call), e.g. to check the focus.
    std::function<void(const RecordedCall&)> onMessage;

    QList<RecordedCall> calls;
    QList<RecordedCall> Messages() const;
    int BeepCount() const;
    void Clear() { calls.clear(); }

    MessageAnswer Message(QWidget* parent, const QString& text, const QString& title,
                          MessageButtons buttons, MessageIcon icon) override;
    MessageAnswer MessageWithButton(QWidget* parent, const QString& text, const QString& title,
                                    MessageIcon icon, const QString& other) override;
    OpenFileResult OpenFile(QWidget* parent, const OpenFileRequest& request) override;
    std::optional<FontChoice> ChooseFont(QWidget* parent, const FontChoice& initial) override;
    void Beep() override;
    void SetBusy(QWidget* window, bool busy) override;

    std::deque<MessageAnswer> messageAnswers;
    std::deque<OpenFileResult> openAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;

private:
    // Records a message box and gives the next scripted answer (OK when none is left).
    MessageAnswer Answer(const RecordedCall& c);
};

} // namespace zr::platform

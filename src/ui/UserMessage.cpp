// Message boxes for the user, or the hook that stands in for them.
#include "ui/UserMessage.h"

#include <QMessageBox>
#include <QWidget>

namespace {
UserMessageHook& Hook()
{
    static UserMessageHook hook;
    return hook;
}
}  // namespace

void ShowUserMessage(QWidget* owner, const QString& caption, const QString& text)
{
    if (Hook()) {
        Hook()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text.trimmed(), QMessageBox::Ok, owner);
    box.exec();
}

void SetUserMessageHook(UserMessageHook hook) { Hook() = std::move(hook); }

MessageHandler UserMessageHandler()
{
    return [](void* owner, const std::string& caption, const std::string& text) {
        ShowUserMessage(static_cast<QWidget*>(owner), QString::fromStdString(caption), QString::fromStdString(text));
    };
}

// Messages for the user (errors of the output device, of a ROM load, of a
// dropped file) in a message box. Tests and headless runs replace the box
// with a hook that records the message instead of waiting for a click.
#pragma once

#include <QString>
#include <functional>

#include "audio/DirectSound.h"

class QWidget;

// Shows `text` in a modal box with `caption`; owner may be null.
void ShowUserMessage(QWidget* owner, const QString& caption, const QString& text);

// Replaces the message box (null restores it).
using UserMessageHook = std::function<void(const QString& caption, const QString& text)>;
void SetUserMessageHook(UserMessageHook hook);

// A handler for CDirectSound and CEmuThread that shows their messages here.
MessageHandler UserMessageHandler();

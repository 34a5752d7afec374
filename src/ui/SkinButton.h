// One button of the skinned main window: its command, place, kind, image
// strip and state word (see player/ButtonState.h).
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>

#include "player/ButtonState.h"

struct SkinButton {
    int32_t id = 0;
    QRect rect;          // client pixels at normal size
    ButtonKind kind = ButtonKind::Push;
    QImage strip;        // images side by side, each rect.width() wide, alpha-keyed
    uint32_t state = 0;
    QString tooltip;

    bool Enabled() const { return (state & kButtonDisabled) == 0; }
    bool On() const { return (state & kButtonOn) != 0; }
    uint32_t Mouse() const { return state & kButtonMouseMask; }
    void SetEnabled(bool on) { state = on ? state & ~kButtonDisabled : state | kButtonDisabled; }
    void SetOn(bool on) { state = on ? state | kButtonOn : state & ~kButtonOn; }
    bool IsToggle() const { return kind != ButtonKind::Push; }
    // The strip image to draw now.
    QRect SourceRect() const
    {
        return QRect(ButtonImageIndex(kind, state) * rect.width(), 0, rect.width(), rect.height());
    }
};

// The image with magenta RGB(255,0,255) made transparent.
QImage KeyOutMagenta(const QImage& image);

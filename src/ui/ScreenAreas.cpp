#include "ScreenAreas.h"

#include <QGuiApplication>
#include <QScreen>

std::vector<ScreenRect> ScreenAreas(bool workAreaOnly)
{
    std::vector<ScreenRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = workAreaOnly ? screen->availableGeometry() : screen->geometry();
        areas.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    return areas;
}

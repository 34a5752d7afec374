// Registration of the compiled-in artwork.
#include "ui/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitResourcesOnce() { Q_INIT_RESOURCE(kelvara); }

void InitKelvaraResources()
{
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}

QString ArtPath(const char* name) { return QStringLiteral(":/art/") + QLatin1String(name); }

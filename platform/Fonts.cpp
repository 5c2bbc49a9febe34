#include "platform/Fonts.h"

#include <QFont>
#include <QStringList>

namespace platform {

void installFontSubstitutions()
{
    struct Substitution
    {
        const char* family;
        const char* drawnWith;
    };
    static const Substitution substitutions[] = {
        {"Times New Roman", "Liberation Serif"},
        {"Arial", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
    };
    for (const Substitution& s : substitutions) {
        const QString family = QString::fromLatin1(s.family);
        const QString drawnWith = QString::fromLatin1(s.drawnWith);
        // Idempotent: a second call must not stack the same substitute twice.
        if (!QFont::substitutes(family).contains(drawnWith))
            QFont::insertSubstitution(family, drawnWith);
    }
}

} // namespace platform

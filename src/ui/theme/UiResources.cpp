#include "ui/theme/UiResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initTarnUiResources()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(theme);
}

namespace tarn {

void ensureUiResources()
{
    static const bool registered = [] {
        initTarnUiResources();
        return true;
    }();
    (void)registered;
}

}  // namespace tarn

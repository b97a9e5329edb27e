#include "app/GuiResources.h"

#include <QtGlobal>

static void registerImages()
{
    Q_INIT_RESOURCE(images);
}

namespace er::gui {

void initGuiResources()
{
    registerImages();
}

}  // namespace er::gui

#include "plugin/PluginClasses.h"

#include "kit/view/NibLoader.h"
#include "pageview/NRVLectorinMultiPageView.h"

void registerPluginClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    kit::NibLoader::registerClass<NRVLectorinMultiPageView>("NRVLectorinMultiPageView");
}

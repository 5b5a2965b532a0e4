// What the options dialog needs of the window that owns it: the options it edits, the image list of the
// class tree, and the connections (the first one, the local machine's, reads class properties).
#pragma once

#include "core/collections/PointerArrayList.h"

namespace Core::Controls
{
class ImageList;
}

namespace WMI
{
class ManagementConnection;
}

namespace Config
{

class AppOptions;

class OptionsOwner
{
public:
    virtual ~OptionsOwner() = default;
    virtual AppOptions& GetOptions() = 0;
    // The class tree's images (not owned); null shows the dialog's tree without images.
    virtual Core::Controls::ImageList* GetTreeImages() = 0;
    virtual Core::Collections::PointerArrayList<WMI::ManagementConnection>& GetConnections() = 0;
};

} // namespace Config

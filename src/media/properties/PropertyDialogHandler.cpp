#include "media/properties/PropertyDialogHandler.h"

#include <mutex>

namespace KVMedia
{
namespace
{
struct SDialogHandler
{
    std::mutex mutex;
    KVS_PROPERTY_DIALOG_HANDLER pfn = nullptr;
    void* pUser = nullptr;
};

SDialogHandler& DialogHandler()
{
    static SDialogHandler s_handler;
    return s_handler;
}
}

void SetPropertyDialogHandler(KVS_PROPERTY_DIALOG_HANDLER pfn, void* pUser)
{
    SDialogHandler& handler = DialogHandler();
    std::lock_guard<std::mutex> lock(handler.mutex);
    handler.pfn = pfn;
    handler.pUser = pUser;
}

int ShowPropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent)
{
    KVS_PROPERTY_DIALOG_HANDLER pfn = nullptr;
    void* pUser = nullptr;
    {
        // Not held during the call: the dialog is modal and runs an event loop.
        SDialogHandler& handler = DialogHandler();
        std::lock_guard<std::mutex> lock(handler.mutex);
        pfn = handler.pfn;
        pUser = handler.pUser;
    }
    return pfn ? pfn(hCapture, hParent, pUser) : 0;
}
}

// The property dialog belongs to the user interface; this layer only keeps
// the handler that opens it and calls it on request.
#pragma once

#include "media/KVProperty.h"

namespace KVMedia
{
void SetPropertyDialogHandler(KVS_PROPERTY_DIALOG_HANDLER pfn, void* pUser);
// The handler's answer, 0 when none is set.
int ShowPropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent);
}

// The property dialog of a capture device, opened by the media layer through
// the handler registered here.
#pragma once

#include "media/KVTypes.h"

// Shows the dialog modally on the widget application's thread; returns 1
// when it was shown, 0 off that thread or for a handle that is not open.
int ShowPropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent, void* pUser);

// Makes KVS_ShowVideoCapturePropertyDialog open this dialog.
void RegisterPropertyDialog();

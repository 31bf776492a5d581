// The open capture and property handles, shared by the files of this layer.
#pragma once

#include "media/capture/CaptureDevice.h"
#include "media/KVTypes.h"

#include <memory>

namespace KVMedia
{
std::shared_ptr<CCaptureDevice> GetCapture(KVS_HANDLE hCapture);
// Stops and forgets every capture and property handle (library end).
void CloseAllCaptureHandles();
void CloseAllPropertyHandles();
}

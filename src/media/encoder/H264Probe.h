// The probe for a hardware H.264 encoder that opens on this machine.
#pragma once

namespace KVMedia
{
// Probed once per process, on the first call; later calls return the answer.
bool IsH264HardwareSupported();
}

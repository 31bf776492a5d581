// The number of video frames a finished file really holds, as a player
// would find them.
#pragma once

#include <QString>

// -1 when the file cannot be opened or has no video stream.
int CountVideoFrames(const QString& strPath);

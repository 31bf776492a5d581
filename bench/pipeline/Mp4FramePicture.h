// Pictures read back from a finished recording, so that a run can show what
// it really recorded and not only how many frames.
#pragma once

#include <QImage>
#include <QString>

#include <map>
#include <vector>

// The decoded frames with the given numbers (0 for the first frame shown),
// as RGB pictures; numbers beyond the end of the file are left out.
std::map<int, QImage> ReadVideoFrames(const QString& strPath, const std::vector<int>& anFrames);

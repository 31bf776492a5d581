// Display texts for sizes and rates, and when a frame rate is shown as low.
#pragma once

#include <QString>
#include <QtGlobal>

// "512 B", "1.50 KB", "3.20 MB", "2048.00 GB" (multiples of 1024).
QString FormatSize(qint64 nBytes);

// Rate in bytes per second shown in bits: "1024.00 b/s", "3.51 Mb/s".
QString FormatBitRate(float fBytesPerSecond);

// True when fFrameRate is below 80 % of the rate nFrameDuration (100 ns units) stands for.
bool IsFrameRateLow(float fFrameRate, int nFrameDuration);

// Writes the six virtual cameras' pictures of the pipeline benchmark as raw
// files, so that the reference command lines encode exactly what the
// program's cameras show:
//
//   bench_camera_frames DIR [--rate FPS] [--frames N]
//
// DIR/camera1.yuyv .. camera6.yuyv, packed YUYV (yuyv422 / YUY2) at
// 960 x 360, frames 0 to N-1 of each camera at the rate (30 fps). Without
// --frames N is one crossing of the bar, so that the file loops smoothly.
// Prints the size, the rate as a fraction and the frame count.
#include "CameraPictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    QString strDir;
    double dRate = 30;
    int nFrames = 0;
    bool bUsage = false;
    for (int i = 1; i < argc && !bUsage; ++i)
    {
        const QString strArg = QString::fromLocal8Bit(argv[i]);
        if (strArg == QLatin1String("--rate") && i + 1 < argc)
            dRate = std::atof(argv[++i]);
        else if (strArg == QLatin1String("--frames") && i + 1 < argc)
            nFrames = std::atoi(argv[++i]);
        else if (strDir.isEmpty() && !strArg.startsWith(QLatin1Char('-')))
            strDir = strArg;
        else
            bUsage = true;
    }
    if (bUsage || strDir.isEmpty() || !(dRate > 0) || nFrames < 0)
    {
        std::fprintf(stderr, "usage: %s DIR [--rate FPS] [--frames N]\n", argv[0]);
        return 2;
    }
    // The duration the program gives its devices: 10^7 / rate, truncated.
    const int nDuration = int(std::trunc(10000000.0 / dRate));
    CCameraPictures pictures;
    if (!QDir().mkpath(strDir) || !pictures.Build(nDuration))
    {
        std::fprintf(stderr, "bench_camera_frames: cannot prepare %s\n", qPrintable(strDir));
        return 1;
    }
    if (nFrames == 0)
        nFrames = pictures.GetLoopFrames();

    const int nStride = CCameraPictures::CELL_WIDTH * 2;
    std::vector<uint8_t> abFrame(size_t(nStride) * CCameraPictures::CELL_HEIGHT);
    for (int nCamera = 0; nCamera < CCameraPictures::CAMERA_COUNT; ++nCamera)
    {
        QFile file(QDir(strDir).filePath(QStringLiteral("camera%1.yuyv").arg(nCamera + 1)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        {
            std::fprintf(stderr, "bench_camera_frames: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        for (int nFrame = 0; nFrame < nFrames; ++nFrame)
        {
            pictures.RenderCamera(nCamera, uint64_t(nFrame), abFrame.data(), nStride);
            if (file.write(reinterpret_cast<const char*>(abFrame.data()), qint64(abFrame.size())) !=
                qint64(abFrame.size()))
            {
                std::fprintf(stderr, "bench_camera_frames: cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    std::printf("%dx%d 10000000/%d %d\n", CCameraPictures::CELL_WIDTH, CCameraPictures::CELL_HEIGHT, nDuration,
                nFrames);
    return 0;
}

// Entry function: brings the program up in a fixed order and takes it down
// again in the reverse one.
#include "common/AppInfo.h"
#include "app/CInstanceWatcher.h"
#include "app/CKVUpgrade.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"
#include "app/CVistrel.h"
#include "ui/dialogs/DevicePropertyDialog.h"
#include "common/CommandLine.h"
#include "platform/CrashReport.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "app/WinMsgFilter.h"
#include "ui/projection/CProjectionController.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace
{
// Read by the watcher thread; set before that thread delivers anything and
// cleared only after it has ended.
CVistrel* g_pMainWnd = nullptr;

void InstallTranslator(QTranslator& translator, const QString& strFile)
{
    // A missing file is not worth a message: the texts just stay English.
    if (!translator.load(strFile))
        Log::Warning("app", QStringLiteral("no translation in %1").arg(strFile));
    QCoreApplication::installTranslator(&translator);
}
}

int main(int argc, char* argv[])
{
#ifdef VISTREL_STATIC_RESOURCES
    Q_INIT_RESOURCE(vistrel);
#endif

    // 1. One copy per user.
    CInstanceWatcher watcher;
    if (!watcher.Acquire())
    {
        CInstanceWatcher::RequestShowUp();
        Log::Warning("app", QStringLiteral("Vistrel has already been launched !\n"));
        return -1;
    }

    // 2. Plug-ins shipped beside the executable win over the system's.
    QCoreApplication::addLibraryPath(Platform::GetExecutableDir() + QStringLiteral("/plugins"));

    // 3, 4. The filter is declared first so that it outlives the application
    // object, which may hand it events until it is gone.
    WinMsgFilter msgFilter;
    QApplication app(argc, argv);
    // From here a crash leaves a report that the next start points to.
    CrashReport::Install(VISTREL_VERSION_TEXT);
    app.installNativeEventFilter(&msgFilter);
    msgFilter.WatchMonitors();

    // 5, 6. Language.
    const CommandLineFlags flags = ParseCommandLine(QCoreApplication::arguments());
    QTranslator translatorApp;
    QTranslator translatorQt;
    const LanguageFiles language = ChooseLanguage(QLocale::system().name(), flags);
    if (!language.IsEmpty())
    {
        InstallTranslator(translatorApp, language.strApp);
        InstallTranslator(translatorQt, language.strQt);
    }

    // 7. After the translators, so that the title comes out translated.
    InitAppTexts();

    // 8, 9, 10. Engine and configuration.
    if (!g_capture.Init())
    {
        Log::Error("app", QStringLiteral("no supported capture device"));
        ShowCriticalMessage(nullptr,
                            QCoreApplication::translate("main", "Cannot find device or devices is not supported."));
        return -1;
    }
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
    // A file that holds no layout would leave every channel without a
    // place and the output black; it is as useless as a missing one.
    if (!g_layout.Load() || g_layout.GetLayoutCount() == 0)
    {
        Log::Error("app", QStringLiteral("the layout file could not be loaded"));
        ShowCriticalMessage(nullptr, QCoreApplication::translate("main", "Failed to load configuration file."));
        // The engine is up; leave the devices as we found them.
        g_capture.Uninit();
        return -1;
    }

    // 11. Main window.
    // The media layer opens the device property dialog through this.
    RegisterPropertyDialog();
    std::unique_ptr<CVistrel> pMainWnd = std::make_unique<CVistrel>();
    pMainWnd->show();
    g_pMainWnd = pMainWnd.get();

    // 12. From here a second launch brings the window to the front, also one
    // that came while we were starting.
    watcher.Start([] { emit g_pMainWnd->signalShowUp(); });

    // 13. The projection; published, it receives every composed frame.
    CProjectionController projection;
    projection.Init();
    CProjectionController::Publish(&projection);

    // 14. Upgrade check; whether it starts is only the log's business.
    QByteArray baSerial;
    if (!flags.bNoUpgrade)
    {
        const QString strSerial = g_capture.GetSerialNumber();
        Log::Info("app", QStringLiteral("serial number \"%1\"").arg(strSerial));
        baSerial = strSerial.toLocal8Bit();
    }
    StartUpgradeCheck(flags.bNoUpgrade, baSerial);

    // 15.
    const int nResult = app.exec();

    // Shutdown: the engine first, so that nothing draws into windows that
    // are about to go.
    g_capture.Uninit();
    g_layout.ReleaseLayouts();
    g_settings.SaveAssignments();
    // Does not wait for the network: a pending report is abandoned.
    g_upgrade.Stop();
    CProjectionController::Publish(nullptr);
    projection.Close();
    watcher.Stop();
    g_pMainWnd = nullptr;
    pMainWnd.reset();
    app.removeTranslator(&translatorQt);
    app.removeTranslator(&translatorApp);
    return nResult;
}

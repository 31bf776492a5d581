/* An Xorg module for the tests' multi-monitor X server: the dummy video
 * driver has no power management, so its server offers no DPMS extension
 * and "xset dpms force off" does nothing. Loaded before the driver, this
 * module makes the driver's screens announce a power setting that does
 * nothing (there is no hardware to switch off); the server then keeps the
 * power level as with a real monitor, and clients read it with DPMSInfo.
 *
 * The module opens the dummy driver first and replaces its probe entry with
 * one that, after the driver's own probe, wraps each new screen's start so
 * that DPMS is set up once the driver's screen exists. The server's own load
 * of the driver then finds the same, already changed copy. */
#include <xorg-server.h>

#include <xf86.h>
#include <xf86Module.h>
#include <xf86Priv.h>

#include <dlfcn.h>

static Bool (*s_pfnDriverProbe)(DriverPtr, int);
static Bool (*s_pfnDriverScreenInit)(ScreenPtr, int, char**);

static void SetPowerLevel(ScrnInfoPtr pScrn, int nLevel, int nFlags)
{
    (void)pScrn;
    (void)nLevel;
    (void)nFlags;
}

static Bool ScreenInitWithDpms(ScreenPtr pScreen, int argc, char** argv)
{
    if (!s_pfnDriverScreenInit(pScreen, argc, argv))
        return FALSE;
    return xf86DPMSInit(pScreen, SetPowerLevel, 0);
}

static Bool ProbeWithDpms(DriverPtr pDriver, int nFlags)
{
    if (!s_pfnDriverProbe(pDriver, nFlags))
        return FALSE;
    for (int i = 0; i < xf86NumScreens; ++i)
    {
        ScrnInfoPtr pScrn = xf86Screens[i];
        if (pScrn->ScreenInit && pScrn->ScreenInit != ScreenInitWithDpms)
        {
            s_pfnDriverScreenInit = pScrn->ScreenInit;
            pScrn->ScreenInit = ScreenInitWithDpms;
        }
    }
    return TRUE;
}

static void* Setup(void* pModule, void* pOptions, int* pnErrorMajor, int* pnErrorMinor)
{
    (void)pModule;
    (void)pOptions;
    (void)pnErrorMinor;
    /* The flags the server opens its modules with. */
    void* pHandle = dlopen(VISTREL_XORG_DUMMY_DRIVER, RTLD_LAZY | RTLD_GLOBAL);
    DriverRec* pDriver = pHandle ? (DriverRec*)dlsym(pHandle, "DUMMY") : NULL;
    if (!pDriver || !pDriver->Probe)
    {
        xf86Msg(X_ERROR, "vistreldpms: no dummy driver at %s\n", VISTREL_XORG_DUMMY_DRIVER);
        if (pnErrorMajor)
            *pnErrorMajor = LDR_NOENT;
        return NULL;
    }
    if (pDriver->Probe != ProbeWithDpms)
    {
        s_pfnDriverProbe = pDriver->Probe;
        pDriver->Probe = ProbeWithDpms;
    }
    return (void*)1;
}

static XF86ModuleVersionInfo s_version = {
    "vistreldpms",  "Vistrel tests", MODINFOSTRING1, MODINFOSTRING2, XORG_VERSION_CURRENT, 1, 0, 0, ABI_CLASS_NONE, 0,
    MOD_CLASS_NONE, {0, 0, 0, 0}};

_X_EXPORT XF86ModuleData vistreldpmsModuleData = {&s_version, Setup, NULL};

// Control functions of the emulated USB cameras. The library is preloaded
// (LD_PRELOAD), so a test reaches these through dlsym(RTLD_DEFAULT, ...)
// rather than by linking to it; V4l2EmuControl.h wraps that.
#pragma once

extern "C"
{
    // Number of cameras configured through VISTREL_V4L2EMU.
    int v4l2emu_camera_count();
    // Unplugs (0) or plugs back (1) camera nCamera: unplugged, its /dev node and
    // sysfs entry are gone and every call on a descriptor opened before fails
    // with ENODEV, as the kernel does. 0 for an unknown camera.
    int v4l2emu_set_plugged(int nCamera, int bPlugged);
    // Frames handed out by DQBUF on camera nCamera since the library loaded.
    long long v4l2emu_frames_delivered(int nCamera);
}

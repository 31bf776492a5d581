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
    // with ENODEV, as the kernel does. 0 for an unknown camera, or when
    // another plugged camera holds its node.
    int v4l2emu_set_plugged(int nCamera, int bPlugged);
    // Puts camera nCamera's capture node at /dev/video<nNode> and its metadata
    // node after it. A plugged camera is unplugged and plugged in there at
    // once, as when the kernel numbers it anew. 0 when another plugged camera
    // holds either node, or for an unknown camera.
    int v4l2emu_set_node(int nCamera, int nNode);
    // Frames handed out by DQBUF on camera nCamera since the library loaded.
    long long v4l2emu_frames_delivered(int nCamera);
}

/* Asks a window to close the way a window manager does (WM_DELETE_WINDOW),
 * for tests that run on a bare X server. Usage: vistrel_wm_close WINDOW-ID */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    Display* pDisplay = XOpenDisplay(NULL);
    if (!pDisplay)
        return 1;
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)strtoul(argv[1], NULL, 0);
    event.xclient.message_type = XInternAtom(pDisplay, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(pDisplay, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const Status nSent = XSendEvent(pDisplay, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(pDisplay);
    return nSent ? 0 : 1;
}

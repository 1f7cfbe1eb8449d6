/*
 * The acceleration core: the two stored speed settings and their
 * application to the pointer-event service.
 *
 * Built into both the pane plug-in (which exports these functions) and the
 * login helper (where they are internal). No state is kept between calls.
 */
#ifndef GLISSOR_MOUSE_FIX_H
#define GLISSOR_MOUSE_FIX_H

#ifdef GLISSOR_EXPORT_CORE
#define GLISSOR_API __attribute__((visibility("default")))
#else
#define GLISSOR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* setMouseFix statuses. -1 is not used. */
enum {
    kMouseFixSuccess = 0,
    kMouseFixNoService = -2,
    kMouseFixMouseRefused = -3,
    kMouseFixTrackpadRefused = -4
};

/* The stored "MouseSpeed" setting, or 1.0 when nothing usable is stored. */
GLISSOR_API float readMousePref(void);
/* The stored "TrackpadSpeed" setting, or 1.0 when nothing usable is stored. */
GLISSOR_API float readTrackpadPref(void);
/* Sends both speeds to the event service over one connection: the legacy
 * mouse-acceleration call, then the mouse parameter, then the trackpad
 * parameter. Returns one of the statuses above. */
GLISSOR_API int setMouseFix(float mouse, float trackpad);

#ifdef __cplusplus
}
#endif

#endif

/*
 * The stored speed settings: where they live and what a missing one means.
 * The pane stores them and reads them for its sliders; the core reads them
 * for the helper. Both spell them from here.
 *
 * The keys are string literals so that either framework's constant string
 * (CFSTR, NSSTR) can be made from them.
 */
#ifndef GLISSOR_SPEED_SETTINGS_H
#define GLISSOR_SPEED_SETTINGS_H

/* Keys in the pane identifier's domain; each holds a float number. */
#define kGlissorMouseSpeedKey "MouseSpeed"
#define kGlissorTrackpadSpeedKey "TrackpadSpeed"

/* The speed when nothing usable is stored: the desktop's usual amount. */
static const float kGlissorDefaultSpeed = 1.0f;

#endif

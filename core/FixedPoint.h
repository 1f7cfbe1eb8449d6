/*
 * Speeds become 16.16 fixed point only at the event-service boundary.
 */
#ifndef GLISSOR_FIXED_POINT_H
#define GLISSOR_FIXED_POINT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* speed x 65536, the product formed in single precision and truncated
 * toward zero. A product outside the signed 32-bit range, and a speed that
 * is not a number, give INT32_MIN. */
int32_t GlissorSpeedToFixed(float speed);

#ifdef __cplusplus
}
#endif

#endif

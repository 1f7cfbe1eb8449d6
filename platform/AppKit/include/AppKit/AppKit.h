// AppKit.h: views, controls, drawing and the interface-file loader of the
// platform stand-in, with Foundation. See docs/appkit.md.
#pragma once

#include <Foundation/Foundation.h>
#include <AppKit/NSView.h>
#include <AppKit/NSColor.h>
#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSAffineTransform.h>
#include <AppKit/NSBezierPath.h>
#include <AppKit/NSControl.h>
#include <AppKit/NSSlider.h>
#include <AppKit/NSTextField.h>
#include <AppKit/NSButton.h>
#include <AppKit/NSInterface.h>

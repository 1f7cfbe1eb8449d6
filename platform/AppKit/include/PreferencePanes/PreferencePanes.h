// PreferencePanes.h: the preference pane framework of the platform stand-in.
#pragma once

#include <AppKit/AppKit.h>
#include <PreferencePanes/NSPreferencePane.h>

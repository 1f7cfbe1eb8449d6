// GlissorPref: the pane's controller, the principal class of Glissor.prefPane.
//
// The host creates it, loads the interface file (which sets the outlets
// and connects the actions), then calls mainViewDidLoad; control actions
// follow while the pane is shown, and didUnselect when the user leaves it.
// The sliders are the only copy of the two speeds while the pane is shown:
// a slider action applies both at once, leaving the pane stores both. The
// checkbox registers the bundled GlissorHelper.app as a login item or
// removes it.
//
// Outlets are set by the interface file and not retained; the class owns
// no other state. Everything runs on the host's main thread.
#pragma once

#include <PreferencePanes/PreferencePanes.h>

class GlissorPref : public NSPreferencePane {
    NS_CLASS(GlissorPref, NSPreferencePane)

public:
    NSButton *theCheckbox = nullptr;
    NSTextField *theMouseFactor = nullptr;
    NSTextField *theTrackpadFactor = nullptr;
    NSSlider *theMouseSlider = nullptr;
    NSSlider *theTrackpadSlider = nullptr;

    // The factor label text for a speed, "%.1fx" (1.5 gives "1.5x").
    // Autoreleased: valid until the current action or lifecycle call returns.
    NSString *buildFeedbackString(float value);
    // Looks for the helper among the current user's login items, by name in
    // any letter case; adds it (hidden) when add is set and none is there,
    // removes the first match when remove is set and one is there. YES when
    // the helper was registered before the call.
    BOOL changeStartupItem_removeItem(BOOL add, BOOL remove);
    // Registers the helper when on, unregisters it otherwise. The receiver.
    GlissorPref *setStartupItem(BOOL on);
    // YES when the helper is registered; changes nothing.
    BOOL checkStartupItem();
    // Shows the stored speeds (1.0 where none is stored) and whether the
    // helper is registered. Applies nothing to the event service.
    void mainViewDidLoad() override;
    void checkboxClicked(NSObject *sender);
    void mouseSliderMoved(NSObject *sender);
    void trackpadSliderMoved(NSObject *sender);
    // Stores both slider values in the pane identifier's domain.
    void didUnselect() override;
};

// NSPreferencePane: the pane's bundle, main view and lifecycle.
#include <PreferencePanes/NSPreferencePane.h>

NS_REGISTER_CLASS(NSPreferencePane, NSObject)
NS_SELECTORS(NSPreferencePane, "initWithBundle:", "bundle", "mainView", "setMainView:",
             "mainNibName", "loadMainView", "mainViewDidLoad", "willSelect", "didSelect",
             "willUnselect", "didUnselect")

NSPreferencePane *NSPreferencePane::init() { return initWithBundle(nil); }

NSPreferencePane *NSPreferencePane::initWithBundle(NSBundle *bundle) {
    bundle_.retain(bundle);
    return this;
}

NSPreferencePane::~NSPreferencePane() = default;

void NSPreferencePane::setMainView(NSView *view) { mainView_.retain(view); }

NSString *NSPreferencePane::mainNibName() {
    NSObject *name = bundle_ ? bundle_->objectForInfoDictionaryKey(NSSTR("NSMainNibFile")) : nil;
    return name && name->isKindOfClass(NSString::staticClass()) ? static_cast<NSString *>(name) : nil;
}

NSView *NSPreferencePane::loadMainView() {
    loadError_.clear();
    NSString *name = mainNibName();
    if (!name) {
        loadError_ = "the bundle's Info.plist names no NSMainNibFile";
        return nil;
    }
    NSString *path = bundle_->pathForResource_ofType(
        name, NSString::stringWithUTF8String(NSInterface::fileExtension));
    if (!path) {
        loadError_ = std::string("the bundle has no resource ") + name->UTF8String() + "." +
                     NSInterface::fileExtension;
        return nil;
    }
    Result<NSInterface *> loaded = NSInterface::interfaceWithContentsOfFile_owner(path, this);
    if (!loaded) {
        loadError_ = loaded.message();
        return nil;
    }
    interface_.retain(*loaded);
    setMainView(interface_->mainView());
    mainViewDidLoad();
    return mainView();
}

// NSPreferencePane: the pane's bundle, main view and lifecycle.
#include <PreferencePanes/NSPreferencePane.h>

NS_REGISTER_CLASS(NSPreferencePane, NSObject)
NS_SELECTORS(NSPreferencePane, "initWithBundle:", "bundle", "mainView", "setMainView:",
             "mainNibName", "loadMainView", "mainViewDidLoad", "willSelect", "didSelect",
             "willUnselect", "didUnselect")

NSPreferencePane *NSPreferencePane::init() { return initWithBundle(nil); }

NSPreferencePane *NSPreferencePane::initWithBundle(NSBundle *bundle) {
    bundle_ = bundle ? bundle->retain() : nil;
    return this;
}

NSPreferencePane::~NSPreferencePane() {
    if (interface_) interface_->release();
    if (mainView_) mainView_->release();
    if (bundle_) bundle_->release();
}

void NSPreferencePane::setMainView(NSView *view) {
    if (view) view->retain();
    if (mainView_) mainView_->release();
    mainView_ = view;
}

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
    NSInterface *loaded = NSInterface::interfaceWithContentsOfFile_owner_error(path, this, &loadError_);
    if (!loaded) return nil;
    loaded->retain();
    if (interface_) interface_->release();
    interface_ = loaded;
    setMainView(loaded->mainView());
    mainViewDidLoad();
    return mainView_;
}

#include "appkit_test_support.h"

void AppKitTest::SetUp() {
    LiveValueTest::SetUp();
    objectsAtStart_ = NSTestingLiveObjectCount();
    pool_ = NSAutoreleasePool::alloc()->init();
}

void AppKitTest::drainPool() {
    pool_->drain();
    pool_ = NSAutoreleasePool::alloc()->init();
}

void AppKitTest::TearDown() {
    pool_->drain();
    EXPECT_EQ(NSTestingLiveObjectCount(), objectsAtStart_) << "objects leaked or over-released";
    LiveValueTest::TearDown();
}

std::string plistDocument(const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

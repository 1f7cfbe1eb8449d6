// Reference counting and autorelease pools.
#include <gtest/gtest.h>

#include <thread>

#include "appkit_test_support.h"

using MemoryTest = AppKitTest;

TEST_F(MemoryTest, RetainAndReleaseCountAndTheLastReleaseFrees) {
    long before = NSTestingLiveObjectCount();
    NSObject *object = NSObject::alloc()->init();
    EXPECT_EQ(NSTestingLiveObjectCount(), before + 1);
    EXPECT_EQ(object->retainCount(), 1u);
    EXPECT_EQ(object->retain(), object);
    EXPECT_EQ(object->retainCount(), 2u);
    object->release();
    EXPECT_EQ(NSTestingLiveObjectCount(), before + 1);
    object->release();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(MemoryTest, AnAutoreleasedObjectLivesUntilItsPoolDrains) {
    long before = NSTestingLiveObjectCount();
    CFIndex valuesBefore = CFTestingLiveValueCount();
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSString *kept = NSString::stringWithFormat("%.1fx", 1.5);
    NSString *dropped = NSString::stringWithUTF8String("gone at the drain");
    kept->retain();
    EXPECT_EQ(NSTestingLiveObjectCount(), before + 3);  // the pool and two strings
    EXPECT_STREQ(dropped->UTF8String(), "gone at the drain");
    pool->drain();
    EXPECT_EQ(NSTestingLiveObjectCount(), before + 1);
    EXPECT_STREQ(kept->UTF8String(), "1.5x");
    kept->release();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
    EXPECT_EQ(CFTestingLiveValueCount(), valuesBefore);
}

TEST_F(MemoryTest, NestedPoolsDrainInnermostFirst) {
    long before = NSTestingLiveObjectCount();
    NSUInteger depth = NSAutoreleasePool::depth();
    NSAutoreleasePool *outer = NSAutoreleasePool::alloc()->init();
    NSObject::new_()->autorelease();
    NSAutoreleasePool *inner = NSAutoreleasePool::alloc()->init();
    EXPECT_EQ(NSAutoreleasePool::depth(), depth + 2);
    NSObject::new_()->autorelease();
    NSObject::new_()->autorelease();
    inner->drain();
    EXPECT_EQ(NSTestingLiveObjectCount(), before + 2);  // outer and its object

    // Draining a pool drains the pools still pushed inside it.
    NSAutoreleasePool::alloc()->init();
    NSObject::new_()->autorelease();
    outer->drain();
    EXPECT_EQ(NSAutoreleasePool::depth(), depth);
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(MemoryTest, ObjectsFreedInADrainMayAutoreleaseMoreIntoIt) {
    // A text field's stringValue is autoreleased; one freed while draining
    // is handled by the same drain.
    long before = NSTestingLiveObjectCount();
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSTextField *field = NSTextField::new_()->autorelease();
    field->setStringValue(NSSTR("label"));
    EXPECT_STREQ(field->stringValue()->UTF8String(), "label");
    pool->drain();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(MemoryTest, ConstantsAndSingletonsAreImmortal) {
    long before = NSTestingLiveObjectCount();
    NSString *constant = NSSTR("MouseSpeed");
    EXPECT_EQ(NSSTR("MouseSpeed"), constant);
    EXPECT_NE(NSSTR("TrackpadSpeed"), constant);
    constant->retain();
    constant->release();
    constant->release();
    constant->autorelease();
    EXPECT_STREQ(constant->UTF8String(), "MouseSpeed");
    EXPECT_GT(constant->retainCount(), 1000000u);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults(), NSUserDefaults::standardUserDefaults());
    NSUserDefaults::standardUserDefaults()->release();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(MemoryTest, CopyOfAnImmutableValueIsTheSameObjectRetained) {
    NSString *text = NSString::alloc()->initWithUTF8String("copied");
    NSObject *copied = text->copy();
    EXPECT_EQ(copied, text);
    EXPECT_EQ(text->retainCount(), 2u);
    copied->release();
    text->release();
}

TEST_F(MemoryTest, AFailedInitFreesTheReceiver) {
    long before = NSTestingLiveObjectCount();
    EXPECT_EQ(NSArray::alloc()->initWithCFArray(nullptr), nil);
    EXPECT_EQ(NSString::alloc()->initWithUTF8String("\xFF not UTF-8"), nil);
    EXPECT_EQ(NSNumber::alloc()->initWithCFType(CFSTR("text")), nil);
    EXPECT_EQ(NSDate::alloc()->initWithCFDate(nullptr), nil);
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

// A control's text and a view's name are owned: replaced ones and the
// last ones go with their owner, nothing freed twice.
TEST_F(MemoryTest, OwnedMembersAreReleasedWhenReplacedAndWithTheirOwner) {
    drainPool();
    long before = NSTestingLiveObjectCount();
    NSButton *button = NSButton::new_();
    NSString *first = NSString::alloc()->initWithUTF8String("first");
    button->setTitle(first);
    button->setIdentifier(first);
    EXPECT_EQ(first->retainCount(), 3u);  // ours, the title (a copy is the same) and the name
    NSString *second = NSString::alloc()->initWithUTF8String("second");
    button->setTitle(second);
    button->setIdentifier(nil);
    EXPECT_EQ(first->retainCount(), 1u);
    first->release();
    second->release();
    EXPECT_STREQ(button->title()->UTF8String(), "second");
    NSTextField *field = NSTextField::new_();
    field->setStringValue(button->title());
    button->release();
    EXPECT_STREQ(field->stringValue()->UTF8String(), "second");
    drainPool();
    field->release();
    EXPECT_EQ(NSTestingLiveObjectCount(), before);
}

TEST_F(MemoryTest, AutoreleaseWithoutAPoolWarnsAndLeaks) {
    // Pools are per thread: a new thread has none.
    NSObject *object = NSObject::new_();
    std::string warning;
    std::thread([&] {
        testing::internal::CaptureStderr();
        object->autorelease();
        warning = testing::internal::GetCapturedStderr();
    }).join();
    EXPECT_NE(warning.find("autoreleased with no pool in place - just leaking"), std::string::npos)
        << warning;
    EXPECT_EQ(object->retainCount(), 1u);
    object->release();
}

using MemoryDeathTest = AppKitTest;

TEST_F(MemoryDeathTest, APoolCannotBeAutoreleased) {
    EXPECT_DEATH(NSAutoreleasePool::alloc()->init()->NSObject::autorelease(),
                 "a pool cannot be autoreleased");
}

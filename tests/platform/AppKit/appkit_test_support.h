// Shared pieces of the AppKit tests.
#pragma once

#include <AppKit/AppKitTesting.h>
#include <PreferencePanes/PreferencePanes.h>

#include <string>

#include "temp_home.h"

// Each test runs inside an autorelease pool, drained before the checks that
// no object and no Core Foundation value outlived the test.
class AppKitTest : public glissor_test::LiveValueTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Drains the test's pool and pushes a fresh one.
    void drainPool();

private:
    long objectsAtStart_ = 0;
    NSAutoreleasePool *pool_ = nullptr;
};

// A whole XML property-list document around the body (one value).
std::string plistDocument(const std::string &body);

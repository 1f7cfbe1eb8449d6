// NSTextField.h: a text field or label; its value is its text.
#pragma once

#include <AppKit/NSControl.h>

class NS_EXPORT NSTextField : public NSControl {
    NS_CLASS(NSTextField, NSControl)

public:
    NSTextField *initWithFrame(NSRect frame) override;

    // Autoreleased.
    NSString *stringValue() const override;
    void setStringValue(NSString *value) override;
    // The text's leading number.
    double doubleValue() const override;
    float floatValue() const override;
    // The number's shortest text that reads back the same.
    void setDoubleValue(double value) override;
    void setFloatValue(float value) override;
    void setIntValue(int value) override;
    void setIntegerValue(NSInteger value) override;

    BOOL isEditable() const { return editable_; }
    void setEditable(BOOL flag) { editable_ = flag; }

    // Draws the control as the platform shows it, in a neutral light look.
    void drawRect(NSRect dirtyRect) override;

protected:
    ~NSTextField() override;

private:
    NSStrong<NSString> text_;
    BOOL editable_ = YES;
};

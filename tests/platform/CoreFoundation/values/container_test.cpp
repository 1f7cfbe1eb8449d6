// Arrays and dictionaries: callbacks, mutation, copies, equality, order,
// descriptions, and the misuse that stops the process.
#include "values_test_util.h"

#include <string>
#include <vector>

namespace {

using namespace values_test;

class CfContainer : public glissor_test::LiveValueTest {};
class CfContainerDeathTest : public glissor_test::LiveValueTest {};

CFRef<CFMutableArrayRef> mutable_array(CFIndex capacity = 0) {
    return CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, capacity, &kCFTypeArrayCallBacks));
}

CFRef<CFMutableDictionaryRef> mutable_dictionary(CFIndex capacity = 0) {
    return CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, capacity, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

std::vector<std::string> texts_of(CFArrayRef array) {
    std::vector<std::string> texts;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
        texts.push_back(describe(CFArrayGetValueAtIndex(array, i)));
    }
    return texts;
}

std::vector<std::string> keys_in_order(CFDictionaryRef dictionary) {
    std::vector<const void *> keys(static_cast<size_t>(CFDictionaryGetCount(dictionary)));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::vector<std::string> texts;
    for (const void *key : keys) texts.push_back(describe(key));
    return texts;
}

using Texts = std::vector<std::string>;

TEST_F(CfContainer, TypeCallbacksRetainAndNullCallbacksDoNot) {
    auto path = str("/Applications/GlissorHelper.app");
    const void *values[] = {path.get()};
    {
        auto retaining = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks));
        EXPECT_EQ(CFGetRetainCount(path.get()), 2);
        auto plain = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values, 1, nullptr));
        EXPECT_EQ(CFGetRetainCount(path.get()), 2);
    }
    EXPECT_EQ(CFGetRetainCount(path.get()), 1);

    // Without callbacks, elements may be any pointers, compared by address.
    int first = 1, second = 1;
    const void *pointers[] = {&first};
    auto plain = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, pointers, 1, nullptr));
    EXPECT_TRUE(CFArrayContainsValue(plain.get(), CFRangeMake(0, 1), &first));
    EXPECT_FALSE(CFArrayContainsValue(plain.get(), CFRangeMake(0, 1), &second));
    auto by_pointer = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr));
    auto equal_text = str("/Applications/GlissorHelper.app");
    CFDictionarySetValue(by_pointer.get(), path.get(), &first);
    EXPECT_EQ(CFDictionaryGetValue(by_pointer.get(), path.get()), &first);
    EXPECT_EQ(CFDictionaryGetValue(by_pointer.get(), equal_text.get()), nullptr);
    EXPECT_EQ(CFGetRetainCount(path.get()), 1);
}

TEST_F(CfContainer, MutableArraysInsertSetAndRemove) {
    auto array = mutable_array();
    CFArrayAppendValue(array.get(), CFSTR("b"));
    CFArrayInsertValueAtIndex(array.get(), 0, CFSTR("a"));
    CFArrayInsertValueAtIndex(array.get(), 2, CFSTR("d"));
    CFArraySetValueAtIndex(array.get(), 2, CFSTR("c"));
    CFArraySetValueAtIndex(array.get(), 3, CFSTR("d"));  // at the count: appends
    EXPECT_EQ(texts_of(array.get()), (Texts{"a", "b", "c", "d"}));
    EXPECT_TRUE(CFArrayContainsValue(array.get(), CFRangeMake(1, 2), str("c").get()));
    EXPECT_FALSE(CFArrayContainsValue(array.get(), CFRangeMake(1, 2), CFSTR("d")));

    auto element = str("held");
    CFArraySetValueAtIndex(array.get(), 0, element.get());
    CFArraySetValueAtIndex(array.get(), 0, element.get());  // setting the same value keeps it alive
    EXPECT_EQ(CFGetRetainCount(element.get()), 2);
    CFArrayRemoveValueAtIndex(array.get(), 0);
    EXPECT_EQ(CFGetRetainCount(element.get()), 1);
    EXPECT_EQ(texts_of(array.get()), (Texts{"b", "c", "d"}));
    CFArrayRemoveAllValues(array.get());
    EXPECT_EQ(CFArrayGetCount(array.get()), 0);
}

TEST_F(CfContainer, CopiesAreIndependentAndImmutableOnesShared) {
    const void *values[] = {CFSTR("one"), CFSTR("two")};
    auto fixed = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks));
    auto same = CFRef<CFArrayRef>::adopt(CFArrayCreateCopy(nullptr, fixed.get()));
    EXPECT_EQ(same.get(), fixed.get());

    auto changing = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutableCopy(nullptr, 0, fixed.get()));
    CFArrayAppendValue(changing.get(), CFSTR("three"));
    EXPECT_EQ(CFArrayGetCount(fixed.get()), 2);
    auto snapshot = CFRef<CFArrayRef>::adopt(CFArrayCreateCopy(nullptr, changing.get()));
    EXPECT_NE(snapshot.get(), static_cast<CFArrayRef>(changing.get()));
    CFArrayRemoveValueAtIndex(changing.get(), 0);
    EXPECT_EQ(texts_of(snapshot.get()), (Texts{"one", "two", "three"}));

    auto record = mutable_dictionary();
    CFDictionarySetValue(record.get(), CFSTR("Hide"), kCFBooleanTrue);
    auto frozen = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreateCopy(nullptr, record.get()));
    auto thawed = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutableCopy(nullptr, 0, frozen.get()));
    CFDictionarySetValue(thawed.get(), CFSTR("Hide"), kCFBooleanFalse);
    EXPECT_EQ(CFDictionaryGetValue(frozen.get(), CFSTR("Hide")), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(thawed.get(), CFSTR("Hide")), kCFBooleanFalse);
}

TEST_F(CfContainer, EqualityIsDeep) {
    auto make_record = [](const char *path, CFBooleanRef hide) {
        auto record = mutable_dictionary();
        CFDictionarySetValue(record.get(), str("Path").get(), str(path).get());
        CFDictionarySetValue(record.get(), str("Hide").get(), hide);
        auto list = mutable_array();
        CFArrayAppendValue(list.get(), record.get());
        return list;
    };
    auto first = make_record("/A.app", kCFBooleanTrue);
    auto second = make_record("/A.app", kCFBooleanTrue);
    EXPECT_PRED_FORMAT2(cf_equal, first.get(), second.get());
    EXPECT_EQ(CFHash(first.get()), CFHash(second.get()));
    EXPECT_FALSE(CFEqual(first.get(), make_record("/A.app", kCFBooleanFalse).get()));
    EXPECT_FALSE(CFEqual(first.get(), make_record("/B.app", kCFBooleanTrue).get()));

    // Dictionaries compare regardless of order; arrays do not.
    auto ab = mutable_dictionary(), ba = mutable_dictionary();
    CFDictionarySetValue(ab.get(), CFSTR("a"), CFSTR("1"));
    CFDictionarySetValue(ab.get(), CFSTR("b"), CFSTR("2"));
    CFDictionarySetValue(ba.get(), CFSTR("b"), CFSTR("2"));
    CFDictionarySetValue(ba.get(), CFSTR("a"), CFSTR("1"));
    EXPECT_PRED_FORMAT2(cf_equal, ab.get(), ba.get());
    const void *forward[] = {CFSTR("a"), CFSTR("b")}, *backward[] = {CFSTR("b"), CFSTR("a")};
    auto a_then_b = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, forward, 2, &kCFTypeArrayCallBacks));
    auto b_then_a = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, backward, 2, &kCFTypeArrayCallBacks));
    EXPECT_FALSE(CFEqual(a_then_b.get(), b_then_a.get()));
}

TEST_F(CfContainer, DictionariesKeepInsertionOrderAndHashTheirKeys) {
    auto dictionary = mutable_dictionary();
    for (const char *key : {"c", "a", "b"}) CFDictionarySetValue(dictionary.get(), str(key).get(), kCFBooleanTrue);
    CFDictionarySetValue(dictionary.get(), CFSTR("a"), kCFBooleanFalse);     // replaced in place
    CFDictionaryAddValue(dictionary.get(), CFSTR("b"), kCFBooleanFalse);     // present: unchanged
    CFDictionaryReplaceValue(dictionary.get(), CFSTR("z"), kCFBooleanFalse); // absent: unchanged
    EXPECT_EQ(keys_in_order(dictionary.get()), (Texts{"c", "a", "b"}));
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("a")), kCFBooleanFalse);
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("b")), kCFBooleanTrue);
    CFDictionaryRemoveValue(dictionary.get(), CFSTR("c"));
    CFDictionaryAddValue(dictionary.get(), CFSTR("c"), kCFBooleanTrue);
    EXPECT_EQ(keys_in_order(dictionary.get()), (Texts{"a", "b", "c"}));
    const void *found = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(dictionary.get(), CFSTR("b"), &found));
    EXPECT_EQ(found, kCFBooleanTrue);
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dictionary.get(), CFSTR("z"), &found));

    // Later duplicates replace earlier ones when made at once.
    auto equal_key = str("k");
    const void *keys[] = {CFSTR("k"), equal_key.get()};
    const void *values[] = {CFSTR("first"), CFSTR("second")};
    auto made = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    EXPECT_EQ(CFDictionaryGetCount(made.get()), 1);
    EXPECT_EQ(CFDictionaryGetValue(made.get(), CFSTR("k")), CFSTR("second"));

    auto many = mutable_dictionary();
    for (int i = 0; i < 2000; ++i) {
        CFDictionarySetValue(many.get(), number(kCFNumberIntType, i).get(), number(kCFNumberIntType, i * 2).get());
    }
    int looked_up = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(many.get(), number(kCFNumberDoubleType, 1234.0).get())),
                     kCFNumberIntType, &looked_up);
    EXPECT_EQ(looked_up, 2468);
    CFDictionaryRemoveAllValues(many.get());
    EXPECT_EQ(CFDictionaryGetCount(many.get()), 0);
}

// A dictionary walks its entries while they are few and indexes them once
// they are many: finding, replacing, removing and order must hold across the
// change, both ways.
TEST_F(CfContainer, DictionariesGrowingAndShrinkingPastASmallSizeFindEveryKey) {
    auto dictionary = mutable_dictionary();
    auto key = [](int i) { return str(("key " + std::to_string(i)).c_str()); };  // a new object each time
    Texts expected;
    for (int i = 0; i < 20; ++i) {
        CFDictionarySetValue(dictionary.get(), key(i).get(), number(kCFNumberIntType, i).get());
        expected.push_back("key " + std::to_string(i));
        for (int j = 0; j <= i; ++j)
            ASSERT_TRUE(CFDictionaryContainsKey(dictionary.get(), key(j).get())) << j << " of " << i + 1;
        ASSERT_FALSE(CFDictionaryContainsKey(dictionary.get(), key(i + 1).get()));
    }
    CFDictionarySetValue(dictionary.get(), key(3).get(), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), key(3).get()), kCFBooleanTrue);
    EXPECT_EQ(keys_in_order(dictionary.get()), expected);

    for (int i = 0; i < 20; i += 2) CFDictionaryRemoveValue(dictionary.get(), key(i).get());
    for (int i = 19; i >= 9; i -= 2) CFDictionaryRemoveValue(dictionary.get(), key(i).get());
    EXPECT_EQ(keys_in_order(dictionary.get()), (Texts{"key 1", "key 3", "key 5", "key 7"}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(CFDictionaryContainsKey(dictionary.get(), key(i).get()), i % 2 == 1 && i < 9) << i;
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), key(3).get()), kCFBooleanTrue);

    auto copy = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreateCopy(nullptr, dictionary.get()));
    EXPECT_TRUE(CFEqual(copy.get(), dictionary.get()));
    CFDictionaryRemoveValue(dictionary.get(), key(7).get());
    EXPECT_FALSE(CFEqual(copy.get(), dictionary.get()));
}

TEST_F(CfContainer, StringKeysAreCopiedByTheCopyCallbacks) {
    auto dictionary = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    auto key = str("MouseSpeed");
    CFDictionarySetValue(dictionary.get(), key.get(), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("MouseSpeed")), kCFBooleanTrue);
    EXPECT_EQ(CFGetRetainCount(key.get()), 2) << "an immutable key's copy is the key itself";
    dictionary = {};
    EXPECT_EQ(CFGetRetainCount(key.get()), 1);
}

TEST_F(CfContainer, DescriptionsUseTheOldStyleListing) {
    auto inner = mutable_array();
    CFArrayAppendValue(inner.get(), number(kCFNumberIntType, 2).get());
    CFArrayAppendValue(inner.get(), number(kCFNumberFloatType, 1.5f).get());
    auto record = mutable_dictionary();
    CFDictionarySetValue(record.get(), CFSTR("Path"), CFSTR("/Applications/Glissor Helper.app"));
    CFDictionarySetValue(record.get(), CFSTR("Hide"), kCFBooleanTrue);
    CFDictionarySetValue(record.get(), CFSTR("Speeds"), inner.get());
    CFDictionarySetValue(record.get(), CFSTR("Name"), CFSTR("Glissor_1.0"));
    CFDictionarySetValue(record.get(), CFSTR("Quote"), CFSTR("say \"hi\""));
    CFDictionarySetValue(record.get(), CFSTR("Empty"), CFSTR(""));
    auto outer = mutable_array();
    CFArrayAppendValue(outer.get(), record.get());
    CFArrayAppendValue(outer.get(), mutable_dictionary().get());
    EXPECT_EQ(describe(outer.get()),
              "(\n"
              "    {\n"
              "        Path = \"/Applications/Glissor Helper.app\";\n"
              "        Hide = true;\n"
              "        Speeds = (\n"
              "            2,\n"
              "            1.5\n"
              "        );\n"
              "        Name = Glissor_1.0;\n"
              "        Quote = \"say \\\"hi\\\"\";\n"
              "        Empty = \"\";\n"
              "    },\n"
              "    {\n"
              "    }\n"
              ")");
    EXPECT_EQ(describe(CFSTR("plain text, unquoted")), "plain text, unquoted");
    const UInt8 bytes[] = {0x01, 0x02, 0xab, 0xff, 0x10};
    EXPECT_EQ(describe(CFRef<CFDataRef>::adopt(CFDataCreate(nullptr, bytes, 5)).get()), "<0102abff 10>");
    EXPECT_EQ(describe(CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 86400.5)).get()),
              "2001-01-02 00:00:00 +0000");
}

TEST_F(CfContainerDeathTest, MisuseStops) {
    const void *values[] = {CFSTR("a"), CFSTR("b")};
    auto fixed = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks));
    EXPECT_DEATH(CFArrayGetValueAtIndex(fixed.get(), 5),
                 "CoreFoundation: CFArrayGetValueAtIndex: index 5 out of range \\(count 2\\)\n");
    EXPECT_DEATH(CFArrayGetValueAtIndex(fixed.get(), -1), "index -1 out of range");
    EXPECT_DEATH(CFArrayAppendValue(const_cast<CFMutableArrayRef>(fixed.get()), CFSTR("c")),
                 "CoreFoundation: CFArrayAppendValue: the array .* is immutable");

    auto array = mutable_array();
    CFArrayAppendValue(array.get(), CFSTR("a"));
    EXPECT_DEATH(CFArraySetValueAtIndex(array.get(), 2, CFSTR("x")), "CFArraySetValueAtIndex: index 2 out of range");
    EXPECT_DEATH(CFArrayInsertValueAtIndex(array.get(), 2, CFSTR("x")), "CFArrayInsertValueAtIndex: index 2 out of range");
    EXPECT_DEATH(CFArrayRemoveValueAtIndex(array.get(), 1), "CFArrayRemoveValueAtIndex: index 1 out of range");
    EXPECT_DEATH(CFArrayContainsValue(array.get(), CFRangeMake(0, 2), CFSTR("a")), "CFArrayContainsValue: range");

    auto bounded = mutable_array(1);
    CFArrayAppendValue(bounded.get(), CFSTR("a"));
    EXPECT_DEATH(CFArrayAppendValue(bounded.get(), CFSTR("b")), "CFArrayAppendValue: 2 values exceed the capacity 1");
    EXPECT_DEATH(CFArrayCreateMutableCopy(nullptr, 1, fixed.get()), "exceed the capacity 1");

    auto record = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks, nullptr));
    EXPECT_DEATH(CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(record.get()), CFSTR("k"), CFSTR("v")),
                 "CoreFoundation: CFDictionarySetValue: the dictionary .* is immutable");
    auto small = mutable_dictionary(1);
    CFDictionarySetValue(small.get(), CFSTR("k"), CFSTR("v"));
    CFDictionarySetValue(small.get(), CFSTR("k"), CFSTR("w"));  // replacing needs no room
    EXPECT_DEATH(CFDictionarySetValue(small.get(), CFSTR("l"), CFSTR("v")), "exceeds the capacity 1");
    EXPECT_DEATH(CFDictionaryGetCount(reinterpret_cast<CFDictionaryRef>(fixed.get())),
                 "CFDictionaryGetCount: expected a CFDictionary, got a CFArray");
}

}  // namespace

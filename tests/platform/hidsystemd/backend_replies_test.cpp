// The backends' readers on inputs kept from fuzzing and on the shapes
// peers were seen to send: none crashes, every invariant holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "backend_replies.h"
#include "temp_home.h"

namespace {

void exercise(const std::string &text) {
    hidsystem_test::exercise_backend_replies(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

TEST(BackendReplies, KeptInputsAndOddShapesAreReadWithoutHarm) {
    int kept = 0;
    for (const auto &entry : std::filesystem::directory_iterator(BACKEND_REPLY_REGRESSIONS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        exercise(glissor_test::read_file(entry.path().string()));
        ++kept;
    }
    EXPECT_GT(kept, 0);
    for (const char *text : {R"([{"success": 1}])", R"("true")", "[", "{}", "[[[[[[[[[]]]]]]]]]", "\xff\xfe",
                             "[Mouse]\nXLbInptPointerAcceleration=1", "[Mouse", "=\n[]\n[Mouse]\n=x\n", "()", "(\n)",
                             "(a: 1 b: 2)", "(a:)", "(acceleration: None)", "(x: [)])", "(x: 'a', y: b'c')",
                             "(/* never closed", "input { mouse {", "input {}}", "a \\ b", "include", "node \"\\u{110000}\"",
                             R"({"Err":"error parsing request"})", R"({"Ok":{"Version":""}})"})
        exercise(text);
}

}  // namespace

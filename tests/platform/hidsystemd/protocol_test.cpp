// The line protocol and the socket path resolver, without a daemon.
#include <hidsystem/protocol.h>
#include <hidsystem/socket_path.h>
#include <sys/stat.h>
#include <unistd.h>

#include <hidsystem/status.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "temp_home.h"

namespace {

using hidsystem::Line;
using hidsystem::Request;
using hidsystem::RequestError;

std::string_view without_newline(const Line &line) {
    std::string_view text = line.text();
    return text.substr(0, text.size() - 1);
}

RequestError parse(std::string_view text) {
    Request request;
    return hidsystem::parse_request(text, request);
}

TEST(Protocol, SetRequestsCarryKeysAndBytesUpToTheLimits) {
    std::string longest_key(hidsystem::kMaxKeyLength, 'K');
    std::vector<unsigned char> largest(hidsystem::kMaxParameterSize);
    for (std::size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<unsigned char>(i * 7);

    Line line;
    ASSERT_TRUE(hidsystem::encode_set(line, longest_key, largest));
    ASSERT_LE(line.text().size(), hidsystem::kMaxLineLength);
    Request request;
    ASSERT_EQ(hidsystem::parse_request(without_newline(line), request), RequestError::None);
    EXPECT_EQ(request.verb, hidsystem::Verb::Set);
    EXPECT_EQ(request.key, longest_key);
    ASSERT_EQ(request.value.size, largest.size());
    EXPECT_EQ(0, std::memcmp(request.value.data.data(), largest.data(), largest.size()));

    Line too_big, key_too_long, empty_value;
    largest.push_back(0);
    EXPECT_FALSE(hidsystem::encode_set(too_big, "HIDMouseAcceleration", largest));
    EXPECT_FALSE(hidsystem::encode_set(key_too_long, longest_key + "K", {largest.data(), 4}));
    EXPECT_FALSE(hidsystem::encode_set(empty_value, "HIDMouseAcceleration", {}));
}

TEST(Protocol, AccelerationKeepsEveryBitOfTheDouble) {
    for (double value : {0.6875, -0.0, 1e-310, 3.0e300, std::nan("")}) {
        Line line;
        ASSERT_TRUE(hidsystem::encode_accel(line, value));
        Request request;
        ASSERT_EQ(hidsystem::parse_request(without_newline(line), request), RequestError::None);
        ASSERT_EQ(request.value.size, sizeof(double));
        EXPECT_EQ(0, std::memcmp(request.value.data.data(), &value, sizeof value)) << value;
    }
}

TEST(Protocol, MalformedRequestsAreToldApartFromOtherVersionsAndUnknownVerbs) {
    EXPECT_EQ(parse("HIDSYSTEM/1 HELLO"), RequestError::None);
    EXPECT_EQ(parse("HIDSYSTEM/2 HELLO"), RequestError::BadVersion);
    EXPECT_EQ(parse("HIDSYSTEM/1 FLY"), RequestError::UnknownVerb);
    EXPECT_EQ(parse("HIDSYSTEM/1 hello"), RequestError::UnknownVerb);
    for (std::string_view bad : {"", "garbage", "HIDSYSTEM/1", "HIDSYSTEM/1  HELLO", "HIDSYSTEM/1 HELLO ",
                                 " HIDSYSTEM/1 HELLO", "HIDSYSTEM/1 HELLO extra", "HIDSYSTEM/1\tHELLO",
                                 "HIDSYSTEM/1 HELLO\r", "HIDSYSTEM/1 SET HIDMouseAcceleration",
                                 "HIDSYSTEM/1 SET HIDMouseAcceleration 0", "HIDSYSTEM/1 SET HIDMouseAcceleration zz",
                                 "HIDSYSTEM/1 SET HIDMouse\x80 00", "HIDSYSTEM/1 ACCEL", "HIDSYSTEM/1 GET",
                                 "HIDSYSTEM/1 LOG", "HIDSYSTEM/1 LOG -1", "HIDSYSTEM/1 LOG 18446744073709551616"}) {
        EXPECT_EQ(parse(bad), RequestError::Malformed) << "'" << bad << "'";
    }
    const char with_nul[] = "HIDSYSTEM/1 GET Key\0Tail";
    EXPECT_EQ(parse({with_nul, sizeof with_nul - 1}), RequestError::Malformed);
    EXPECT_EQ(parse("HIDSYSTEM/1 LOG 18446744073709551615"), RequestError::None);
}

TEST(Protocol, ErrorRepliesCarryTheirStatusAndBrokenRepliesAreRejected) {
    auto refused = hidsystem::parse_reply("HIDSYSTEM/1 ERR e00002e2 refused");
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->ok);
    EXPECT_EQ(refused->code, hidsystem::kStatusNotPermitted);
    EXPECT_EQ(refused->rest, "refused");
    for (std::string_view bad : {"HIDSYSTEM/1 ERR 00000000 none", "HIDSYSTEM/1 ERR e2", "HIDSYSTEM/1 MAYBE",
                                 "HIDSYSTEM/9 OK", ""})
        EXPECT_FALSE(hidsystem::parse_reply(bad)) << bad;
}

TEST(Protocol, BackendStateFitsALineAtItsLongestAndParsesWithOrWithoutItsReason) {
    hidsystem::BackendState longest{"sway", "connected", UINT64_MAX, UINT64_MAX, UINT64_MAX, UINT64_MAX,
                                    std::string(400, 'd'), std::string(400, 'e'), std::string(400, 'r')};
    Line line;
    ASSERT_TRUE(hidsystem::encode_backend_state(line, longest)) << "every field at its longest fits one line";
    std::string_view rest = without_newline(line);
    rest.remove_prefix(std::string_view("HIDSYSTEM/1 OK ").size());
    hidsystem::BackendState state;
    hidsystem::BackendDevice device;
    bool is_state = false, at_end = false;
    ASSERT_TRUE(hidsystem::parse_backend_reply(rest, state, device, is_state, at_end));
    EXPECT_TRUE(is_state);
    EXPECT_EQ(state.display, std::string(160, 'd'));
    EXPECT_EQ(state.reason, std::string(100, 'r'));

    // A daemon from before the reason: its reply still reads, with none.
    ASSERT_TRUE(hidsystem::parse_backend_reply("STATE x11 connected 7 3 2 2 3a35 -", state, device, is_state, at_end));
    EXPECT_EQ(state.display, ":5");
    EXPECT_EQ(state.reason, "");
    EXPECT_FALSE(hidsystem::parse_backend_reply("STATE x11 connected 7 3 2 2 3a35 - - extra", state, device,
                                                is_state, at_end));
}

TEST(Protocol, LogEntriesRoundTripWithPaddedMicroseconds) {
    hidsystem::LogEntry entry;
    entry.sequence = 41;
    entry.seconds = 1765180800;
    entry.microseconds = 5;
    entry.key = "HIDTrackpadAcceleration";
    const unsigned char bytes[] = {0xff, 0xff, 0x00, 0x00};
    entry.value.assign(bytes);
    Line line;
    ASSERT_TRUE(hidsystem::encode_log_entry(line, entry));
    EXPECT_NE(line.text().find(" 1765180800.000005 "), std::string_view::npos) << line.text();

    auto reply = hidsystem::parse_reply(without_newline(line));
    ASSERT_TRUE(reply && reply->ok);
    hidsystem::LogEntry back;
    bool at_end = true;
    ASSERT_TRUE(hidsystem::parse_log_reply(reply->rest, back, at_end));
    EXPECT_FALSE(at_end);
    EXPECT_EQ(back.sequence, 41u);
    EXPECT_EQ(back.seconds, entry.seconds);
    EXPECT_EQ(back.microseconds, 5);
    EXPECT_EQ(back.key, entry.key);
    EXPECT_EQ(0, std::memcmp(back.value.data.data(), bytes, sizeof bytes));

    Line end;
    ASSERT_TRUE(hidsystem::encode_log_end(end));
    reply = hidsystem::parse_reply(without_newline(end));
    ASSERT_TRUE(reply);
    ASSERT_TRUE(hidsystem::parse_log_reply(reply->rest, back, at_end));
    EXPECT_TRUE(at_end);
    EXPECT_FALSE(hidsystem::parse_log_reply("ENTRY 1 12.5 Key 00", back, at_end));
}

class SocketPathTest : public ::testing::Test {
protected:
    std::string resolve(const char *explicit_path = nullptr) {
        hidsystem::SocketPath path;
        hidsystem::ErrorText error;
        if (!hidsystem::resolve_socket_path(explicit_path, path, error)) return std::string("error: ") + error.c_str();
        return path.c_str();
    }
};

TEST_F(SocketPathTest, TheOptionBeatsTheVariableWhichBeatsTheRuntimeDirectory) {
    glissor_test::ScopedEnv socket_env("HIDSYSTEM_SOCKET", "/env/hid.sock");
    glissor_test::ScopedEnv runtime_env("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(resolve("/option/hid.sock"), "/option/hid.sock");
    EXPECT_EQ(resolve(""), "/env/hid.sock");
    {
        glissor_test::ScopedEnv unset_socket("HIDSYSTEM_SOCKET", "");
        EXPECT_EQ(resolve(), "/run/user/7/hidsystem.sock");
        glissor_test::ScopedEnv relative_runtime("XDG_RUNTIME_DIR", "run/user/7");
        EXPECT_EQ(resolve(), "/tmp/hidsystem-" + std::to_string(geteuid()) + "/hidsystem.sock");
    }
    std::string too_long = "/" + std::string(sizeof(sockaddr_un::sun_path), 'p');
    EXPECT_EQ(resolve(too_long.c_str()).rfind("error: ", 0), 0u);
}

TEST_F(SocketPathTest, APrivateDirectoryIsMadeAndAnyOtherRefused) {
    glissor_test::TempDir root;
    hidsystem::ErrorText error;
    std::string fresh = root.path() + "/fresh";
    ASSERT_TRUE(hidsystem::ensure_private_directory(fresh.c_str(), error)) << error.c_str();
    struct stat status {};
    ASSERT_EQ(lstat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_TRUE(hidsystem::ensure_private_directory(fresh.c_str(), error));

    std::string open_to_all = root.path() + "/open";
    ASSERT_EQ(mkdir(open_to_all.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open_to_all.c_str(), 0755), 0);
    EXPECT_FALSE(hidsystem::ensure_private_directory(open_to_all.c_str(), error));
    EXPECT_NE(std::string(error.c_str()).find(open_to_all), std::string::npos);

    std::string link = root.path() + "/link";
    ASSERT_EQ(symlink(fresh.c_str(), link.c_str()), 0);
    EXPECT_FALSE(hidsystem::ensure_private_directory(link.c_str(), error));

    if (geteuid() == 0) {
        std::string foreign = root.path() + "/foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(hidsystem::ensure_private_directory(foreign.c_str(), error));
    }

    std::string file = root.path() + "/file";
    glissor_test::write_file(file, "x");
    EXPECT_FALSE(hidsystem::ensure_private_directory(file.c_str(), error));
}

}  // namespace

// How expectations meet observed values, how values read in the trace and in JSON, and how they
// cross the socket between supervisor and app.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "sim/language/Value.h"
#include "sim/supervisor/Protocol.h"

namespace qv::sim {
namespace {

const Value kNotice =
    ValueMap{{"title", "Driftlane"}, {"message", "❗ Unsupported FPS: 240"}, {"time_left", 10.0}};

TEST(Value, NumbersMeetByValueAndTextNeverMeetsANumber) {
  EXPECT_TRUE(matches(Value(120), Value(120.0), Match::Exact));
  EXPECT_TRUE(matches(Value(10), Value(9.9999999), Match::Exact));
  EXPECT_FALSE(matches(Value(10), Value(9.99), Match::Exact));
  EXPECT_FALSE(matches(Value("120"), Value(120), Match::Exact));
  EXPECT_FALSE(matches(Value(true), Value(1), Match::Exact));
  EXPECT_FALSE(matches(Value(), Value("none"), Match::Exact));
  EXPECT_TRUE(matches(Value(), Value(), Match::Exact));
}

TEST(Value, PartialMapsNeedOnlyTheExpectedKeysButListsKeepTheirLength) {
  const Value expected = ValueList{ValueMap{{"title", "Driftlane"}}};
  EXPECT_TRUE(matches(expected, ValueList{kNotice}, Match::Partial));
  EXPECT_FALSE(matches(expected, ValueList{kNotice, kNotice}, Match::Partial));
  EXPECT_FALSE(matches(expected, ValueList{kNotice}, Match::Exact));
  EXPECT_FALSE(matches(ValueList{ValueMap{{"colour", "red"}}}, ValueList{kNotice}, Match::Partial));
  EXPECT_EQ(toText(lookedAt(expected, ValueList{kNotice}, Match::Partial)), "[{title: Driftlane}]");
}

TEST(Value, IncludesLooksForEachExpectedElement) {
  const Value log = ValueList{"first line", "second line"};
  EXPECT_TRUE(matches(ValueList{"second line"}, log, Match::Includes));
  EXPECT_TRUE(matches(ValueList{}, log, Match::Includes));
  EXPECT_FALSE(matches(ValueList{"third line"}, log, Match::Includes));
  EXPECT_FALSE(matches(ValueList{"first line"}, log, Match::Exact));
}

TEST(Value, TextQuotesWhatWouldReadAsSomethingElse) {
  EXPECT_EQ(toText(kNotice),
            "{title: Driftlane, message: \"❗ Unsupported FPS: 240\", time_left: 10}");
  EXPECT_EQ(toText(ValueList{"1280x720", "1/120", "120", "true", "none", "", Value()}),
            R"([1280x720, 1/120, "120", "true", "none", "", none])");
  EXPECT_EQ(toText(Value(0.25)), "0.25");
  EXPECT_EQ(toJson(ValueMap{{"line", "a \"quoted\"\nline\x01"}, {"none", Value()}}),
            R"({"line": "a \"quoted\"\nline\u0001", "none": null})");
}

class ChannelPair : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    supervisor_.emplace(fds[0]);
    app_.emplace(fds[1]);
  }
  std::optional<Channel> supervisor_;
  std::optional<Channel> app_;
};

TEST_F(ChannelPair, FramesKeepTheirFieldsAcrossTheSocket) {
  const Value state = ValueMap{{"notices", ValueList{kNotice}},
                               {"preview", "running"},
                               {"rate", -1LL},
                               {"fast", false},
                               {"gone", Value()}};
  ASSERT_TRUE(supervisor_->send(FrameWriter(Message::Done).integer(-7).value(state).text("end")));
  std::optional<FrameReader> frame = app_->receive(1000);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->type(), Message::Done);
  EXPECT_EQ(frame->integer(), -7);
  EXPECT_EQ(toText(frame->value()), toText(state));
  EXPECT_EQ(frame->text(), "end");
  EXPECT_THROW(frame->text(), ProtocolError);  // nothing is left in the frame
}

TEST_F(ChannelPair, AClosedOrSilentPeerIsNoFrame) {
  EXPECT_FALSE(app_->receive(10));
  EXPECT_TRUE(app_->timedOut());
  supervisor_.reset();
  EXPECT_FALSE(app_->receive(1000));
  EXPECT_FALSE(app_->timedOut());
  EXPECT_FALSE(app_->send(FrameWriter(Message::Log).text("nobody listens")));
}

TEST_F(ChannelPair, ABrokenStreamIsAProtocolError) {
  const std::uint32_t huge = 0xffffffffu;
  ASSERT_EQ(::write(supervisor_->fd(), &huge, sizeof huge), static_cast<ssize_t>(sizeof huge));
  EXPECT_THROW(app_->receive(1000), ProtocolError);

  FrameReader truncated(std::string(1, static_cast<char>(Message::Done)) + "\x03");
  EXPECT_THROW(truncated.integer(), ProtocolError);
  FrameReader badTag(std::string(1, static_cast<char>(Message::Done)) + "\x7f");
  EXPECT_THROW(badTag.value(), ProtocolError);
}

}  // namespace
}  // namespace qv::sim

// The live events: a listener reads from where it stopped, one that fell
// behind skips what left the log, and closing wakes a waiting listener.
#include <gtest/gtest.h>

#include <future>

#include "server/event_hub.h"

namespace multitone::server {
namespace {

using std::chrono::milliseconds;

TEST(EventHub, ListenersReadFromWhereTheyStopped) {
  EventHub hub(3);
  for (int i = 1; i <= 5; ++i) hub.Publish("step", "{\"n\":" + std::to_string(i) + "}");
  const auto behind = hub.WaitAfter(0, milliseconds(0));
  ASSERT_EQ(behind.size(), 3u);  // 1 and 2 left the log
  EXPECT_EQ(behind.front().id, 3u);
  EXPECT_EQ(behind.back().data, "{\"n\":5}");
  const auto next = hub.WaitAfter(4, milliseconds(0));
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(SseFrame(next[0]), "id: 5\nevent: step\ndata: {\"n\":5}\n\n");
  EXPECT_TRUE(hub.WaitAfter(5, milliseconds(0)).empty());
}

TEST(EventHub, IdsCountOnFromTheStationsStart) {
  EventHub hub(8, 5000);
  EXPECT_EQ(hub.LastId(), 5000u);  // a new listener of an earlier start is behind
  hub.Publish("started", "{}");
  const auto events = hub.WaitAfter(4999, milliseconds(0));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].id, 5001u);
}

TEST(EventHub, ClosingWakesAWaitingListener) {
  EventHub hub;
  auto waiting = std::async(std::launch::async, [&] { return hub.WaitAfter(0, std::chrono::seconds(60)); });
  hub.Close();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_TRUE(waiting.get().empty());
  EXPECT_TRUE(hub.Closed());
}

}  // namespace
}  // namespace multitone::server

// A connection's deadline, on a loopback socket pair in one io_context: a
// deadline that passes cancels the wait on the socket, one moved earlier
// takes effect at once, one moved later lets the wait go on, and one that
// passes while nothing waits leaves only its mark. Nothing here measures
// time: a failure to wake shows as a hang, which the test timeout catches.
#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <chrono>
#include <optional>

#include "deadline.h"

using namespace pelloriand::server;
using namespace std::chrono_literals;
namespace asio = boost::asio;

namespace {

struct SocketPair {
  asio::io_context context{1};
  Socket near{context.get_executor()};
  Socket far{context.get_executor()};

  SocketPair() {
    asio::ip::tcp::acceptor acceptor(context, {asio::ip::address_v4::loopback(), 0});
    near.connect(acceptor.local_endpoint());
    acceptor.accept(far);
  }
};

// Starts a one-byte read on `socket`; `result` gets its error code.
void start_read(Socket& socket, char& byte, std::optional<boost::system::error_code>& result) {
  socket.async_read_some(asio::buffer(&byte, 1), [&result](const boost::system::error_code& ec,
                                                           std::size_t) { result = ec; });
}

void run_until_done(asio::io_context& context, const std::optional<boost::system::error_code>& r) {
  while (!r) context.run_one();
}

TEST(Deadline, PassedDeadlineCancelsTheWaitAndIsMarked) {
  SocketPair pair;
  std::optional<boost::system::error_code> result;
  char byte = 0;
  {
    Deadline deadline(pair.near);
    deadline.expires_after(20ms);
    start_read(pair.near, byte, result);
    run_until_done(pair.context, result);
    EXPECT_EQ(*result, asio::error::operation_aborted);
    EXPECT_TRUE(deadline.expired());
    deadline.expires_after(1h);
    EXPECT_FALSE(deadline.expired());
  }
  // The ended deadline leaves no work behind: run returns.
  pair.context.run();
}

TEST(Deadline, MovedEarlierTakesEffectAtOnce) {
  SocketPair pair;
  Deadline deadline(pair.near);
  deadline.expires_after(1h);
  pair.context.poll();  // the watch sleeps towards the hour
  deadline.expires_after(20ms);
  std::optional<boost::system::error_code> result;
  char byte = 0;
  start_read(pair.near, byte, result);
  run_until_done(pair.context, result);
  EXPECT_EQ(*result, asio::error::operation_aborted);
}

TEST(Deadline, MovedLaterLetsTheWaitGoOn) {
  SocketPair pair;
  Deadline deadline(pair.near);
  deadline.expires_after(30ms);
  pair.context.poll();  // the watch sleeps towards the 30 ms
  deadline.expires_after(1h);
  std::optional<boost::system::error_code> result;
  char byte = 0;
  start_read(pair.near, byte, result);
  // Past the first deadline the watch has woken and slept on.
  pair.context.run_for(200ms);
  EXPECT_FALSE(result);
  EXPECT_FALSE(deadline.expired());
  asio::write(pair.far, asio::buffer("x", 1));
  run_until_done(pair.context, result);
  EXPECT_EQ(*result, boost::system::error_code());
  EXPECT_EQ(byte, 'x');
}

// A deadline that passes while nothing waits on the socket (a tool call
// running elsewhere) cancels nothing: a read started later still completes.
// The mark is for the caller, who looks at it before each wait.
TEST(Deadline, PassedWhileNothingWaitsLeavesTheMark) {
  SocketPair pair;
  Deadline deadline(pair.near);
  deadline.expires_after(10ms);
  while (!deadline.expired()) pair.context.run_one();
  asio::write(pair.far, asio::buffer("y", 1));
  std::optional<boost::system::error_code> result;
  char byte = 0;
  start_read(pair.near, byte, result);
  run_until_done(pair.context, result);
  EXPECT_EQ(*result, boost::system::error_code());
  EXPECT_EQ(byte, 'y');
}

}  // namespace

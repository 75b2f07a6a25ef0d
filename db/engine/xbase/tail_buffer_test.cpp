// The tail written behind: bytes in flight are read from memory, a piece whose write failed
// comes back with its cause on the owner's thread and is written again, and the file ends
// up holding every byte in place.

#include "db/engine/xbase/tail_buffer.h"

#include <algorithm>
#include <string>

#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

class TailBufferTest : public EngineTest {
 protected:
  void TearDown() override {
    SetFileFaultHook(nullptr);
    EngineTest::TearDown();
  }
};

// The byte at offset of the stream the test appends.
char ByteAt(uint64_t offset) { return char('a' + (offset * 7 + offset / 1000) % 26); }

std::string Bytes(uint64_t offset, size_t n) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = ByteAt(offset + i);
  return s;
}

TEST_F(TailBufferTest, PiecesInFlightReadBackAndAFailedPieceIsReportedThenWrittenAgain) {
  constexpr uint64_t kBase = 100;
  constexpr size_t kChunk = 4093;  // appends straddle the pieces' edges
  for (const int failing_piece : {-1, 0, 2}) {
    SCOPED_TRACE("failing piece " + std::to_string(failing_piece));
    const std::string path = Path("tail" + std::to_string(failing_piece + 1) + ".bin");
    File file;
    ASSERT_TRUE(file.Open(path, File::Mode::kCreate));
    ASSERT_TRUE(file.WriteAt(0, Bytes(0, kBase).data(), kBase));
    bool failed_once = false;
    const uint64_t failing_offset = kBase + uint64_t(failing_piece) * TailBuffer::kLimit;
    SetFileFaultHook([&](const std::string& p, bool is_write, uint64_t offset, size_t size) -> int64_t {
      if (is_write && p == path && failing_piece >= 0 && !failed_once && offset >= failing_offset) {
        failed_once = true;
        return -1;
      }
      return int64_t(size);
    });

    TailBuffer tail;
    tail.Reset(kBase);
    int reported = 0;
    while (tail.End() < kBase + 4 * TailBuffer::kLimit) {
      tail.Append(Bytes(tail.End(), kChunk).data(), kChunk);
      // What memory holds reads back, in flight or gathering, across their border.
      const uint64_t from = tail.End() - std::min<uint64_t>(tail.End() - tail.Base(), 2 * kChunk);
      std::string read(size_t(tail.End() - from), ' ');
      ASSERT_TRUE(tail.Read(from, read.data(), read.size()));
      ASSERT_EQ(read, Bytes(from, read.size()));
      if (tail.Full() && !tail.WriteBehind(file, "#", 1)) {
        ++reported;
        ASSERT_NE(LastFileFailure(), nullptr);
        EXPECT_EQ(LastFileFailure()->operation, FileOperation::kWrite);
        EXPECT_EQ(LastFileFailure()->path, path);
      }
    }
    // Overwriting bytes in flight lands them first: the file takes the bytes then.
    const uint64_t in_flight = tail.Base();
    if (!tail.Overwrite(in_flight, Bytes(in_flight, 10).data(), 10)) {
      ASSERT_TRUE(file.WriteAt(in_flight, Bytes(in_flight, 10).data(), 10));
    }
    if (!tail.WriteTo(file, "#", 1)) ++reported;
    if (reported != 0) {
      EXPECT_TRUE(tail.WriteTo(file, "#", 1));  // written again
    }
    EXPECT_EQ(reported, failing_piece >= 0 ? 1 : 0);
    EXPECT_TRUE(tail.Empty());
    SetFileFaultHook(nullptr);  // it refers to this pass's variables

    const uint64_t end = tail.End();
    std::string content(size_t(end + 1), ' ');
    ASSERT_TRUE(file.ReadExactAt(0, content.data(), content.size()));
    EXPECT_TRUE(content == Bytes(0, size_t(end)) + "#");
  }
}

}  // namespace
}  // namespace ks::xbase::testing

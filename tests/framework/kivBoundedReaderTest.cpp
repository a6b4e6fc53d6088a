#include <gtest/gtest.h>

#include <functional>

#include "base/kivException.h"
#include "base/kivStream.h"
#include "framework/kivBoundedReader.h"
#include "framework/kivInfoStream.h"
#include "support/kivTestSupport.h"

using kivTest::Hex;

namespace {
// The read fails with the stream read error.
void ExpectReadError(const std::function<void()>& Read, const char* What) {
  try {
    Read();
    ADD_FAILURE() << "no read error: " << What;
  } catch (const EReadError& E) {
    EXPECT_STREQ(E.what(), "Stream read error") << What;
  }
}
} // namespace

TEST(BoundedReader, ReadsAtOffsetsInItsByteOrderAndLeavesThePosition) {
  // A memory stream, read without seeking, and a stream of another kind, read by seeking.
  TMemoryStream Memory(Hex("EE 12 34 56 78 9A EE"));
  TStreamRange Other(Memory, 0, 7);
  for (TStream* Stream : {static_cast<TStream*>(&Memory), static_cast<TStream*>(&Other)}) {
    Stream->SetPosition(6);
    const TkivBoundedReader Big(*Stream, 1, 5, true);
    const TkivBoundedReader Little = Big.WithByteOrder(false);
    EXPECT_EQ(Big.Start(), 1);
    EXPECT_EQ(Big.Word(0), 0x1234);
    EXPECT_EQ(Little.Word(0), 0x3412);
    EXPECT_EQ(Big.Long(1), 0x3456789Au);
    EXPECT_EQ(Little.Long(1), 0x9A785634u);
    EXPECT_EQ(Big.Byte(4), 0x9A);
    EXPECT_EQ(Big.Bytes(3, 2), Hex("78 9A"));
    // Reads in any order, looks back included, leave the stream where it stood.
    EXPECT_EQ(Big.Byte(0), 0x12);
    EXPECT_EQ(Stream->GetPosition(), 6);
  }
  // The rest of a stream from its position.
  Memory.SetPosition(5);
  const TkivBoundedReader Rest = TkivBoundedReader::Rest(Memory, false);
  EXPECT_EQ(Rest.Size(), 2);
  EXPECT_EQ(Rest.Word(0), 0xEE9A);
}

TEST(BoundedReader, NoReadLeavesTheRange) {
  TMemoryStream Stream(Hex("00 01 02 03 04 05 06 07"));
  const TkivBoundedReader R(Stream, 2, 4, false); // 02 03 04 05
  EXPECT_TRUE(R.Holds(0, 4));
  EXPECT_TRUE(R.Holds(4, 0));
  EXPECT_FALSE(R.Holds(1, 4));
  EXPECT_FALSE(R.Holds(-1, 1));
  EXPECT_FALSE(R.Holds(5, 0));
  EXPECT_FALSE(R.Holds(2, INT64_MAX)); // no overflow
  EXPECT_EQ(R.BytesFrom(1), 3);
  EXPECT_EQ(R.BytesFrom(4), 0);
  EXPECT_EQ(R.BytesFrom(9), 0);
  EXPECT_EQ(R.BytesFrom(-1), 0);
  EXPECT_EQ(R.Bytes(4, 0), "");
  EXPECT_EQ(R.Long(0), 0x05040302u);
  // The stream's bytes beyond the range are not the range's.
  ExpectReadError([&] { R.Long(1); }, "long across the end");
  ExpectReadError([&] { R.Word(3); }, "word across the end");
  ExpectReadError([&] { R.Byte(4); }, "byte at the end");
  ExpectReadError([&] { R.Byte(-1); }, "byte before the start");
  ExpectReadError([&] { R.Bytes(0, 5); }, "bytes across the end");
  ExpectReadError([&] { R.Bytes(0, INT64_MAX); }, "a count no data hold"); // nothing allocated
  ExpectReadError([&] { R.Bytes(0, -1); }, "a negative count");
  ExpectReadError([&] { TkivBoundedReader().Byte(0); }, "a reader over nothing");
  // A range is cut to the stream; a stream that shrank since is not read beyond its end.
  EXPECT_EQ(TkivBoundedReader(Stream, 6, 100, false).Size(), 2);
  EXPECT_EQ(TkivBoundedReader(Stream, 20, 4, false).Size(), 0);
  TMemoryStream Shrinking(Hex("01 02 03 04"));
  const TkivBoundedReader Stale(Shrinking, 0, 4, true);
  Shrinking.SetSize(2);
  EXPECT_EQ(Stale.Word(0), 0x0102);
  ExpectReadError([&] { Stale.Word(2); }, "bytes the stream no longer holds");
}

TEST(BoundedReader, SubViewsCountFromTheirStartAndStayInside) {
  TMemoryStream Stream(std::string("0123456789"));
  const TkivBoundedReader Whole(Stream, 1, 8, true); // 12345678
  const TkivBoundedReader Sub = Whole.Sub(2, 3);     // 345
  EXPECT_EQ(Sub.Start(), 3);
  EXPECT_EQ(Sub.Bytes(0, 3), "345");
  EXPECT_TRUE(Sub.BigEndian());
  ExpectReadError([&] { Sub.Byte(3); }, "beyond a sub-view, inside its parent");
  // Sub-views are cut to their parent; one that starts outside it is empty.
  EXPECT_EQ(Whole.Sub(6, 10).Bytes(0, 2), "78");
  EXPECT_EQ(Whole.Sub(6, 10).Size(), 2);
  EXPECT_EQ(Whole.Sub(8, 1).Size(), 0);
  EXPECT_EQ(Whole.Sub(9, 1).Size(), 0);
  EXPECT_EQ(Whole.Sub(-1, 4).Size(), 0);
  EXPECT_EQ(Sub.Sub(1, 1).Bytes(0, 1), "4");
  // As a stream: exactly the range, whatever the stream's position.
  Stream.SetPosition(9);
  TStreamRange AsStream = Sub.AsStream();
  EXPECT_EQ(ReadString(AsStream, BytesLeft(AsStream)), "345");
  EXPECT_EQ(TkivBoundedReader().AsStream().GetSize(), 0);
}

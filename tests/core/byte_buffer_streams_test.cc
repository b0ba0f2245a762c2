#include "flutter/byte_buffer_streams.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

namespace {

using flutter::ByteBufferStreamReader;
using flutter::ByteBufferStreamWriter;
using kelmor_test::Bytes;
using kelmor_test::kInvalidRead;
using kelmor_test::StderrCapture;

TEST(ByteBufferStreamReader, EmptyRangeReportsEachFailedRead) {
  ByteBufferStreamReader reader(nullptr, 0);
  StderrCapture capture;
  EXPECT_EQ(reader.ReadByte(), 0);
  reader.ReadBytes(nullptr, 0);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kInvalidRead});
  EXPECT_EQ(reader.BytesRemaining(), 0u);
}

TEST(ByteBufferStreamReader, BlockReadsAreAllOrNothing) {
  const Bytes data{0x10, 0x11, 0x12, 0x13};
  ByteBufferStreamReader reader(data.data(), data.size());
  reader.ReadByte();
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  {
    StderrCapture capture;
    reader.ReadBytes(out, 4);
    EXPECT_EQ(capture.Lines().size(), 1u);
  }
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(reader.position(), 1u);

  reader.ReadBytes(out, 1);
  EXPECT_EQ(out[0], 0x11);
  EXPECT_EQ(reader.position(), 2u);
  reader.ReadBytes(out, 2);
  EXPECT_EQ(out[0], 0x12);
  EXPECT_EQ(out[1], 0x13);
  EXPECT_EQ(reader.position(), 4u);
  {
    StderrCapture capture;
    out[0] = 0xAA;
    reader.ReadBytes(out, 1);
    EXPECT_EQ(capture.Lines().size(), 1u);
  }
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(reader.position(), 4u);
}

TEST(ByteBufferStreamReader, AlignmentSkipsByPositionAlone) {
  const Bytes data(14, 0x7F);
  ByteBufferStreamReader reader(data.data(), data.size());
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.position(), 0u);
  for (int i = 0; i < 3; ++i) reader.ReadByte();
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.position(), 8u);
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.position(), 8u);
  for (int i = 0; i < 5; ++i) reader.ReadByte();
  reader.ReadAlignment(4);  // 13 -> 16, past the 14-byte end
  EXPECT_EQ(reader.position(), 16u);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  StderrCapture capture;
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST(ByteBufferStreamWriter, AlignmentCountsFromTheVectorsFirstByte) {
  struct Case {
    size_t existing;
    uint8_t alignment;
    size_t appended;
  } cases[] = {{3, 4, 1}, {3, 8, 5}, {3, 1, 0}, {0, 8, 0}, {8, 8, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.existing << " bytes, align " << int(c.alignment));
    Bytes buffer(c.existing, 0xEE);
    ByteBufferStreamWriter writer(&buffer);
    writer.WriteAlignment(c.alignment);
    ASSERT_EQ(buffer.size(), c.existing + c.appended);
    for (size_t i = c.existing; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0);
  }
}

TEST(ByteBufferStreamWriter, OnlyAppends) {
  Bytes buffer{0x01};
  ByteBufferStreamWriter writer(&buffer);
  writer.WriteBytes(nullptr, 0);
  const uint8_t more[] = {0x02, 0x03};
  writer.WriteBytes(more, 2);
  writer.WriteByte(0x04);
  writer.WriteBytes(more, 1);
  EXPECT_EQ(buffer, (Bytes{0x01, 0x02, 0x03, 0x04, 0x02}));
}

}  // namespace

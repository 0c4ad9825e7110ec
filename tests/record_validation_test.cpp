// Record validation and the record reader on bytes in memory: the four layouts, the section walk,
// rejected packets and where each section was found.
#include <gtest/gtest.h>

#include "record/record_reader.h"
#include "record/validation.h"
#include "support/chunked_source.h"
#include "support/log_builder.h"
#include "support/sources.h"

namespace korvex::test {
namespace {

constexpr SectionFlags kAllSections =
    SECTION_TELM1 | SECTION_TELM2 | SECTION_ATTITUDE | SECTION_GPS;

bool validate(const Bytes& body, Record& rec) {
  return validate_record(body.data(), static_cast<std::uint32_t>(body.size()), rec);
}

// The layout that a record written in `layout` with `sections` is read as: the layouts that
// share a length bias are told apart only by their section lengths, and the first match wins.
RecordLayout expected_layout(RecordLayout layout, SectionFlags sections) {
  const bool telm = (sections & (SECTION_TELM1 | SECTION_TELM2)) != 0;
  const bool gps = (sections & SECTION_GPS) != 0;
  switch (layout) {
    case 2:
      return telm ? 2 : 1;
    case 3:
      return telm || gps ? 3 : 0;
    default:
      return layout;
  }
}

TEST(RecordValidation, EveryLayoutAndSectionCombination) {
  for (RecordLayout layout = 0; layout < RECORD_LAYOUT_COUNT; ++layout) {
    for (SectionFlags sections = 0; sections <= kAllSections; sections += 2) {
      SCOPED_TRACE(testing::Message() << "layout " << layout << " sections " << sections);
      const Bytes body = record_body(layout, sample_fields(0x01020304, sections));
      Record rec;
      ASSERT_TRUE(validate(body, rec));
      EXPECT_EQ(rec.revision, expected_layout(layout, sections));
      EXPECT_EQ(rec.sections, sections);
      EXPECT_EQ(rec.timestamp, 0x01020304U);
      EXPECT_EQ(rec.payload_len, static_cast<std::int32_t>(body.size()) - 6);
      // Sections follow the base payload in id order.
      std::int32_t at = BASE_PAYLOAD_LEN;
      for (int id = 1; id < SECTION_ID_COUNT; ++id) {
        if ((sections & section_flag(id)) == 0) continue;
        EXPECT_EQ(rec.section_at[id], at) << "id " << id;
        at += 2 + layout_section_length[rec.revision][id];
      }
    }
  }
}

TEST(RecordValidation, PlainRecordsOfTheBiasTable) {
  Record rec;
  // Length byte 30 = packet size: layout 0. Length byte 26 = size - 4: layout 1.
  Bytes body = record_body(0, sample_fields(7, 0));
  ASSERT_EQ(body.size(), 30U);
  EXPECT_EQ(body[0], 30);
  ASSERT_TRUE(validate(body, rec));
  EXPECT_EQ(rec.revision, 0);
  EXPECT_EQ(rec.payload_len, 24);
  body[0] = 26;
  ASSERT_TRUE(validate(body, rec));
  EXPECT_EQ(rec.revision, 1);
  // Length byte 46 with an attitude section: layout 0, flags 0x08.
  body = record_body(0, sample_fields(7, SECTION_ATTITUDE));
  EXPECT_EQ(body[0], 46);
  ASSERT_TRUE(validate(body, rec));
  EXPECT_EQ(rec.revision, 0);
  EXPECT_EQ(rec.sections, SECTION_ATTITUDE);
}

// Replaces the section at payload offset `at` (id, length, body) by other bytes and fixes the
// length byte for the bias of `layout`.
Bytes with_payload(const Bytes& body, RecordLayout layout, const Bytes& payload) {
  Bytes out(body.begin(), body.begin() + 6);
  out.insert(out.end(), payload.begin(), payload.end());
  out[0] = static_cast<std::uint8_t>(payload.size() +
                                     static_cast<std::size_t>(layout_length_bias[layout]));
  return out;
}

Bytes section(int id, std::size_t length) {
  Bytes s{static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(length)};
  s.resize(2 + length, 0x11);
  return s;
}

Bytes base_then(std::initializer_list<Bytes> sections) {
  Bytes payload(BASE_PAYLOAD_LEN, 0x22);
  for (const Bytes& s : sections) payload.insert(payload.end(), s.begin(), s.end());
  return payload;
}

TEST(RecordValidation, RejectsWhatNoLayoutDescribes) {
  const Bytes header = record_body(0, sample_fields(5, 0));
  Record rec;
  // One engine-monitor section of 56 bytes beside one of 63.
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(1, 56), section(2, 63)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 1, base_then({section(1, 63), section(2, 56)})), rec));
  // Bias 6 with 63-byte engine monitors and a 20-byte GPS section.
  EXPECT_FALSE(validate(with_payload(header, 3, base_then({section(1, 63), section(4, 20)})), rec));
  // Bias 2 and a 20-byte GPS section.
  EXPECT_FALSE(validate(with_payload(header, 1, base_then({section(4, 20)})), rec));
  // Other section lengths.
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(1, 55)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(3, 13)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 1, base_then({section(4, 23)})), rec));
  // Sections out of order, twice, or with an unknown id.
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(2, 56), section(1, 56)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(3, 14), section(3, 14)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(0, 14)})), rec));
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({section(5, 14)})), rec));
  // A section running past the payload, or whose length byte is its last byte.
  Bytes cut = base_then({section(3, 14)});
  cut.resize(cut.size() - 1);
  EXPECT_FALSE(validate(with_payload(header, 0, cut), rec));
  EXPECT_FALSE(validate(with_payload(header, 0, base_then({Bytes{3}})), rec));
  // Length byte that does not fit the size, a payload shorter than 24 bytes, a section offset
  // byte that points beyond the payload.
  Bytes body = header;
  body[0] = 31;
  EXPECT_FALSE(validate(body, rec));
  body = header;
  body[1] = 29;
  EXPECT_FALSE(validate(body, rec));
  EXPECT_FALSE(validate(with_payload(header, 0, Bytes(23, 0x22)), rec));
  EXPECT_FALSE(validate(Bytes(20, 0x14), rec));
}

TEST(RecordValidation, SectionOffsetByteDecidesWhereSectionsStart) {
  Record rec;
  // Sections may start later than right after the base payload...
  Bytes payload = base_then({Bytes{9, 9}, section(3, 14)});
  Bytes body = with_payload(record_body(0, sample_fields(5, 0)), 0, payload);
  body[1] = 4 + 26;
  ASSERT_TRUE(validate(body, rec));
  EXPECT_EQ(rec.sections, SECTION_ATTITUDE);
  EXPECT_EQ(rec.section_at[SECTION_ID_ATTITUDE], 26);
  // ...or inside the timestamp: offset byte 2 puts the cursor on record offset 4, where the
  // timestamp's third byte is the id 1 and its fourth the length 56.
  body = Bytes{62, 2, 0x10, 0x20, 1, 56};
  body.resize(62, 0x33);
  ASSERT_TRUE(validate(body, rec));
  EXPECT_EQ(rec.revision, 0);
  EXPECT_EQ(rec.sections, SECTION_TELM1);
  EXPECT_EQ(rec.section_at[SECTION_ID_TELM1], -2);
  EXPECT_EQ(rec.timestamp, 0x38012010U);
}

TEST(ReadRecord, CountsAndSkipsEveryPacketThatIsNoRecord) {
  Bytes long_packet(300, 0x01);
  const Bytes log = LogBuilder()
                        .marker()  // empty
                        .record(0, 1)
                        .marker()
                        .raw({1, 2, 3, 4, 5, 6, 7})  // shorter than 8 bytes
                        .record(1, 2)
                        .marker()
                        .raw(Bytes(20, 0x14))  // 20 bytes
                        .marker()
                        .raw(long_packet)
                        .record(2, 3, SECTION_GPS)
                        .marker()  // a start marker as the file's last two bytes
                        .bytes;
  MemoryStream in(log);
  RecordReader reader(in.stream, nullptr);
  std::vector<std::uint32_t> stamps;
  while (const Record* rec = reader.next()) stamps.push_back(rec->timestamp);
  EXPECT_EQ(stamps, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(reader.bad_packets(), 5);
  EXPECT_EQ(in.stream.failed(), 0);
}

TEST(ReadRecord, MarkerPairsAlonePrecedingRecordsCostOneBadPacket) {
  const Bytes log = LogBuilder().marker().records(0, {10, 11, 12}).bytes;
  MemoryStream in(log);
  RecordReader reader(in.stream, nullptr);
  int records = 0;
  while (reader.next() != nullptr) ++records;
  EXPECT_EQ(records, 3);
  EXPECT_EQ(reader.bad_packets(), 1);
}

TEST(ReadRecord, FlagsOfARejectedPacketDoNotReachTheNextRecord) {
  Bytes rejected = record_body(1, sample_fields(1, SECTION_GPS));
  rejected[0] = static_cast<std::uint8_t>(rejected[0] + 1);
  const Bytes log = LogBuilder().marker().raw(rejected).record(1, 2).bytes;
  MemoryStream in(log);
  RecordReader reader(in.stream, nullptr);
  const Record* rec = reader.next();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->timestamp, 2U);
  EXPECT_EQ(rec->sections, 0U);
  EXPECT_EQ(reader.bad_packets(), 1);
  // After the last record the stream stands at the end of the file.
  EXPECT_EQ(in.stream.pos(), static_cast<std::int64_t>(log.size()));
  EXPECT_EQ(reader.next(), nullptr);
}

TEST(ReadRecord, AFailedReadEndsTheRecordsWithoutValidatingTheCutPacket) {
  const Bytes log = LogBuilder().records(0, {1, 2, 3}).bytes;
  // The read fails in the middle of the second record: the first is a record, then nothing.
  FailingSource failing{{log.data(), log.size()}, 32 + 20};
  ByteStream stream(failing.source(), 64);
  RecordReader reader(stream, nullptr);
  ASSERT_NE(reader.next(), nullptr);
  EXPECT_EQ(reader.next(), nullptr);
  EXPECT_EQ(stream.failed(), EIO);
  EXPECT_EQ(reader.bad_packets(), 0);
}

}  // namespace
}  // namespace korvex::test

namespace korvex::test {
namespace {

struct ReadBack {
  std::vector<std::uint32_t> stamps;
  std::int64_t bad = 0;
  std::int64_t end = 0;
};

ReadBack read_back(ByteStream& stream) {
  RecordReader reader(stream, nullptr);
  ReadBack r;
  while (const Record* rec = reader.next()) r.stamps.push_back(rec->timestamp);
  r.bad = reader.bad_packets();
  r.end = stream.pos();
  return r;
}

TEST(ReadRecord, RecordsSplitByTheirOwnBytesAreJoinedBack) {
  const Bytes split_head = record_body(1, sample_fields(0x1355AA07, 0));  // 07 AA 55 13
  Bytes long_piece(200, 0x01);
  struct Case {
    const char* what;
    Bytes log;
    std::vector<std::uint32_t> stamps;
    std::int64_t bad;
  };
  const Case cases[] = {
      {"the timestamp bytes 00 AA 55 12",
       LogBuilder().record(1, sample_fields(0x1255AA00, 0)).record(1, 0x13000000).bytes,
       {0x1255AA00, 0x13000000},
       0},
      {"three pairs: four packets",
       LogBuilder().record(2, split_fields(10, 3)).record(1, 11).bytes,
       {10, 11},
       0},
      {"four pairs: five packets, all bad",
       LogBuilder().record(1, split_fields(10, 4)).record(1, 11).bytes,
       {11},
       5},
      {"a 3-byte packet, a whole record, then the rest of the split one",
       LogBuilder()
           .marker()
           .raw(Bytes(split_head.begin(), split_head.begin() + 3))
           .record(1, 20)
           .marker()
           .raw(Bytes(split_head.begin() + 5, split_head.end()))
           .record(1, 21)
           .bytes,
       {20, 21},
       2},
      {"a split record ends the file",
       LogBuilder().record(1, 9).record(3, split_fields(10, 2)).bytes,
       {9, 10},
       0},
      {"the last piece runs into other bytes",
       LogBuilder().record(1, split_fields(10, 1)).raw({1, 2, 3}).record(1, 11).bytes,
       {11},
       2},
      {"a piece longer than any record",
       LogBuilder().record(1, split_fields(10, 1)).raw(long_piece).record(1, 11).bytes,
       {11},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStream plain(c.log);
    const ReadBack r = read_back(plain.stream);
    EXPECT_EQ(r.stamps, c.stamps);
    EXPECT_EQ(r.bad, c.bad);
    EXPECT_EQ(r.end, static_cast<std::int64_t>(c.log.size()));
    // The look-ahead steps back over refills of the stream buffer alike.
    ChunkedSource chunked{{c.log.data(), c.log.size()}};
    ByteStream stream(chunked.source());
    const ReadBack t = read_back(stream);
    EXPECT_EQ(t.stamps, r.stamps);
    EXPECT_EQ(t.bad, r.bad);
  }
}

}  // namespace
}  // namespace korvex::test

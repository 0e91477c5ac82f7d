#pragma once
// What the tests of the shipped movies share: reading a file whole and splitting a movie body
// into its tags, with a failure wherever the body is not exactly a run of tags up to End.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace galleria::movies_test {

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  EXPECT_TRUE(in) << file;
  return {std::istreambuf_iterator<char>(in), {}};
}

inline std::uint32_t Byte(const std::string& s, std::size_t i) {
  return std::uint8_t(s[i]);
}

struct Tag {
  std::uint16_t Code;
  std::string Payload;
};

// Splits a movie body into its tags; the body must end exactly after the End tag.
inline std::vector<Tag> SplitTags(const std::string& body) {
  std::vector<Tag> tags;
  std::size_t at = 0;
  while (true) {
    if (at + 2 > body.size()) {
      ADD_FAILURE() << "body ends inside a tag header at " << at;
      return tags;
    }
    const std::uint32_t head = Byte(body, at) | Byte(body, at + 1) << 8;
    at += 2;
    std::uint64_t length = head & 0x3F;
    if (length == 0x3F) {
      if (at + 4 > body.size()) {
        ADD_FAILURE() << "body ends inside a long tag header";
        return tags;
      }
      length = Byte(body, at) | Byte(body, at + 1) << 8 | Byte(body, at + 2) << 16 |
               Byte(body, at + 3) << 24;
      at += 4;
    }
    if (at + length > body.size()) {
      ADD_FAILURE() << "tag " << (head >> 6) << " runs past the end of the body";
      return tags;
    }
    tags.push_back({static_cast<std::uint16_t>(head >> 6), body.substr(at, length)});
    at += length;
    if (tags.back().Code == 0) break;
  }
  EXPECT_EQ(at, body.size()) << "bytes after the End tag";
  return tags;
}

}  // namespace galleria::movies_test
